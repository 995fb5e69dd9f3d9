#pragma once

#include "goodslookup.h"

#include <QObject>
#include <QPointer>

class Dataset;
class EntryPanel;
class QCompleter;
class QStringListModel;

// Fills the entry panel's goods boxes from what the ledger sold before: a code typed or
// scanned into the goods code box (Enter, or leaving the box), or a name chosen from the
// list the goods name box offers as the operator types. The quantity, customer, amount
// owed and remarks stay as they are; the live calculation follows the prices.
class GoodsAutofill : public QObject
{
    Q_OBJECT

public:
    explicit GoodsAutofill(EntryPanel *panel, QObject *parent = nullptr);

    // The ledger whose sales are looked up; its list of names is read again after each
    // reload, the first time the goods name box takes the focus.
    void setLedger(Dataset *ledger);

    QCompleter *nameCompleter() const { return m_completer; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillFromCode();
    void fillFromName(const QString &name);
    void offerNames(const QString &typed);
    void readNamesIfStale();

    bool panelWhole() const;

    EntryPanel *m_panel;
    // The same panel, taken while it was whole, for asking what it still is.
    const QObject *m_panelObject;
    QPointer<Dataset> m_ledger;
    QCompleter *m_completer;
    QStringListModel *m_offered;
    GoodsNameMatcher m_names;
    bool m_namesStale = true;
    QString m_filledCode; // the code whose goods were filled last, so leaving the box does not read it again
};
