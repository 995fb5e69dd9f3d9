#pragma once

#include "ledgergrid.h"
#include "ledgerqueries.h"

#include <QGroupBox>
#include <QPointer>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;


// The quick query box " 快速查询 ": four text conditions and a date range, each with
// its check box, and "查  询", which runs the query on the ledger.
class QuickQueryPanel : public QGroupBox
{
    Q_OBJECT

public:
    explicit QuickQueryPanel(QWidget *parent = nullptr);

    void setController(LedgerController *controller) { m_controller = controller; }
    QuickQueryInput input() const;
    // Both date editors (the main window sets them to today when it is shown).
    void setDates(const QDate &date);

    QCheckBox *CheckBox1 = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QCheckBox *CheckBox3 = nullptr;
    QCheckBox *CheckBox4 = nullptr;
    QCheckBox *CheckBox7 = nullptr;
    QLineEdit *Edit24 = nullptr;
    QLineEdit *Edit23 = nullptr;
    QLineEdit *Edit25 = nullptr;
    QLineEdit *Edit29 = nullptr;
    QDateEdit *DBDateTimeEditEh2 = nullptr;
    QDateEdit *DBDateTimeEditEh3 = nullptr;
    QLabel *dateRangeLabel = nullptr;
    QPushButton *Button2 = nullptr;

signals:
    // Enter in either date editor.
    void dateEnterPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<LedgerController> m_controller;
};
