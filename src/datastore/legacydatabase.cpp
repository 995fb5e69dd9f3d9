#include "legacydatabase.h"

#include "apperror.h"

#include <QFile>
#include <cmath>
#include <cstring>
#include <limits>
#include <mdbtools.h>

namespace {

// The largest text the library is asked for at a time (its default).
constexpr size_t kTextBufferSize = 16384;
// Dates of the file's range (years 100 to 9999) as days from 1899-12-30.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958465.0;

LegacyColumn::Kind kindOf(int type)
{
    switch (type) {
    case MDB_TEXT:
        return LegacyColumn::Kind::Text;
    case MDB_MEMO:
        return LegacyColumn::Kind::Memo;
    case MDB_DOUBLE:
        return LegacyColumn::Kind::Double;
    case MDB_FLOAT:
        return LegacyColumn::Kind::Single;
    case MDB_DATETIME:
        return LegacyColumn::Kind::DateTime;
    case MDB_LONGINT:
        return LegacyColumn::Kind::Long;
    case MDB_INT:
        return LegacyColumn::Kind::Integer;
    case MDB_BYTE:
        return LegacyColumn::Kind::Byte;
    default:
        return LegacyColumn::Kind::Other;
    }
}

int fixedSize(LegacyColumn::Kind kind)
{
    switch (kind) {
    case LegacyColumn::Kind::Double:
    case LegacyColumn::Kind::DateTime:
        return 8;
    case LegacyColumn::Kind::Single:
    case LegacyColumn::Kind::Long:
        return 4;
    case LegacyColumn::Kind::Integer:
        return 2;
    case LegacyColumn::Kind::Byte:
        return 1;
    default:
        return 0;
    }
}

QString damaged(const QString &path)
{
    return QStringLiteral("旧数据文件 %1 已损坏或不完整，无法读取。").arg(path);
}

} // namespace

struct LegacyDatabase::Handle
{
    MdbHandle *mdb = nullptr;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

struct LegacyTable::State
{
    MdbHandle *mdb = nullptr;
    MdbTableDef *table = nullptr;
    QVector<MdbColumn *> columns;
    ~State()
    {
        if (table)
            mdb_free_tabledef(table);
    }
};

// ---------------------------------------------------------------- LegacyDatabase

bool LegacyDatabase::isAccessFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    if (header.size() < 20 || !header.startsWith(QByteArray("\x00\x01\x00\x00", 4)))
        return false;
    const QByteArray kind = header.mid(4, 16);
    return kind == QByteArray("Standard Jet DB\0", 16) || kind == QByteArray("Standard ACE DB\0", 16);
}

LegacyDatabase::LegacyDatabase(const QString &path) : m_path(path), m_handle(std::make_unique<Handle>())
{
    if (!QFile::exists(path))
        throw AppError(QStringLiteral("找不到旧数据文件 %1。").arg(path));
    if (!isAccessFile(path))
        throw AppError(QStringLiteral("%1 不是旧版本的数据文件。").arg(path));
    // Access 97 files keep texts in the code page of the system that wrote them; the
    // shops' systems were Chinese. Later files hold Unicode and ignore this.
    if (qEnvironmentVariableIsEmpty("MDB_JET3_CHARSET"))
        qputenv("MDB_JET3_CHARSET", "GBK");
    const QByteArray fileName = QFile::encodeName(path);
    m_handle->mdb = mdb_open(fileName.constData(), MDB_NOFLAGS);
    if (!m_handle->mdb || !mdb_read_catalog(m_handle->mdb, MDB_TABLE))
        throw AppError(damaged(path));
    mdb_set_bind_size(m_handle->mdb, kTextBufferSize);
}

LegacyDatabase::~LegacyDatabase() = default;

QStringList LegacyDatabase::tableNames() const
{
    QStringList names;
    MdbHandle *mdb = m_handle->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

bool LegacyDatabase::hasTable(const QString &name) const
{
    return tableNames().contains(name, Qt::CaseInsensitive);
}

std::unique_ptr<LegacyTable> LegacyDatabase::openTable(const QString &name)
{
    MdbHandle *mdb = m_handle->mdb;
    MdbCatalogEntry *found = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !found; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry)
            && QString::fromUtf8(entry->object_name).compare(name, Qt::CaseInsensitive) == 0)
            found = entry;
    }
    if (!found)
        throw AppError(QStringLiteral("旧数据文件中没有表 %1。").arg(name));

    auto state = std::make_unique<LegacyTable::State>();
    state->mdb = mdb;
    state->table = mdb_read_table(found);
    if (!state->table || !mdb_read_columns(state->table) || mdb_rewind_table(state->table) != 0)
        throw AppError(QStringLiteral("旧数据文件中表 %1 的定义无法读取：%2")
                           .arg(name, damaged(m_path)));
    const QString tableName = QString::fromUtf8(found->object_name);
    auto table = std::unique_ptr<LegacyTable>(new LegacyTable(tableName, std::move(state)));
    return table;
}

// ---------------------------------------------------------------- LegacyTable

LegacyTable::LegacyTable(const QString &name, std::unique_ptr<State> state)
    : m_name(name), m_state(std::move(state))
{
    MdbTableDef *table = m_state->table;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        m_state->columns.append(column);
        m_columns.append({QString::fromUtf8(column->name), kindOf(column->col_type), column->col_type});
    }
}

LegacyTable::~LegacyTable() = default;

int LegacyTable::columnIndex(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qint64 LegacyTable::declaredRowCount() const
{
    return m_state->table->num_rows;
}

bool LegacyTable::next()
{
    if (mdb_fetch_row(m_state->table)) {
        // Pages that lead back to each other would give rows without end.
        if (m_row >= declaredRowCount())
            throw AppError(QStringLiteral("旧数据文件中表 %1 应有 %2 行，却读到更多行：文件已损坏。")
                               .arg(m_name)
                               .arg(declaredRowCount()));
        ++m_row;
        return true;
    }
    // The library ends a table quietly where a page cannot be read; the row count of
    // the table definition tells a complete table from a cut one.
    if (m_row != declaredRowCount())
        throw AppError(QStringLiteral("旧数据文件中表 %1 应有 %2 行，只读到 %3 行：文件已损坏或不完整。")
                           .arg(m_name)
                           .arg(declaredRowCount())
                           .arg(m_row));
    return false;
}

void LegacyTable::fail(int column, const QString &what) const
{
    throw AppError(QStringLiteral("旧数据文件中表 %1 第 %2 行的 %3 列%4。")
                       .arg(m_name)
                       .arg(m_row)
                       .arg(m_columns.at(column).name, what));
}

bool LegacyTable::isNull(int column) const
{
    return m_state->columns.at(column)->cur_value_len == 0;
}

QByteArray LegacyTable::rawBytes(int column, int size) const
{
    const MdbColumn *col = m_state->columns.at(column);
    if (col->cur_value_len != size || col->cur_value_start < 0
        || col->cur_value_start + size > int(sizeof(m_state->mdb->pg_buf)))
        fail(column, QStringLiteral("的值无法读取"));
    return QByteArray(reinterpret_cast<const char *>(m_state->mdb->pg_buf) + col->cur_value_start, size);
}

QString LegacyTable::text(int column) const
{
    const LegacyColumn &info = m_columns.at(column);
    if (!info.isText())
        fail(column, QStringLiteral("不是文本"));
    MdbColumn *col = m_state->columns.at(column);
    if (col->cur_value_len == 0)
        return QString();
    MdbHandle *mdb = m_state->mdb;
    if (col->cur_value_start < 0 || col->cur_value_start + col->cur_value_len > int(sizeof(mdb->pg_buf)))
        fail(column, QStringLiteral("的值无法读取"));
    size_t bufferSize = kTextBufferSize;
    if (info.kind == LegacyColumn::Kind::Memo && col->cur_value_len >= 4) {
        // A memo may be far longer than the default buffer; its stored length bounds
        // the text (at most two bytes of UTF-8 for each stored byte).
        quint32 stored = 0;
        std::memcpy(&stored, mdb->pg_buf + col->cur_value_start, 4);
        bufferSize = std::max(bufferSize, size_t(stored & 0x3fffffffu) * 2 + 16);
    }
    mdb_set_bind_size(mdb, bufferSize);
    char *converted = mdb_col_to_string(mdb, mdb->pg_buf, col->cur_value_start, col->col_type, col->cur_value_len);
    mdb_set_bind_size(mdb, kTextBufferSize);
    if (!converted)
        fail(column, QStringLiteral("的文本无法读取"));
    const size_t length = std::strlen(converted);
    const QString result = QString::fromUtf8(converted, qsizetype(length));
    g_free(converted);
    if (length + 1 >= bufferSize)
        fail(column, QStringLiteral("的文本过长，无法完整读取"));
    return result;
}

double LegacyTable::number(int column) const
{
    const LegacyColumn &info = m_columns.at(column);
    if (isNull(column))
        return std::numeric_limits<double>::quiet_NaN();
    switch (info.kind) {
    case LegacyColumn::Kind::Double: {
        double value;
        std::memcpy(&value, rawBytes(column, 8).constData(), 8);
        if (!std::isfinite(value))
            fail(column, QStringLiteral("的数字无法读取"));
        return value;
    }
    case LegacyColumn::Kind::Single: {
        float value;
        std::memcpy(&value, rawBytes(column, 4).constData(), 4);
        if (!std::isfinite(value))
            fail(column, QStringLiteral("的数字无法读取"));
        return double(value);
    }
    case LegacyColumn::Kind::Long:
    case LegacyColumn::Kind::Integer:
    case LegacyColumn::Kind::Byte:
        return double(wholeNumber(column));
    default:
        fail(column, QStringLiteral("不是数字"));
    }
}

qint64 LegacyTable::wholeNumber(int column) const
{
    const LegacyColumn &info = m_columns.at(column);
    if (!info.isWholeNumber())
        fail(column, QStringLiteral("不是整数"));
    if (isNull(column))
        fail(column, QStringLiteral("为空"));
    const QByteArray bytes = rawBytes(column, fixedSize(info.kind));
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    switch (info.kind) {
    case LegacyColumn::Kind::Long:
        return qint32(quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24);
    case LegacyColumn::Kind::Integer:
        return qint16(quint16(b[0] | b[1] << 8));
    default:
        return b[0];
    }
}

QDateTime LegacyTable::dateTime(int column) const
{
    if (m_columns.at(column).kind != LegacyColumn::Kind::DateTime)
        fail(column, QStringLiteral("不是日期"));
    if (isNull(column))
        return {};
    double stored;
    std::memcpy(&stored, rawBytes(column, 8).constData(), 8);
    if (!std::isfinite(stored) || stored < kFirstDay || stored >= kLastDay)
        fail(column, QStringLiteral("的日期无法读取"));
    // Days since 1899-12-30; the fraction is the time of day, also before that day
    // (-1.25 is 1899-12-29 06:00). Times are kept to the second, as the old program
    // wrote and showed them.
    double whole = std::trunc(stored);
    qint64 seconds = std::llround(std::fabs(stored - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += stored < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(qint64(whole));
    return QDateTime(date, QTime(0, 0).addSecs(int(seconds)));
}

QVariant LegacyTable::value(int column) const
{
    const LegacyColumn &info = m_columns.at(column);
    switch (info.kind) {
    case LegacyColumn::Kind::Text:
    case LegacyColumn::Kind::Memo:
        return text(column);
    case LegacyColumn::Kind::Double:
    case LegacyColumn::Kind::Single:
        return isNull(column) ? QVariant() : QVariant(number(column));
    case LegacyColumn::Kind::Long:
    case LegacyColumn::Kind::Integer:
    case LegacyColumn::Kind::Byte:
        return isNull(column) ? QVariant() : QVariant(qlonglong(wholeNumber(column)));
    case LegacyColumn::Kind::DateTime: {
        const QDateTime stamp = dateTime(column);
        return stamp.isValid() ? QVariant(stamp) : QVariant();
    }
    case LegacyColumn::Kind::Other:
        break;
    }
    fail(column, QStringLiteral("的类型（%1）无法导入").arg(info.typeCode));
}
