#pragma once

#include <QString>
#include <QTemporaryDir>

// A private working folder for one test: the current directory and HOME point into
// it, standard paths are in test mode, and a fresh data.mdb made by the database tool
// (the super administrator, no sales) sits in it unless asked otherwise.
class TestWorkspace
{
public:
    enum class Database { Fresh, None };

    explicit TestWorkspace(Database database = Database::Fresh);
    ~TestWorkspace();
    TestWorkspace(const TestWorkspace &) = delete;
    TestWorkspace &operator=(const TestWorkspace &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString databasePath() const { return filePath(QStringLiteral("data.mdb")); }

private:
    QTemporaryDir m_dir;
    QString m_previousDirectory;
    QByteArray m_previousHome;
};
