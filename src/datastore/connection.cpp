#include "connection.h"
#include "ledgerkey.h"

#include "apperror.h"
#include "datasource.h"
#include "dialect.h"
#include "engine.h"
#include "openerror.h"
#include "schema.h"

// ---------------------------------------------------------------- Statement

Statement::Statement(std::unique_ptr<StatementBackend> backend) : m_backend(std::move(backend))
{
}

Statement::~Statement() = default;

Statement::Statement(Statement &&other) noexcept = default;

void Statement::bind(const QVariantList &values)
{
    m_backend->bind(values);
}

bool Statement::step()
{
    return m_backend->step();
}

void Statement::reset()
{
    m_backend->reset();
}

int Statement::columnCount() const
{
    return m_backend->columnCount();
}

QString Statement::columnName(int column) const
{
    return m_backend->columnName(column);
}

FieldType Statement::declaredType(int column) const
{
    return m_backend->declaredType(column);
}

QVariant Statement::value(int column) const
{
    return m_backend->value(column);
}

QVariant Statement::exactValue(int column) const
{
    return m_backend->exactValue(column);
}

QDate Statement::dateValue(int column) const
{
    return m_backend->dateValue(column);
}

double Statement::doubleValue(int column) const
{
    return m_backend->doubleValue(column);
}

qint64 Statement::int64Value(int column) const
{
    return m_backend->int64Value(column);
}

bool Statement::isNull(int column) const
{
    return m_backend->isNull(column);
}

// ---------------------------------------------------------------- Connection

Connection::Connection(const QString &path, const QByteArray &key, OpenMode mode)
    : m_engine(Engine::EmbeddedFile), m_dialect(&embeddedDialect()), m_path(path),
      m_backend(openEmbeddedBackend(path, key, mode == OpenMode::CreateFile))
{
}

Connection::Connection(const DataSource &source, OpenMode mode)
    : m_engine(source.engine() == DataSource::Engine::Server ? Engine::Server : Engine::EmbeddedFile),
      m_dialect(m_engine == Engine::Server ? &serverDialect() : &embeddedDialect()), m_path(source.displayName())
{
    if (m_engine == Engine::Server) {
        try {
            m_backend = openServerBackend(source.location());
        } catch (const DatabaseError &error) {
            throw DatabaseOpenError(DatabaseOpenError::Reason::Other, m_path, error.message());
        }
    } else {
        // The shop's own key, else the built-in one; a file not reached yet by a change
        // of key opens with the key it still has.
        const QList<QByteArray> keys = LedgerKey::candidates();
        for (qsizetype i = 0; i < keys.size(); ++i) {
            try {
                m_backend = openEmbeddedBackend(source.location(), keys[i], mode == OpenMode::CreateFile);
                break;
            } catch (const DatabaseOpenError &error) {
                if (error.reason() != DatabaseOpenError::Reason::WrongPassword || i + 1 == keys.size())
                    throw;
            }
        }
    }
}

Connection::~Connection() = default;

Statement Connection::prepare(const QString &sql)
{
    return Statement(m_backend->prepare(sql));
}

int Connection::execute(const QString &sql, const QVariantList &values)
{
    Statement statement = prepare(sql);
    statement.bind(values);
    while (statement.step()) {
    }
    return statement.m_backend->changes();
}

QVariant Connection::scalar(const QString &sql, const QVariantList &values)
{
    Statement statement = prepare(sql);
    statement.bind(values);
    if (!statement.step() || statement.columnCount() == 0)
        return {};
    return statement.value(0);
}

qint64 Connection::lastInsertRowId() const
{
    return m_backend->lastInsertRowId();
}

QStringList Connection::tableFields(const QString &table)
{
    Statement statement = prepare(QStringLiteral("select * from %1 limit 0").arg(table));
    QStringList names;
    for (int i = 0; i < statement.columnCount(); ++i)
        names << statement.columnName(i);
    return names;
}

QStringList Connection::tableNames()
{
    return m_backend->tableNames();
}

bool Connection::hasIndex(const QString &name)
{
    return m_dialect->hasIndex(*this, name);
}

void Connection::beginTransaction()
{
    m_backend->beginTransaction();
    m_inTransaction = true;
}

void Connection::commit()
{
    m_inTransaction = false;
    m_backend->commit();
}

void Connection::rollback()
{
    m_inTransaction = false;
    m_backend->rollback();
}

void Connection::holdAcrossReconnects(const SessionHold &hold)
{
    m_backend->holdAcrossReconnects(hold);
}

void Connection::releaseHold()
{
    m_backend->releaseHold();
}

void Connection::listen(const QString &channel)
{
    m_backend->listen(channel);
}

std::vector<std::pair<int, QString>> Connection::takeNotifications()
{
    return m_backend->takeNotifications();
}

void Connection::keepSession()
{
    if (!m_inTransaction)
        m_backend->keepSession();
}

void Connection::setSessionName(const QString &name)
{
    m_backend->setSessionName(name);
}

std::optional<ChangeMarks> Connection::changeMarks(const QString &table)
{
    return m_backend->changeMarks(table);
}

void Connection::backupInto(const QString &path, const BackupSteps &steps)
{
    m_backend->backupInto(path, steps);
}

void Connection::setGoOn(std::function<bool()> goOn)
{
    m_backend->setGoOn(std::move(goOn));
}
