#pragma once

#include "datasource.h"

#include <QString>
#include <QTemporaryDir>

// A private working folder for one test: the current directory and HOME point into
// it, standard paths are in test mode, and a fresh data store made by the database
// tool (the super administrator, no sales) is ready unless asked otherwise.
//
// The engine under test comes from the environment: CTest runs every test that
// touches the data store twice, once on the embedded data.mdb and once (the test
// named <name>_server) with QUILLMORA_TEST_SERVER set, on a database server that the
// test run starts. There each workspace gets a schema of its own in the test
// server's database, and a database.conf in the folder points the application at it,
// so Tdmfm() and the real executables started in the folder use it.
class TestWorkspace
{
public:
    enum class Database { Fresh, None };

    explicit TestWorkspace(Database database = Database::Fresh);
    // A workspace on the server at `serverAddress` (a PrivateServer's) whatever the
    // engine under test.
    TestWorkspace(Database database, const QString &serverAddress);
    ~TestWorkspace();
    TestWorkspace(const TestWorkspace &) = delete;
    TestWorkspace &operator=(const TestWorkspace &) = delete;

    // True when this test process runs on the database server.
    static bool onServer();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // The embedded file of the folder (present only on the embedded engine).
    QString databasePath() const { return filePath(QStringLiteral("data.mdb")); }
    // The workspace's data store on the engine under test.
    DataSource dataSource() const;
    // The server address of the workspace's own schema (empty on the embedded engine).
    const QString &serverUrl() const { return m_serverUrl; }

private:
    QTemporaryDir m_dir;
    QString m_previousDirectory;
    QByteArray m_previousHome;
    QString m_serverAddress;
    QString m_serverSchema;
    QString m_serverUrl;
};
