#include "testworkspace.h"

#include "databasetool.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
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

} // namespace

TestWorkspace::TestWorkspace(Database database)
    : m_previousDirectory(QDir::currentPath()), m_previousHome(qgetenv("HOME"))
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    qputenv("HOME", m_dir.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("home/.config")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QDir::setCurrent(m_dir.path());
    if (database == Database::Fresh)
        QFile::copy(templateDatabase(), databasePath());
}

TestWorkspace::~TestWorkspace()
{
    QDir::setCurrent(m_previousDirectory);
    qputenv("HOME", m_previousHome);
    qunsetenv("XDG_CONFIG_HOME");
}
