#include "testworkspace.h"

#include "connection.h"
#include "databasetool.h"
#include "inifile.h"
#include "schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>
#include <QtTest>

namespace {

// Hashing the administrator's password is deliberately slow: make the file once per
// test process and copy it for every workspace.
QString templateDatabase()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString file = folder.filePath(QStringLiteral("template.mdb"));
        DatabaseTool::createDatabase(file);
        return file;
    }();
    return path;
}

// The address of the test server's database, written by the fixture that starts it.
QString testServerAddress()
{
    static const QString address = [] {
        const QString folder = qEnvironmentVariable("QUILLMORA_TEST_SERVER");
        if (folder.isEmpty())
            return QString();
        QFile file(folder + QStringLiteral("/url"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("QUILLMORA_TEST_SERVER is set but %s/url cannot be read: is the test server started?",
                   qPrintable(folder));
        return QString::fromUtf8(file.readAll()).trimmed();
    }();
    return address;
}

// The address with a search path: unqualified tables are the schema's.
QString addressWithSchema(const QString &address, const QString &schema)
{
    const QString separator = address.contains(QLatin1Char('?')) ? QStringLiteral("&") : QStringLiteral("?");
    return address + separator + QStringLiteral("options=")
           + QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("-c search_path=") + schema));
}

QString nextSchemaName()
{
    static int made = 0;
    return QStringLiteral("ws_%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
}

} // namespace

bool TestWorkspace::onServer()
{
    return !testServerAddress().isEmpty();
}

TestWorkspace::TestWorkspace(Database database) : TestWorkspace(database, testServerAddress())
{
}

TestWorkspace::TestWorkspace(Database database, const QString &serverAddress)
    : m_previousDirectory(QDir::currentPath()), m_previousHome(qgetenv("HOME")), m_serverAddress(serverAddress)
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    qputenv("HOME", m_dir.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("home/.config")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QDir::setCurrent(m_dir.path());
    if (m_serverAddress.isEmpty()) {
        if (database == Database::Fresh)
            QFile::copy(templateDatabase(), databasePath());
        return;
    }
    // A schema of our own: as fresh as a new file, and other test processes work
    // beside it in the same database.
    m_serverSchema = nextSchemaName();
    m_serverUrl = addressWithSchema(m_serverAddress, m_serverSchema);
    {
        Connection server(DataSource::server(m_serverAddress));
        server.execute(QStringLiteral("create schema %1").arg(m_serverSchema));
    }
    if (database == Database::Fresh) {
        Connection from(templateDatabase(), Schema::databaseKey());
        Connection to(dataSource());
        DatabaseTool::copyLedger(from, to);
    }
    IniFile::writeValues(filePath(QStringLiteral("database.conf")), QStringLiteral("database"),
                         {{QStringLiteral("url"), m_serverUrl}});
}

TestWorkspace::~TestWorkspace()
{
    QDir::setCurrent(m_previousDirectory);
    qputenv("HOME", m_previousHome);
    qunsetenv("XDG_CONFIG_HOME");
    if (m_serverSchema.isEmpty())
        return;
    try {
        Connection server(DataSource::server(m_serverAddress));
        // A connection a test left open must not hold the run up.
        server.execute(QStringLiteral("set lock_timeout = '5s'"));
        server.execute(QStringLiteral("drop schema %1 cascade").arg(m_serverSchema));
    } catch (const std::exception &error) {
        qWarning("could not drop the test schema %s: %s", qPrintable(m_serverSchema), error.what());
    }
}

DataSource TestWorkspace::dataSource() const
{
    return m_serverUrl.isEmpty() ? DataSource::embeddedFile(databasePath()) : DataSource::server(m_serverUrl);
}
