#include "legacyimport.h"

#include "apperror.h"
#include "connection.h"
#include "dialect.h"
#include "datasource.h"
#include "disksync.h"
#include "exactsum.h"
#include "legacydatabase.h"
#include "schema.h"
#include "transaction.h"
#include "sqlnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

enum class Want { Text, Number, Date, Id, SessionTime };

struct KnownColumn
{
    const char *name;
    Want want;
};

const KnownColumn kSaleColumns[] = {
    {"a", Want::Text},   {"b", Want::Text},   {"c", Want::Text},   {"d", Want::Text},   {"1", Want::Number},
    {"2", Want::Number}, {"3", Want::Number}, {"6", Want::Number}, {"4", Want::Number}, {"5", Want::Number},
    {"e", Want::Text},   {"f", Want::Text},   {"h", Want::Text},   {"z", Want::Text},   {"day1", Want::Date},
    {"o", Want::Text},
};
const KnownColumn kUserColumns[] = {{"username", Want::Text}, {"passwd", Want::Text}};
const KnownColumn kSessionColumns[] = {
    {"id", Want::Id}, {"username", Want::Text}, {"btime", Want::SessionTime}, {"jtime", Want::SessionTime}};

const char *const kSummedColumns[] = {"6", "4", "5"};
constexpr qint64 kProgressEvery = 256;

struct TableLayout
{
    const char *name;
    const KnownColumn *columns;
    int columnCount;
    bool extrasAllowed;
};

const TableLayout kTables[] = {
    {"data", kSaleColumns, int(std::size(kSaleColumns)), true},
    {"userdb", kUserColumns, int(std::size(kUserColumns)), false},
    {"rz", kSessionColumns, int(std::size(kSessionColumns)), true},
};

bool accepts(Want want, const LegacyColumn &column)
{
    switch (want) {
    case Want::Text:
        return column.isText();
    case Want::Number:
        return column.isNumber();
    case Want::Date:
        return column.kind == LegacyColumn::Kind::DateTime;
    case Want::Id:
        return column.isWholeNumber();
    case Want::SessionTime:
        return column.isText() || column.kind == LegacyColumn::Kind::DateTime;
    }
    return false;
}

// The declared type of a new column that carries a column the program does not know.
QString carriedType(const LegacyTable &table, int index, const Dialect &dialect)
{
    const LegacyColumn &column = table.columns().at(index);
    if (column.isText())
        return QStringLiteral("text");
    if (column.isWholeNumber())
        return QStringLiteral("integer");
    if (column.isNumber())
        return QStringLiteral("double precision");
    if (column.kind == LegacyColumn::Kind::DateTime)
        return dialect.columnType(FieldType::DateTime);
    throw AppError(QStringLiteral("旧数据文件中表 %1 的列 %2 的类型（%3）无法导入。")
                       .arg(table.name(), column.name)
                       .arg(column.typeCode));
}

// Where each known column is in the old table, and which columns are extra (with the
// name each is carried under).
struct ColumnPlan
{
    QVector<int> known;
    QVector<int> extras;
    QStringList extraNames;
};

// Amounts from this magnitude on are not what the entry panel takes; an old file's are
// carried exactly and named in the report.
constexpr double kLargeAmount = 1e12;

ColumnPlan planColumns(const TableLayout &layout, const LegacyTable &table, const Dialect &dialect)
{
    ColumnPlan plan;
    QVector<bool> used(table.columns().size(), false);
    for (int i = 0; i < layout.columnCount; ++i) {
        const QString name = QString::fromLatin1(layout.columns[i].name);
        const int index = table.columnIndex(name);
        if (index < 0)
            throw AppError(QStringLiteral("旧数据文件中表 %1 缺少列 %2。").arg(table.name(), name));
        const LegacyColumn &column = table.columns().at(index);
        if (!accepts(layout.columns[i].want, column))
            throw AppError(QStringLiteral("旧数据文件中表 %1 的列 %2 的类型（%3）不符，无法导入。")
                               .arg(table.name(), column.name)
                               .arg(column.typeCode));
        plan.known << index;
        used[index] = true;
    }
    for (int i = 0; i < used.size(); ++i) {
        if (used[i])
            continue;
        if (!layout.extrasAllowed)
            throw AppError(QStringLiteral("旧数据文件中表 %1 有程序不认识的列 %2，无法导入。")
                               .arg(table.name(), table.columns().at(i).name));
        carriedType(table, i, dialect); // refuses a type that cannot be carried before any row
        plan.extras << i;
    }
    // A column named like a row key would be taken for the key by the statements that
    // find a row by it: carried under a name of its own.
    QStringList taken;
    for (int i = 0; i < layout.columnCount; ++i)
        taken << QString::fromLatin1(layout.columns[i].name).toLower();
    for (int index : std::as_const(plan.extras))
        taken << table.columns().at(index).name.toLower();
    for (int index : std::as_const(plan.extras)) {
        const QString name = table.columns().at(index).name;
        QString carried = name;
        if (LegacyImport::isReservedColumnName(name)) {
            carried = QStringLiteral("old_") + name;
            for (int n = 2; taken.contains(carried.toLower()); ++n)
                carried = QStringLiteral("old_%1_%2").arg(name).arg(n);
            taken << carried.toLower();
        }
        plan.extraNames << carried;
    }
    return plan;
}

QString sessionTimeText(const LegacyTable &table, int column)
{
    if (table.columns().at(column).isText())
        return table.text(column);
    const QDateTime stamp = table.dateTime(column);
    if (!stamp.isValid())
        return QString();
    // The date-time text the program writes: the time is left out at midnight.
    return stamp.time() == QTime(0, 0) ? stamp.date().toString(QStringLiteral("yyyy-MM-dd"))
                                       : stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QVariant knownValue(Want want, const LegacyTable &table, int column)
{
    switch (want) {
    case Want::Text:
        return table.text(column);
    case Want::Number:
        return table.isNull(column) ? QVariant() : QVariant(table.number(column));
    case Want::Date: {
        const QDateTime stamp = table.dateTime(column);
        if (!stamp.isValid())
            return {};
        // A sale date without a time is stored as the program stores its own.
        if (stamp.time() == QTime(0, 0))
            return stamp.date();
        return stamp;
    }
    case Want::Id:
        return qlonglong(table.wholeNumber(column));
    case Want::SessionTime:
        return sessionTimeText(table, column);
    }
    return {};
}

void reading(const LegacyImport::Options &options, const QString &table, qint64 row)
{
    if (options.reading)
        options.reading(table, row);
}

void copyTable(const TableLayout &layout, LegacyDatabase &source, Connection &target,
               const LegacyImport::Options &options, QStringList &extraColumns, QStringList &notes)
{
    reading(options, QString::fromLatin1(layout.name), 0);
    const std::unique_ptr<LegacyTable> table = source.openTable(QString::fromLatin1(layout.name));
    const ColumnPlan plan = planColumns(layout, *table, target.dialect());
    const QString tableName = QString::fromLatin1(layout.name);

    QStringList names;
    for (int i = 0; i < layout.columnCount; ++i)
        names << quotedName(QString::fromLatin1(layout.columns[i].name));
    for (int i = 0; i < plan.extras.size(); ++i) {
        const int index = plan.extras.at(i);
        const QString name = plan.extraNames.at(i);
        target.execute(QStringLiteral("alter table %1 add column %2 %3")
                           .arg(tableName, quotedName(name), carriedType(*table, index, target.dialect())));
        names << quotedName(name);
        extraColumns << tableName + QLatin1Char('.') + name;
        if (name != table->columns().at(index).name)
            notes << QStringLiteral("%1.%2: the name is reserved by the database, carried as %1.%3")
                         .arg(tableName, table->columns().at(index).name, name);
    }
    QStringList marks;
    for (int i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    Statement insert = target.prepare(
        QStringLiteral("insert into %1 (%2) values (%3)").arg(tableName, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));

    const bool sales = tableName == QLatin1String("data");
    const bool users = tableName == QLatin1String("userdb");
    const qint64 total = table->declaredRowCount();
    if (sales && options.progress)
        options.progress(0, total);
    QVariantList values;
    values.reserve(names.size());
    while (table->next()) {
        values.clear();
        for (int i = 0; i < layout.columnCount; ++i) {
            values << knownValue(layout.columns[i].want, *table, plan.known[i]);
            if (layout.columns[i].want == Want::Number && values.last().isValid()
                && std::fabs(values.last().toDouble()) >= kLargeAmount)
                notes << QStringLiteral("%1 row %2 column %3: %4 (10^12 or more, carried as it is)")
                             .arg(tableName)
                             .arg(table->row())
                             .arg(QString::fromLatin1(layout.columns[i].name))
                             .arg(values.last().toDouble(), 0, 'g', QLocale::FloatingPointShortest);
        }
        if (users)
            values[1] = options.hashPassword(values[1].toString());
        for (int index : plan.extras)
            values << table->value(index);
        try {
            insert.bind(values);
            insert.step();
            insert.reset();
        } catch (const DatabaseError &error) {
            throw AppError(QStringLiteral("写入表 %1 第 %2 行时出错：%3").arg(tableName).arg(table->row()).arg(error.message()));
        }
        if (table->row() % kProgressEvery == 0) {
            reading(options, tableName, table->row());
            if (sales && options.progress)
                options.progress(table->row(), total);
        }
    }
    if (sales && options.progress)
        options.progress(table->row(), total);
}

void stage(const LegacyImport::Options &options, LegacyImport::Stage step)
{
    if (options.stage)
        options.stage(step);
}

void removeLeftovers(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// The converted ledger and the kept original are only safe once their names are on
// the disk; a conversion that cannot make sure of that says so instead of ending as done.
void syncFolderOf(const QString &path)
{
    if (const int error = DiskSync::flushFolderOf(path); error != 0)
        throw AppError(QStringLiteral("无法将 %1 写入磁盘：%2").arg(path, QString::fromLocal8Bit(strerror(error))));
}

bool sameContent(const QString &a, const QString &b)
{
    QFile first(a), second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || first.size() != second.size())
        return false;
    while (!first.atEnd()) {
        if (first.read(1 << 16) != second.read(1 << 16))
            return false;
    }
    return true;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Writes and checks the new ledger under `temporary`; leaves it there when all is well.
LegacyImport::Report writeChecked(const QString &accessPath, const QString &temporary,
                                  const LegacyImport::Options &options)
{
    removeLeftovers(temporary);
    QStringList extraColumns;
    QStringList notes;
    {
        // Opened first, so a file that is no Access file creates nothing.
        LegacyDatabase source(accessPath);
        stage(options, LegacyImport::Stage::Writing);
        Connection target(temporary, Schema::databaseKey(), Connection::OpenMode::CreateFile);
        extraColumns = LegacyImport::copyInto(source, target, options, {}, &notes);
    }
    stage(options, LegacyImport::Stage::Checking);
    Connection written(temporary, Schema::databaseKey());
    LegacyImport::Report report = LegacyImport::check(accessPath, written, options);
    report.extraColumns = extraColumns;
    report.notes = notes;
    if (!report.matches())
        throw AppError(QStringLiteral("转换后的检查未通过，没有生成新的数据文件：\n%1").arg(report.lines().join(QLatin1Char('\n'))));
    return report;
}

} // namespace

namespace LegacyImport {

bool Report::matches() const
{
    for (const TableCount &count : tables) {
        if (count.read != count.written)
            return false;
    }
    for (int i = 0; i < 3; ++i) {
        // Compared as stored numbers; bit patterns would tell 0.0 from -0.0.
        if (!(readSums[i] == writtenSums[i]))
            return false;
    }
    return true;
}

QStringList Report::lines() const
{
    QStringList result;
    for (const TableCount &count : tables)
        result << QStringLiteral("%1: %2 rows read, %3 rows written%4")
                      .arg(count.table)
                      .arg(count.read)
                      .arg(count.written)
                      .arg(count.read == count.written ? QString() : QStringLiteral("  DIFFERENT"));
    for (int i = 0; i < 3; ++i)
        result << QStringLiteral("data: sum of %1: %2 read, %3 written%4")
                      .arg(QString::fromLatin1(kSummedColumns[i]))
                      .arg(readSums[i], 0, 'g', QLocale::FloatingPointShortest)
                      .arg(writtenSums[i], 0, 'g', QLocale::FloatingPointShortest)
                      .arg(readSums[i] == writtenSums[i] ? QString() : QStringLiteral("  DIFFERENT"));
    return result;
}

bool isReservedColumnName(const QString &name)
{
    // The embedded engine's row key names, and the server's system columns.
    static const QStringList reserved{"rowid", "oid", "_rowid_", "tableoid", "xmin", "xmax", "cmin", "cmax", "ctid"};
    return reserved.contains(name.trimmed(), Qt::CaseInsensitive);
}

QStringList copyInto(LegacyDatabase &source, Connection &target, const Options &options,
                     const std::function<void()> &beforeCommit, QStringList *notes)
{
    if (!options.hashPassword)
        throw AppError(QStringLiteral("no password hashing given for the import"));
    // Every table must be there before anything is written.
    for (const TableLayout &layout : kTables) {
        if (!source.hasTable(QString::fromLatin1(layout.name)))
            throw AppError(QStringLiteral("旧数据文件中没有表 %1。").arg(QString::fromLatin1(layout.name)));
    }
    QStringList extras;
    QStringList found;
    {
        Transaction transaction(target);
        Schema::addTables(target);
        for (const TableLayout &layout : kTables)
            copyTable(layout, source, target, options, extras, found);
        Schema::addSortIndexes(target);
        Schema::continueKeys(target);
        if (beforeCommit)
            beforeCommit();
        transaction.commit();
    }
    if (notes)
        *notes << found;
    return extras;
}

Report check(const QString &accessPath, Connection &target, const Options &options)
{
    Report report;
    LegacyDatabase source(accessPath);
    for (const TableLayout &layout : kTables) {
        const QString name = QString::fromLatin1(layout.name);
        TableCount count{name};
        reading(options, name, 0);
        const std::unique_ptr<LegacyTable> table = source.openTable(name);
        const bool sales = name == QLatin1String("data");
        int summed[3] = {-1, -1, -1};
        ExactSum sums[3];
        if (sales) {
            for (int i = 0; i < 3; ++i)
                summed[i] = table->columnIndex(QString::fromLatin1(kSummedColumns[i]));
        }
        while (table->next()) {
            if (table->row() % kProgressEvery == 0)
                reading(options, name, table->row());
            for (int i = 0; sales && i < 3; ++i) {
                if (summed[i] >= 0 && !table->isNull(summed[i]))
                    sums[i].add(table->number(summed[i]));
            }
        }
        count.read = table->row();
        count.written = target.scalar(QStringLiteral("select count(*) from %1").arg(name)).toLongLong();
        report.tables << count;
        if (sales) {
            for (int i = 0; i < 3; ++i)
                report.readSums[i] = sums[i].value();
        }
    }
    ExactSum written[3];
    Statement rows = target.prepare(QStringLiteral("select \"6\", \"4\", \"5\" from data"));
    while (rows.step()) {
        for (int i = 0; i < 3; ++i) {
            if (!rows.isNull(i))
                written[i].add(rows.doubleValue(i));
        }
    }
    for (int i = 0; i < 3; ++i)
        report.writtenSums[i] = written[i].value();
    return report;
}

void discardUnfinished(const QString &path)
{
    removeLeftovers(temporaryPathFor(path));
}

QString temporaryPathFor(const QString &ledgerPath)
{
    return ledgerPath + QStringLiteral(".converting");
}

QString keptOriginalPathFor(const QString &path)
{
    return path + QStringLiteral(".old");
}

Report importToNewFile(const QString &accessPath, const QString &ledgerPath, const Options &options)
{
    if (QFileInfo::exists(ledgerPath))
        throw AppError(QStringLiteral("%1 已存在，不会被覆盖。").arg(ledgerPath));
    const QString temporary = temporaryPathFor(ledgerPath);
    try {
        Report report = writeChecked(accessPath, temporary, options);
        stage(options, Stage::Replacing);
        const QByteArray from = QFile::encodeName(temporary), to = QFile::encodeName(ledgerPath);
        // Never over a ledger that appeared meanwhile.
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL && errno != ENOSYS)
                throw AppError(QStringLiteral("无法生成 %1：%2").arg(ledgerPath, systemError()));
            if (::link(from.constData(), to.constData()) != 0)
                throw AppError(QStringLiteral("无法生成 %1：%2").arg(ledgerPath, systemError()));
            ::unlink(from.constData());
        }
        syncFolderOf(ledgerPath);
        stage(options, Stage::Done);
        return report;
    } catch (...) {
        removeLeftovers(temporary);
        throw;
    }
}

Report importToServer(const QString &accessPath, const DataSource &server, const Options &options)
{
    Connection target(server);
    bool holdsLedger = true;
    try {
        target.tableFields(QStringLiteral("data"));
    } catch (const DatabaseError &) {
        // No table "data" there: the server holds no ledger yet, as an import wants.
        holdsLedger = false;
    }
    if (holdsLedger)
        throw AppError(QStringLiteral("%1 上已有账本，不会被覆盖。").arg(server.displayName()));
    LegacyDatabase source(accessPath);
    stage(options, Stage::Writing);
    Report report;
    QStringList notes;
    const QStringList extras = copyInto(source, target, options, [&] {
        stage(options, Stage::Checking);
        report = check(accessPath, target, options);
        if (!report.matches())
            throw AppError(QStringLiteral("转换后的检查未通过，服务器上没有写入任何数据：\n%1").arg(report.lines().join(QLatin1Char('\n'))));
    }, &notes);
    report.extraColumns = extras;
    report.notes = notes;
    stage(options, Stage::Done);
    return report;
}

Report convertInPlace(const QString &path, const Options &options)
{
    const QString kept = keptOriginalPathFor(path);
    // A kept original of an earlier conversion is never overwritten; the same file
    // kept by a conversion that was cut off before its end is fine.
    const bool keptAlready = QFileInfo::exists(kept) || QFileInfo(kept).isSymLink();
    // A link would follow the file it names once that is replaced: never taken as kept.
    if (keptAlready && (QFileInfo(kept).isSymLink() || !sameContent(kept, path)))
        throw AppError(QStringLiteral("%1 已存在，且与 %2 不同；为不覆盖它，没有进行转换。请先移走 %1。").arg(kept, path));
    const QString temporary = temporaryPathFor(path);
    try {
        Report report = writeChecked(path, temporary, options);
        stage(options, Stage::KeepingOriginal);
        if (!keptAlready) {
            const QByteArray from = QFile::encodeName(path), to = QFile::encodeName(kept);
            if (::link(from.constData(), to.constData()) != 0) {
                // A file system without hard links: a complete copy under a
                // temporary name, then renamed.
                const QString copy = kept + QStringLiteral(".part");
                QFile::remove(copy);
                if (!QFile::copy(path, copy) || !QFile::rename(copy, kept)) {
                    QFile::remove(copy);
                    throw AppError(QStringLiteral("无法保留原文件为 %1。").arg(kept));
                }
            }
            syncFolderOf(kept);
        }
        stage(options, Stage::Replacing);
        if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
            throw AppError(QStringLiteral("无法用新数据文件替换 %1：%2").arg(path, systemError()));
        syncFolderOf(path);
        stage(options, Stage::Done);
        return report;
    } catch (...) {
        removeLeftovers(temporary);
        throw;
    }
}

} // namespace LegacyImport
