#include "goodsautofill.h"

#include "dataset.h"
#include "entrypanel.h"
#include "guardedcommand.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringListModel>

GoodsAutofill::GoodsAutofill(EntryPanel *panel, QObject *parent)
    : QObject(parent), m_panel(panel), m_panelObject(panel), m_completer(new QCompleter(this)), m_offered(new QStringListModel(this))
{
    // The list is matched here (by text and by pinyin initials), not by the completer.
    m_completer->setModel(m_offered);
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setWidget(m_panel->Edit13);
    m_panel->Edit10->installEventFilter(this);
    m_panel->Edit13->installEventFilter(this);
    connect(m_panel->Edit13, &QLineEdit::textEdited, this,
            [this](const QString &text) { runGuarded(m_panel, [&] { offerNames(text); }); });
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this,
            [this](const QString &name) { runGuarded(m_panel, [&] { fillFromName(name); }); });
}

void GoodsAutofill::setLedger(Dataset *ledger)
{
    if (m_ledger)
        disconnect(m_ledger, nullptr, this, nullptr);
    m_ledger = ledger;
    m_namesStale = true;
    if (m_ledger)
        connect(m_ledger, &Dataset::reset, this, [this] { m_namesStale = true; });
}

// A panel that is being destroyed deletes its boxes one by one after its own part is
// gone (it is a plain QWidget by then), and the box that had the focus still reports
// losing it: filling goods then would write into boxes already deleted. qobject_cast
// asks the object itself, so it tells without reaching into the panel.
bool GoodsAutofill::panelWhole() const
{
    return qobject_cast<const EntryPanel *>(m_panelObject) != nullptr;
}

bool GoodsAutofill::eventFilter(QObject *watched, QEvent *event)
{
    if (!panelWhole())
        return QObject::eventFilter(watched, event);
    // Runs before the panel's own Enter chain, which then moves the focus on as always.
    if (watched == m_panel->Edit10) {
        const bool enter = event->type() == QEvent::KeyPress
                           && (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return
                               || static_cast<QKeyEvent *>(event)->key() == Qt::Key_Enter);
        if (enter || (event->type() == QEvent::FocusOut && m_panel->Edit10->text().trimmed() != m_filledCode))
            runGuarded(m_panel, [this] { fillFromCode(); });
    } else if (watched == m_panel->Edit13 && event->type() == QEvent::FocusIn) {
        runGuarded(m_panel, [this] { readNamesIfStale(); });
    }
    return QObject::eventFilter(watched, event);
}

void GoodsAutofill::fillFromCode()
{
    if (!m_ledger)
        return;
    const QString code = m_panel->Edit10->text().trimmed();
    m_filledCode = code;
    if (const auto goods = GoodsLookup(m_ledger->connection()).latestByCode(code))
        m_panel->fillGoods(*goods);
}

void GoodsAutofill::fillFromName(const QString &name)
{
    if (!m_ledger)
        return;
    if (const auto goods = GoodsLookup(m_ledger->connection()).latestByName(name))
        m_panel->fillGoods(*goods);
}

void GoodsAutofill::readNamesIfStale()
{
    if (!m_ledger || !m_namesStale)
        return;
    m_names = GoodsNameMatcher(GoodsLookup(m_ledger->connection()).soldNames());
    m_namesStale = false;
}

void GoodsAutofill::offerNames(const QString &typed)
{
    readNamesIfStale();
    const QStringList offered = m_names.matching(typed);
    m_offered->setStringList(offered);
    if (offered.isEmpty())
        m_completer->popup()->hide();
    else
        m_completer->complete();
}
