#pragma once

#include "goodslookup.h"
#include "salecalculation.h"
#include "saleform.h"

#include <QFrame>
#include <QHash>
#include <QPoint>

class DateEditor;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The quantity's up-down arrows (UpDown1): a pair of small repeating arrow buttons.
class UpDownArrows : public QWidget
{
    Q_OBJECT

public:
    explicit UpDownArrows(QWidget *parent = nullptr);

    QToolButton *upButton = nullptr;
    QToolButton *downButton = nullptr;

signals:
    void stepped(int delta);
};

// The floating entry panel (Panel3) over the ledger grid: the boxes of one sales
// record, the live sale total and profit, the Enter chain, the character filter of
// the price and quantity, the quantity's arrows, and dragging by its free area.
// What the buttons do to the records is wired by EntryCommands.
class EntryPanel : public QFrame
{
    Q_OBJECT

public:
    explicit EntryPanel(QWidget *parent = nullptr);

    // Boxes, named as the window's design names them.
    QLineEdit *Edit12 = nullptr; // goods category
    QLineEdit *Edit13 = nullptr; // goods name
    QLineEdit *Edit10 = nullptr; // goods code
    QLineEdit *Edit14 = nullptr; // model
    QLineEdit *Edit15 = nullptr; // purchase unit price
    QLineEdit *Edit9 = nullptr;  // sale unit price
    QLineEdit *Edit21 = nullptr; // quantity
    UpDownArrows *UpDown1 = nullptr;
    QLineEdit *Edit16 = nullptr; // sale total (computed)
    QLineEdit *Edit17 = nullptr; // amount owed
    QLineEdit *Edit27 = nullptr; // profit (computed)
    QLineEdit *Edit28 = nullptr; // customer name
    QLineEdit *Edit11 = nullptr; // mobile
    QLineEdit *Edit8 = nullptr;  // unit of measure
    QLineEdit *Edit22 = nullptr; // remarks
    DateEditor *DBDateTimeEditEh1 = nullptr; // sale date
    QLabel *Label15 = nullptr;   // "进货单价："
    QLabel *Label10 = nullptr;   // "利  润："
    QCheckBox *CheckBox8 = nullptr;
    QPushButton *Button1 = nullptr; // "新  增"
    QPushButton *Button3 = nullptr; // "修  改"
    QPushButton *Button9 = nullptr; // "清空", never visible: carries the clear routine
    QLabel *Image1 = nullptr;       // close picture

    // Empties the record's boxes (quantity "1", amount owed and purchase price "0");
    // the sale date stays.
    void clear();

    SaleEntry entry() const;
    // Fills the boxes from a record; the computed boxes show the record's own values.
    void showEntry(const SaleEntry &entry);

    // Fills the goods boxes of a sale sold before; the other boxes stay, the sums follow.
    void fillGoods(const GoodsDetails &goods);

    // The required boxes of an add or a modify, checked in this order; warns about
    // and focuses the first blank one.
    bool checkRequired();
    // The number boxes (the computed ones too): warns about and focuses the first one
    // holding a number of magnitude 10^12 or more, naming it.
    bool checkAmounts();

    // The sale date's Enter action, shared by the quick query's date editors: the
    // focus moves to "新  增" (nothing happens while the panel is hidden).
    void focusAddButton();
    // Gives a date editor that Enter action.
    void addDateEnterAction(QWidget *dateEditor);

    // The live calculation after a change of one of its three boxes.
    void recalculate(SaleCalculation::Source source);

signals:
    void closeClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The steps of the constructor, in its order.
    void setUpFrame();
    void addBoxes();
    void addQuantityArrows();
    void setUpNumberBoxes();
    void addHideCheckBox();
    void addButtons();
    void addCloseImage();
    void connectCalculation();

    QLineEdit *addBox(const QString &name, const QString &caption, QPoint position, int width,
                      QLabel **label = nullptr);
    void buildEnterChain();
    void buildTabOrder();
    void stepQuantity(int delta);
    static void showText(QLineEdit *box, const QString &text);
    bool filterPriceKey(QKeyEvent *event) const;
    // Runs `change` without the live calculation: the clear routine and the loading of
    // a record set the computed boxes themselves afterwards.
    template<typename Change>
    void withoutCalculation(Change change);

    QHash<QObject *, QWidget *> m_enterNext;
    bool m_calculationSuspended = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
