#pragma once

#include "connection.h"
#include "datasource.h"
#include "dataset.h"
#include "ledgerlock.h"
#include "salejournal.h"

#include <QObject>
#include <memory>

class QTimer;

class DataSource;

// The data module: the one connection to the data store and the datasets the windows
// share. By default the store is the one DataSource::choose picks from the command
// line and the working folder (data.mdb unless database.conf names a server).
// Creating it opens the store (Schema::openLedger); a missing file, a wrong password,
// a file that is no ledger, a server that cannot be reached or a server database
// without the tables raises DatabaseOpenError.
class Tdmfm : public QObject
{
    Q_OBJECT

public:
    explicit Tdmfm(QObject *parent = nullptr);
    // Opens another file (tests and tools).
    Tdmfm(const QString &path, QObject *parent = nullptr);
    Tdmfm(const DataSource &source, QObject *parent = nullptr);
    ~Tdmfm() override;

    std::unique_ptr<Connection> ADOConnection1;
    // The shared query for one-off statements.
    Dataset *ADOQuery1 = nullptr;
    // The ledger dataset behind the grid.
    Dataset *ADOQuery15 = nullptr;
    // The append table for new records.
    Dataset *ADOTable5 = nullptr;

    // The operator whose deletes and modifies of sales the recycle bin and the history
    // of changes record (the user of this run's login).
    void setOperatorName(const QString &name) { m_journal.setOperatorName(name); }
    const QString &operatorName() const { return m_journal.operatorName(); }

    // Opens the append table (done when the main window is first shown).
    void openAppendTable();

    // The full path of the folder this run's data lives in: where a launcher must start
    // the program to find the same data again.
    const QString &dataFolder() const { return m_dataFolder; }
    // The data store this module opened.
    const DataSource &dataSource() const { return m_source; }

private:
    QString m_dataFolder;
    DataSource m_source;
    SaleJournal::SalesWriteJournal m_journal;
    // Held while the ledger is open here, so no restore replaces it meanwhile.
    std::unique_ptr<LedgerLock> m_lock;
    // A server session ended by a restart is made again, lock and all, while this
    // terminal sits idle: not only at its next command.
    void keepSession();
    QTimer *m_sessionTimer = nullptr;
    qint64 m_nextSessionCheck = 0;
};

// The application's data module, set while one exists.
extern Tdmfm *dmfm;
