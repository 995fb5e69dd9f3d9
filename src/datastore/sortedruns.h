#pragma once

#include "fieldtype.h"
#include "serverkeys.h"

#include <QHash>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <unordered_map>
#include <vector>

class Statement;

// A table on the server sorted by one field without reading a key or value of every
// row. Rows with equal values form a run and keep their key order within it, which is
// what a stable sort of rows listed in key order gives. The server only counts each
// value's rows; the runs are put in order here (numbers by value, texts in pinyin order,
// nulls first ascending and last descending), and the keys of a run are read as the
// grid draws its rows, through an index on (value, key) made the first time a field is
// sorted.
class SortedRuns
{
public:
    // The runs of `rows` by `field`, or nullptr where another way is better: the index
    // cannot be made (a login without the right, or inside a transaction), the field has
    // too many distinct values for runs to pay, or it has no order of this kind.
    static std::unique_ptr<SortedRuns> open(Connection &connection, const KeyedRows &rows, const QString &field,
                                            FieldType type, bool descending);

    // The indexes a sort by the field reads its runs through (made by the first sort of
    // the field when missing): on (value, key), for a text one for texts held whole and
    // one for long texts by their beginning. Empty for a type without such an order.
    static QStringList indexStatements(const QString &table, const QString &field, FieldType type);

    // Drops the sort indexes of `table` that hold texts of every length whole, as
    // ledgers made before long texts had an index of their own have: such an index
    // refuses a long text, so the sale could not be stored. The next sort of the field
    // makes the new ones.
    static void dropWholeTextIndexes(Connection &connection, const QString &table);

    // Positions [0, rows()) belong to the runs.
    int rows() const { return m_rows; }
    bool descending() const { return m_descending; }

    // The opposite direction: the runs in reverse order, each keeping its key order, and
    // the keys read so far moved with them. Returns the new position of `row`.
    int reverse(std::vector<qint64> &keys, int row);
    // The position of the row with `key`, or -1 when it is gone.
    int positionOf(qint64 key) const;
    // Fills the unread keys of a few screens around `row`.
    void readAround(std::vector<qint64> &keys, int row) const;
    // Fills every position's key in one scan, for work that needs them all.
    void readAll(std::vector<qint64> &keys) const;
    // This terminal deleted the row at `row`.
    void removed(int row);

private:
    enum class Kind { Number, Day, Text };
    struct Run
    {
        QVariant value; // null: the rows without a value
        int start = 0;
        int rows = 0;
    };

    // What runs of the field are ordered by, and the expression the server groups.
    static std::optional<std::pair<Kind, QString>> orderOf(const QString &field, FieldType type);
    // A condition that the expression equals `value`, said so that the index finds the
    // rows; its parameters are appended to `parameters`.
    QString equalTo(const QVariant &value, QVariantList &parameters) const;
    // The condition of the run without a value, said the same way.
    QString isNull() const;
    SortedRuns(Connection &connection, KeyedRows rows, QString expression, Kind kind, bool descending);
    void countRuns(int limit);
    // Lets runOf() find the run by its value; makeAllFindable() does it for every run
    // after they moved.
    void findable(int run);
    void makeAllFindable();
    // A number's or a day's value as an unsigned number in the same order.
    std::uint64_t numberKey(const QVariant &value) const;
    void putInOrder();
    // The run with the value in the statement's column, or -1.
    int runOf(const Statement &statement, int column) const;
    int runAt(int row) const;
    KeyedRows rowsOf(const Run &run) const;
    void readWholeRuns(std::vector<qint64> &keys, const std::vector<int> &runs) const;
    // Places keys read in key order, each with its run, at the unread positions of
    // `runs`; positions left over are blanks.
    void place(std::vector<qint64> &keys, const std::vector<std::pair<int, qint64>> &keyed,
               const std::vector<int> &runs) const;

    Connection &m_connection;
    KeyedRows m_filter;
    QString m_expression;
    Kind m_kind;
    bool m_descending;
    std::vector<Run> m_runs;
    int m_rows = 0;
    int m_nullRun = -1;
    std::unordered_map<std::uint64_t, int> m_numberRuns;
    QHash<QString, int> m_textRuns;
};
