#include "datamodule.h"

#include "datasource.h"
#include "openerror.h"
#include "schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

Tdmfm *dmfm = nullptr;

Tdmfm::Tdmfm(QObject *parent)
    : Tdmfm(DataSource::choose(QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList()), parent)
{
}

Tdmfm::Tdmfm(const QString &path, QObject *parent) : Tdmfm(DataSource::embeddedFile(path), parent)
{
}

Tdmfm::Tdmfm(const DataSource &source, QObject *parent)
    : QObject(parent),
      // A server is named by database.conf in the working folder.
      m_dataFolder(source.dataFolder()),
      m_source(source)
{
    // A restore replacing the ledger holds it alone; the program starts afterwards.
    const QString busy = QStringLiteral("数据正在恢复，请稍后再启动程序。");
    if (!source.isServer() && QFileInfo(m_dataFolder).isDir()) {
        m_lock = LedgerLock::tryLock(source.location(), LedgerLock::Mode::Shared);
        if (!m_lock)
            throw DatabaseOpenError(DatabaseOpenError::Reason::Other, QFileInfo(source.location()).absoluteFilePath(), busy);
    }
    ADOConnection1 = Schema::openLedger(source);
    if (source.isServer()) {
        m_lock = LedgerLock::tryLock(*ADOConnection1, LedgerLock::Mode::Shared);
        if (!m_lock)
            throw DatabaseOpenError(DatabaseOpenError::Reason::Other, source.displayName(), busy);
        m_sessionTimer = new QTimer(this);
        m_sessionTimer->setInterval(1000);
        connect(m_sessionTimer, &QTimer::timeout, this, [this] { keepSession(); });
        m_sessionTimer->start();
    }
    try {
        Schema::addLookupIndexes(*ADOConnection1);
    } catch (const DatabaseError &) {
        // A server login that may not make indexes still works: the entry panel's goods
        // look-ups then read the table instead, slower but the same answers.
        if (!source.isServer())
            throw;
    }
    setObjectName(QStringLiteral("dmfm"));
    ADOQuery1 = new Dataset(*ADOConnection1, QStringLiteral("ADOQuery1"), this);
    ADOQuery15 = new Dataset(*ADOConnection1, QStringLiteral("ADOQuery15"), this);
    ADOTable5 = new Dataset(*ADOConnection1, QStringLiteral("ADOTable5"), this);
    for (Dataset *dataset : {ADOQuery1, ADOQuery15, ADOTable5})
        dataset->setWriteJournal(&m_journal);
    ADOQuery1->setSql(QStringLiteral("select * from data"));
    ADOQuery15->setSql(QStringLiteral("select * from data"));
    dmfm = this;
}

Tdmfm::~Tdmfm()
{
    if (dmfm == this)
        dmfm = nullptr;
    // The datasets refer to the connection: let them go first.
    delete ADOQuery1;
    delete ADOQuery15;
    delete ADOTable5;
}

void Tdmfm::keepSession()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now < m_nextSessionCheck)
        return;
    QElapsedTimer took;
    took.start();
    try {
        ADOConnection1->keepSession();
    } catch (const std::exception &) {
        // The server is not back yet: try again at the next tick, or after a pause when
        // reaching it was slow (a host that does not answer), so the window does not
        // stall every second during an outage. A command meanwhile tries by itself.
        if (took.elapsed() > 1000)
            m_nextSessionCheck = now + 30000;
    }
}

void Tdmfm::openAppendTable()
{
    ADOTable5->openTable(QStringLiteral("data"));
}
