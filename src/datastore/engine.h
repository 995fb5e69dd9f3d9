#pragma once

// What each database engine provides behind Connection and Statement. Nothing outside
// the connection layer includes this file.

#include "connection.h"
#include "fieldtype.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct SessionHold;
class Dialect;

class StatementBackend
{
public:
    virtual ~StatementBackend() = default;

    virtual void bind(const QVariantList &values) = 0;
    virtual bool step() = 0;
    virtual void reset() = 0;
    // Rows changed by the last run of a statement that returns no rows.
    virtual int changes() const = 0;

    virtual int columnCount() = 0;
    virtual QString columnName(int column) = 0;
    virtual FieldType declaredType(int column) = 0;
    virtual QVariant value(int column) const = 0;
    virtual QVariant exactValue(int column) const = 0;
    virtual QDate dateValue(int column) const = 0;
    virtual double doubleValue(int column) const = 0;
    virtual qint64 int64Value(int column) const = 0;
    virtual bool isNull(int column) const = 0;
};

class ConnectionBackend
{
public:
    virtual ~ConnectionBackend() = default;

    virtual std::unique_ptr<StatementBackend> prepare(const QString &sql) = 0;
    virtual qint64 lastInsertRowId() const = 0;
    virtual QStringList tableNames() = 0;
    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Writes a consistent copy of the whole database into a new file at `path` with the
    // engine's online backup, encrypted as the source is. Only the embedded engine has
    // one; the server's backups are made by its own tools.
    virtual void backupInto(const QString &path, const Connection::BackupSteps &steps) = 0;
    // See Connection::setGoOn; an engine that cannot end a running statement ignores it.
    virtual void setGoOn(std::function<bool()>) {}
    // See Connection::changeMarks; an engine that cannot count its own writes has none.
    virtual std::optional<ChangeMarks> changeMarks(const QString &) { return std::nullopt; }
    // See Connection::holdAcrossReconnects; an engine that never reconnects keeps nothing.
    virtual void holdAcrossReconnects(const SessionHold &hold) = 0;
    virtual void releaseHold() = 0;
    // See Connection::listen and Connection::takeNotifications; an engine without
    // notifications receives none.
    virtual void listen(const QString &) {}
    virtual std::vector<std::pair<int, QString>> takeNotifications() { return {}; }
    // See Connection::keepSession and setSessionName.
    virtual void keepSession() = 0;
    virtual void setSessionName(const QString &name) = 0;
};

std::unique_ptr<ConnectionBackend> openEmbeddedBackend(const QString &path, const QByteArray &key, bool create);
std::unique_ptr<ConnectionBackend> openServerBackend(const QString &uri);

// Each engine's dialect (sqlitedialect.cpp, serverdialect.cpp); Connection::dialect()
// gives the one a connection speaks.
const Dialect &embeddedDialect();
const Dialect &serverDialect();
