#include "entrycommands.h"

#include "apperror.h"
#include "appinfo.h"
#include "dataset.h"
#include "entrypanel.h"
#include "goodsautofill.h"
#include "guardedcommand.h"
#include "ledgeractions.h"
#include "ledgerrecords.h"
#include "messageboxservice.h"

#include <QAbstractButton>
#include <QPushButton>

EntryCommands::EntryCommands(EntryPanel *panel, QAbstractButton *deleteButton, QObject *parent)
    : QObject(parent), m_panel(panel), m_deleteButton(deleteButton)
{
    m_panel->Button3->setEnabled(false);
    m_goods = new GoodsAutofill(m_panel, this);
    connect(m_panel->Button1, &QPushButton::clicked, this, guarded(m_panel, [this] { add(); }));
    connect(m_panel->Button3, &QPushButton::clicked, this, guarded(m_panel, [this] { modify(); }));
    connect(m_panel, &EntryPanel::closeClicked, this, guarded(m_panel, [this] { closePanel(); }));
}

void EntryCommands::setDatasets(Dataset *appendTable, Dataset *ledger)
{
    m_appendTable = appendTable;
    m_ledger = ledger;
    m_goods->setLedger(ledger);
}

Dataset &EntryCommands::appendTable() const
{
    if (!m_appendTable)
        throw AppError(QStringLiteral("The sales records are not open"));
    return *m_appendTable;
}

Dataset &EntryCommands::ledger() const
{
    if (!m_ledger)
        throw AppError(QStringLiteral("The sales records are not open"));
    return *m_ledger;
}

QWidget *EntryCommands::window() const
{
    return m_panel->window();
}

void EntryCommands::newEntry()
{
    m_panel->show();
    m_panel->raise();
    m_panel->clear();
    m_panel->Button3->setEnabled(false);
    m_loaded = {};
}

void EntryCommands::closePanel()
{
    m_panel->hide();
    m_panel->clear();
    m_panel->Button3->setEnabled(false);
    m_loaded = {};
}

void EntryCommands::add()
{
    if (!m_panel->checkRequired() || !m_panel->checkAmounts())
        return;
    const SaleEntry entry = m_panel->entry();
    // The boxes stay filled after an add, so a run of similar sales is quick to type;
    // that also makes one Enter too many a second, identical sale.
    if (m_lastAdded && *m_lastAdded == entry
        && MessageBoxes::ask(window(), {applicationTitle(), QStringLiteral("与上一笔销售完全相同，确定再增加一笔吗？"),
                                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No})
               != QMessageBox::Yes)
        return;
    LedgerRecords::add(appendTable(), entry);
    m_lastAdded = entry;
    MessageBoxes::information(window(), QStringLiteral("增加数据成功！"));
    showAllRecords(ledger());
    if (m_deleteButton)
        m_deleteButton->setEnabled(false);
    m_panel->Button3->setEnabled(false);
}

void EntryCommands::loadCurrent(const QString &firstColumnField)
{
    Dataset &records = ledger();
    if (!records.isOpen() || records.isEmpty() || records.displayText(firstColumnField).isEmpty())
        return;
    // Every box is read before any changes: a record that cannot be shown whole is
    // not half loaded over the previous one, where "修  改" would write the mixture.
    const SaleEntry entry = LedgerRecords::currentEntry(records);
    m_loaded = records.currentVersion();
    m_panel->show();
    m_panel->raise();
    m_panel->Button3->setEnabled(true);
    m_panel->showEntry(entry);
}

bool EntryCommands::changeAllowed(bool deleting)
{
    if (!m_changeCheck)
        return true;
    const QString refusal = m_changeCheck(deleting, ledger().value(QStringLiteral("day1")).toDate());
    if (refusal.isEmpty())
        return true;
    MessageBoxes::warning(window(), refusal);
    return false;
}

void EntryCommands::modify()
{
    if (!changeAllowed(false))
        return;
    if (!MessageBoxes::confirm(window(), QStringLiteral("你确实要修改选中资料吗？")))
        return;
    if (!m_panel->checkRequired() || !m_panel->checkAmounts())
        return;
    Dataset &records = ledger();
    LedgerRecords::modifyCurrent(records, m_panel->entry(), m_loaded);
    m_loaded = {};
    showAllRecords(records);
    m_panel->hide();
    MessageBoxes::information(window(), QStringLiteral("修改数据成功！"));
    m_panel->clear();
    if (m_deleteButton)
        m_deleteButton->setEnabled(false);
    m_panel->Button3->setEnabled(false);
}

void EntryCommands::deleteCurrent()
{
    if (!changeAllowed(true))
        return;
    if (!MessageBoxes::confirm(window(), QStringLiteral("你真的要删除选中资料吗？")))
        return;
    ledger().deleteCurrent();
    MessageBoxes::information(window(), QStringLiteral("删除数据成功！"));
    if (m_deleteButton)
        m_deleteButton->setEnabled(false);
}

void EntryCommands::enableDelete()
{
    if (m_deleteButton)
        m_deleteButton->setEnabled(true);
}
