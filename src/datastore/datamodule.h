#pragma once

#include "connection.h"
#include "dataset.h"

#include <QObject>
#include <memory>

// The data module: the one connection to data.mdb in the current directory and the
// datasets the windows share. Creating it opens the file (Schema::openLedger); a
// missing file, a wrong password or a file that is no ledger raises DatabaseOpenError.
class Tdmfm : public QObject
{
    Q_OBJECT

public:
    explicit Tdmfm(QObject *parent = nullptr);
    // Opens another file (tests and tools).
    Tdmfm(const QString &path, QObject *parent = nullptr);
    ~Tdmfm() override;

    std::unique_ptr<Connection> ADOConnection1;
    // The shared query for one-off statements.
    Dataset *ADOQuery1 = nullptr;
    // The ledger dataset behind the grid.
    Dataset *ADOQuery15 = nullptr;
    // The append table for new records.
    Dataset *ADOTable5 = nullptr;

    // Opens the append table (done when the main window is first shown).
    void openAppendTable();

    // The full path of the folder this run's data lives in: where a launcher must start
    // the program to find the same data again.
    const QString &dataFolder() const { return m_dataFolder; }

private:
    QString m_dataFolder;
};

// The application's data module, set while one exists.
extern Tdmfm *dmfm;
