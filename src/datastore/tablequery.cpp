#include "tablequery.h"

#include <QRegularExpression>

std::optional<SortKey> SortKey::fromText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const bool descending = trimmed.endsWith(QStringLiteral(" DESC"), Qt::CaseInsensitive);
    return SortKey{descending ? trimmed.chopped(5).trimmed() : trimmed, descending};
}

QString SortKey::text() const
{
    return descending ? field + QStringLiteral(" DESC") : field;
}

QString FieldCondition::sql() const
{
    QString comparison;
    switch (this->comparison) {
    case Comparison::Equal:
        comparison = QStringLiteral("=?");
        break;
    case Comparison::Like:
        comparison = QStringLiteral(" like ?");
        break;
    case Comparison::AtLeast:
        comparison = QStringLiteral(">=?");
        break;
    case Comparison::AtMost:
        comparison = QStringLiteral("<=?");
        break;
    }
    // A unary plus keeps the value and only hides the column from the index.
    return (byScan ? QStringLiteral("+") : QString()) + field + comparison;
}

std::optional<TableQuery> TableQuery::fromStatement(const QString &sql, const QVariantList &parameters)
{
    static const QRegularExpression simpleSelect(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+([A-Za-z_][A-Za-z0-9_]*)(\s*|\s+((where|order)\s.*))$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = simpleSelect.match(sql);
    if (!match.hasMatch())
        return std::nullopt;
    static const QRegularExpression orderBy(QStringLiteral(R"(\border\s+by\b)"), QRegularExpression::CaseInsensitiveOption);
    TableQuery query;
    query.table = match.captured(1);
    query.clauses = match.captured(3);
    query.clauseParameters = parameters;
    query.ownOrder = orderBy.match(query.clauses).hasMatch();
    return query;
}

QString TableQuery::restSql() const
{
    if (conditions.empty())
        return clauses;
    QStringList said;
    for (const FieldCondition &condition : conditions)
        said << condition.sql();
    return QStringLiteral("where ") + said.join(QStringLiteral(" and "));
}

QVariantList TableQuery::parameters() const
{
    if (conditions.empty())
        return clauseParameters;
    QVariantList values;
    for (const FieldCondition &condition : conditions)
        values << condition.value;
    return values;
}

QString TableQuery::statement() const
{
    const QString rest = restSql();
    return QStringLiteral("select * from ") + table + (rest.isEmpty() ? QString() : QLatin1Char(' ') + rest);
}
