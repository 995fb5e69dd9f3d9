#pragma once

// What a caller asks of a table's rows, as values: which rows (conditions on fields
// with their bound values) and in what order (a field and a direction). The layers pass
// these inward; statement text is written only where a statement is run, and text that
// comes in from outside (a sort typed as "field DESC", a statement given whole) is read
// once, where it comes in.

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>
#include <vector>

// An in-memory sort by one field.
struct SortKey
{
    QString field;
    bool descending = false;

    // "field" or "field DESC" (DESC in any letter case, after a blank), blanks around
    // ignored. Blank text: no sort. The field is not checked here; the dataset refuses
    // one it does not have.
    static std::optional<SortKey> fromText(const QString &text);
    // The text form "field" or "field DESC".
    QString text() const;

    bool operator==(const SortKey &) const = default;
};

// One field compared with a bound value.
struct FieldCondition
{
    enum class Comparison { Equal, Like, AtLeast, AtMost };

    QString field;
    Comparison comparison = Comparison::Equal;
    QVariant value;
    // Said so that the engine does not reach for the field's index: where the rows
    // wanted are a large share of the table, one scan is quicker than fetching them one
    // by one through the index. The comparison itself is the same.
    bool byScan = false;

    // The condition with a `?` for its value, e.g. `a like ?`, `+day1>=?`.
    QString sql() const;
};

// The rows of one table ("select * from <table> …"): those meeting every condition, in
// the order they were added, unless a statement given as text brings clauses of its own.
struct TableQuery
{
    QString table;
    std::vector<FieldCondition> conditions;
    // The "where …" and "order by …" of a statement given as text, as written (with
    // its parameters); used only when there are no conditions.
    QString clauses;
    QVariantList clauseParameters;
    // The clauses hold an order by: rows come in that order, not the order added.
    bool ownOrder = false;

    // A statement of the form "select * from <table> [where …|order by …]" as a query
    // of its table; nothing for any other statement.
    static std::optional<TableQuery> fromStatement(const QString &sql, const QVariantList &parameters);

    // Every row of the table, in the order added.
    bool wholeTable() const { return conditions.empty() && clauses.trimmed().isEmpty(); }
    // What follows "from <table>" in a statement reading these rows.
    QString restSql() const;
    // The values bound to restSql()'s marks, in order.
    QVariantList parameters() const;
    // The whole statement, "select * from <table> …".
    QString statement() const;
};
