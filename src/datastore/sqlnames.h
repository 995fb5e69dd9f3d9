#pragma once

#include <QString>
#include <QStringList>

// A table or column name as a quoted identifier, safe in any statement.
inline QString quotedName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Quoted names, separated by commas: a select list or a column list.
inline QString quotedNames(const QStringList &names)
{
    QStringList quoted;
    quoted.reserve(names.size());
    for (const QString &name : names)
        quoted << quotedName(name);
    return quoted.join(QLatin1Char(','));
}

// "?,?,…": one mark for each of `count` values.
inline QString placeholders(int count)
{
    QString marks;
    marks.reserve(2 * count);
    for (int i = 0; i < count; ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    return marks;
}
