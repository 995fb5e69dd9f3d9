#include "goodslookup.h"

#include "connection.h"
#include "numberformat.h"
#include "pinyininitials.h"
#include "schema.h"
#include "sortorder.h"

namespace {

QString textOf(const Statement &statement, int column)
{
    return statement.isNull(column) ? QString() : statement.value(column).toString();
}

QString numberTextOf(const Statement &statement, int column)
{
    return statement.isNull(column) ? QString() : NumberFormat::general(statement.doubleValue(column));
}

} // namespace

std::optional<GoodsDetails> GoodsLookup::latestBy(const char *field, const QString &value) const
{
    if (value.isEmpty())
        return std::nullopt;
    // The prefix comparison is what the server's index holds; the embedded file's index
    // answers the whole comparison. Either way the newest matching sale comes first.
    Statement statement = m_connection.prepare(
        QStringLiteral("select a, b, d, h, \"1\", \"2\" from data where substr(%1, 1, %2) = substr(?, 1, %2) and %1 = ? "
                       "order by rowid desc limit 1")
            .arg(QLatin1String(field))
            .arg(Schema::kLookupPrefix));
    statement.bind({value, value});
    if (!statement.step())
        return std::nullopt;
    return GoodsDetails{textOf(statement, 0),       textOf(statement, 1),       textOf(statement, 2),
                        textOf(statement, 3),       numberTextOf(statement, 4), numberTextOf(statement, 5)};
}

std::optional<GoodsDetails> GoodsLookup::latestByCode(const QString &code) const
{
    return latestBy("c", code.trimmed());
}

std::optional<GoodsDetails> GoodsLookup::latestByName(const QString &name) const
{
    return latestBy("b", name);
}

QStringList GoodsLookup::soldNames() const
{
    QStringList names;
    Statement statement = m_connection.prepare(QStringLiteral("select distinct b from data where b <> ''"));
    while (statement.step()) {
        if (!statement.isNull(0))
            names << statement.value(0).toString();
    }
    return names;
}

GoodsNameMatcher::GoodsNameMatcher(const QStringList &names)
{
    for (int index : SortOrder::pinyinOrder(names)) {
        m_names << names.at(index);
        m_initials << PinyinInitials::of(names.at(index));
    }
}

QStringList GoodsNameMatcher::matching(const QString &typed) const
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    QStringList byText;
    QStringList byInitials;
    const QString lowered = text.toLower();
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).startsWith(text, Qt::CaseInsensitive))
            byText << m_names.at(i);
        else if (m_initials.at(i).startsWith(lowered))
            byInitials << m_names.at(i);
    }
    return byText + byInitials;
}
