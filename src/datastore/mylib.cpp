#include "mylib.h"

#include "apperror.h"
#include "dataset.h"

namespace {

// The statement as a single line: its line breaks are joined with a blank, and
// every other character, blanks inside quotes included, stays as given.
QString singleLine(const QString &sql)
{
    QString line = sql;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

} // namespace

namespace mylib {

void openSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.close();
    query.setSql(singleLine(sql), parameters);
    query.open();
}

void reopenSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.reopen(singleLine(sql), parameters);
}

void refreshSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.refresh(singleLine(sql), parameters);
}

void execSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.close();
    query.setSql(singleLine(sql), parameters);
    query.execute();
}

void openDistinctValues(Dataset &query, const QString &column, const QString &table)
{
    openSql(query, QStringLiteral("select %1 from %2 group by %1 order by %1").arg(column, table));
}

QStringList distinctValues(Dataset &query, const QString &column, const QString &table)
{
    openDistinctValues(query, column, table);
    const int rows = query.recordCount();
    QStringList values;
    values.reserve(rows);
    query.first();
    for (int i = 0; i < rows; ++i) {
        values << query.textValue(column);
        query.next();
    }
    return values;
}

} // namespace mylib
