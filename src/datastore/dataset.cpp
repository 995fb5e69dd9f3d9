#include "dataset.h"

#include "apperror.h"
#include "connection.h"
#include "datetext.h"
#include "numberformat.h"
#include "rowsource.h"

Dataset::Dataset(Connection &connection, const QString &name, QObject *parent)
    : QObject(parent), m_connection(connection), m_name(name)
{
    setObjectName(name);
}

Dataset::~Dataset() = default;

void Dataset::setSql(const QString &sql, const QVariantList &parameters)
{
    m_sql = sql;
    m_parameters = parameters;
    m_query = TableQuery::fromStatement(sql, parameters);
}

void Dataset::setWriteJournal(WriteJournal *journal)
{
    m_journal = journal;
    if (m_source)
        m_source->setJournal(journal);
}

void Dataset::setPrefetchedNumberFields(const QStringList &fields)
{
    m_prefetchFields = fields;
}

std::unique_ptr<RowSource> Dataset::openSource(const std::optional<TableQuery> &query, const QString &sql,
                                               const QVariantList &parameters) const
{
    if (query)
        return RowSource::openKeyset(m_connection, *query, m_prefetchFields);
    return RowSource::openMaterialized(m_connection, sql, parameters);
}

void Dataset::takeRows(std::unique_ptr<RowSource> source)
{
    m_source = std::move(source);
    m_source->setJournal(m_journal);
    m_sortText.clear();
    m_sortKey.reset();
    m_current = m_source->count() > 0 ? 0 : -1;
    m_eof = m_source->count() == 0;
    emit reset();
    emit currentRowChanged(m_current);
}

void Dataset::open()
{
    close();
    takeRows(openSource(m_query, m_sql, m_parameters));
}

void Dataset::reopen(const QString &sql, const QVariantList &parameters)
{
    std::optional<TableQuery> query = TableQuery::fromStatement(sql, parameters);
    std::unique_ptr<RowSource> source = openSource(query, sql, parameters);
    replaceStatement(std::move(query), sql, parameters, std::move(source));
}

void Dataset::reopen(const TableQuery &query)
{
    const QString sql = query.statement();
    const QVariantList parameters = query.parameters();
    std::unique_ptr<RowSource> source = RowSource::openKeyset(m_connection, query, m_prefetchFields);
    replaceStatement(query, sql, parameters, std::move(source));
}

void Dataset::requery()
{
    std::unique_ptr<RowSource> source = openSource(m_query, m_sql, m_parameters);
    replaceStatement(m_query, m_sql, m_parameters, std::move(source));
}

void Dataset::replaceStatement(std::optional<TableQuery> query, const QString &sql, const QVariantList &parameters,
                               std::unique_ptr<RowSource> source)
{
    // Only now, with the new rows at hand, is anything of the old ones given up.
    discardPendingEdit();
    m_query = std::move(query);
    m_sql = sql;
    m_parameters = parameters;
    takeRows(std::move(source));
}

void Dataset::refresh(const QString &sql, const QVariantList &parameters)
{
    // A sorted dataset is opened again: the reload shows the statement's own order.
    if (!m_source || m_sql != sql || m_parameters != parameters || !m_sortText.isEmpty() || !m_source->catchUp()) {
        reopen(sql, parameters);
        return;
    }
    discardPendingEdit();
    m_current = m_source->count() > 0 ? 0 : -1;
    m_eof = m_source->count() == 0;
    emit reset();
    emit currentRowChanged(m_current);
}

void Dataset::openTable(const QString &table)
{
    close();
    m_source = RowSource::openTable(m_connection, table);
    m_source->setJournal(m_journal);
    emit reset();
}

void Dataset::execute()
{
    close();
    m_connection.execute(m_sql, m_parameters);
}

void Dataset::close()
{
    discardPendingEdit();
    const bool wasOpen = isOpen();
    m_source.reset();
    m_current = -1;
    m_eof = true;
    m_sortText.clear();
    m_sortKey.reset();
    if (wasOpen) {
        emit reset();
        emit currentRowChanged(m_current);
    }
}

std::vector<TenThousandths::Units> Dataset::prefetchedSums() const
{
    requireOpen();
    return m_source->prefetchedSums();
}

void Dataset::requireOpen() const
{
    if (!m_source)
        throw DatabaseError(m_name + QStringLiteral(": Cannot perform this operation on a closed dataset"));
}

void Dataset::requireRow() const
{
    requireOpen();
    if (m_current < 0 || m_current >= m_source->count())
        throw DatabaseError(m_name + QStringLiteral(": Cannot perform this operation on an empty dataset"));
}

int Dataset::recordCount() const
{
    requireOpen();
    return m_source->count();
}

QStringList Dataset::fieldNames() const
{
    return m_source ? m_source->fieldNames() : QStringList();
}

int Dataset::fieldIndex(const QString &field) const
{
    if (!m_source)
        return -1;
    return int(m_source->fieldNames().indexOf(field));
}

int Dataset::requireField(const QString &field) const
{
    requireOpen();
    const int index = fieldIndex(field);
    if (index < 0)
        throw DatabaseError(m_name + QStringLiteral(": Field '%1' not found").arg(field));
    return index;
}

FieldType Dataset::fieldType(int field) const
{
    requireOpen();
    return m_source->fieldType(field);
}

// A move abandons a pending append or edit: a row whose values failed to convert
// must never be stored by a later action.
void Dataset::discardPendingEdit()
{
    m_state = State::Browse;
    m_editBuffer.clear();
    m_editChanged.clear();
    m_editRead = {};
}

void Dataset::moveTo(int row, bool eof)
{
    discardPendingEdit();
    m_eof = eof;
    if (row != m_current) {
        m_current = row;
        emit currentRowChanged(m_current);
    }
}

void Dataset::setCurrentRow(int row)
{
    requireOpen();
    if (row < 0 || row >= m_source->count())
        return;
    moveTo(row);
}

void Dataset::first()
{
    requireOpen();
    moveTo(m_source->count() > 0 ? 0 : -1, m_source->count() == 0);
}

void Dataset::next()
{
    requireOpen();
    if (m_current + 1 < m_source->count())
        moveTo(m_current + 1);
    else
        moveTo(m_current, true);
}

void Dataset::last()
{
    requireOpen();
    moveTo(m_source->count() - 1, m_source->count() == 0);
}

QVariant Dataset::value(const QString &field) const
{
    const int index = requireField(field);
    if (m_state != State::Browse)
        return m_editBuffer.at(index);
    requireRow();
    return m_source->value(m_current, index);
}

QVariant Dataset::valueAt(int row, int field) const
{
    requireOpen();
    return m_source->value(row, field);
}

QString Dataset::displayTextOf(const QVariant &value, FieldType type)
{
    if (!value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
        return NumberFormat::general(value.toDouble());
    case QMetaType::QDate:
        return DateText::date(value.toDate());
    case QMetaType::QDateTime:
        return type == FieldType::Date ? DateText::date(value.toDate()) : DateText::dateTime(value.toDateTime());
    default:
        return value.toString();
    }
}

QString Dataset::displayText(const QString &field) const
{
    const int index = requireField(field);
    return displayTextOf(value(field), m_source->fieldType(index));
}

QString Dataset::displayTextAt(int row, int field) const
{
    requireOpen();
    return displayTextOf(m_source->value(row, field), m_source->fieldType(field));
}

QString Dataset::textValue(const QString &field) const
{
    const QVariant fieldValue = value(field);
    if (!fieldValue.isValid())
        throw ConversionError(QStringLiteral("Could not convert variant of type (Null) into type (String)"));
    return displayTextOf(fieldValue, m_source->fieldType(fieldIndex(field)));
}

void Dataset::append()
{
    requireOpen();
    discardPendingEdit();
    m_state = State::Insert;
    m_editBuffer.assign(m_source->fieldNames().size(), QVariant());
    m_editChanged.assign(m_source->fieldNames().size(), false);
}

RowVersion Dataset::currentVersion() const
{
    if (!m_source || m_current < 0 || m_current >= m_source->count())
        return {};
    return m_source->version(m_current);
}

void Dataset::edit()
{
    edit(RowVersion());
}

void Dataset::edit(const RowVersion &asRead)
{
    requireRow();
    discardPendingEdit();
    RowVersion current = m_source->version(m_current);
    m_editRead = asRead.isValid() && asRead.key == current.key ? asRead : std::move(current);
    m_state = State::Edit;
    const int fields = int(m_source->fieldNames().size());
    m_editBuffer.reserve(fields);
    for (int i = 0; i < fields; ++i)
        m_editBuffer.push_back(m_source->value(m_current, i));
    m_editChanged.assign(fields, false);
}

void Dataset::setValue(const QString &field, const QVariant &value)
{
    const int index = requireField(field);
    if (m_state == State::Browse)
        throw DatabaseError(m_name + QStringLiteral(": Dataset not in edit or insert mode"));
    m_editBuffer[index] = value;
    m_editChanged[index] = true;
}

void Dataset::post()
{
    requireOpen();
    if (m_state == State::Browse)
        return;
    if (m_state == State::Insert) {
        const int row = m_source->insert(m_editBuffer, m_editChanged);
        discardPendingEdit();
        emit rowAppended(row);
        moveTo(row);
    } else {
        m_source->update(m_current, m_editRead, m_editBuffer, m_editChanged);
        discardPendingEdit();
        emit rowChanged(m_current);
    }
}

void Dataset::cancel()
{
    discardPendingEdit();
}

void Dataset::deleteCurrent()
{
    requireOpen();
    if (m_state == State::Insert) {
        discardPendingEdit();
        return;
    }
    requireRow();
    discardPendingEdit();
    const int row = m_current;
    m_source->remove(row, m_source->version(row));
    emit rowRemoved(row);
    const int count = m_source->count();
    m_current = -1;
    moveTo(count == 0 ? -1 : std::min(row, count - 1), count == 0);
}

void Dataset::setSort(const QString &sortText)
{
    requireOpen();
    // The text is read here, once; the rows are sorted by the field and direction.
    const std::optional<SortKey> key = SortKey::fromText(sortText);
    if (!key) {
        m_sortText.clear();
        m_sortKey.reset();
        return;
    }
    applySort(*key, sortText.trimmed());
}

void Dataset::setSort(const SortKey &key)
{
    requireOpen();
    applySort(key, key.text());
}

void Dataset::applySort(const SortKey &key, const QString &sortText)
{
    const int index = requireField(key.field);
    discardPendingEdit();
    m_current = m_source->sortBy(index, key.descending, m_current);
    m_sortKey = key;
    m_sortText = sortText;
    emit reset();
    emit currentRowChanged(m_current);
}
