#pragma once

#include "fieldtype.h"
#include "rowsource.h"
#include "tablequery.h"
#include "tenthousandths.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

class Connection;
class RowSource;
class WriteJournal;

// A result set with a current row, the way the windows read and write records: open
// with a statement, navigate, read fields by name, append/edit/post, delete, and sort
// in memory.
//
// A statement of the form "select * from <table> [where ...] [order by ...]" opens as
// a keyset: only the row keys (and any prefetched number columns) are held, and rows
// are fetched when read, so a ledger of a million records stays small and quick. Such
// a dataset can be edited. Any other statement is read whole and is read-only.
class Dataset : public QObject
{
    Q_OBJECT

public:
    enum class State { Browse, Edit, Insert };

    Dataset(Connection &connection, const QString &name, QObject *parent = nullptr);
    ~Dataset() override;

    const QString &name() const { return m_name; }
    Connection &connection() const { return m_connection; }

    // --- statement
    void setSql(const QString &sql, const QVariantList &parameters = {});
    const QString &sql() const { return m_sql; }
    const QVariantList &parameters() const { return m_parameters; }
    // Opens the statement; raises DatabaseError and stays closed when it fails.
    void open();
    // Opens another statement in place of the current one. When it fails, the dataset
    // stays as it was (statement, rows, sort, current row) and DatabaseError is raised.
    void reopen(const QString &sql, const QVariantList &parameters);
    // What reopen(sql, parameters) does, kept quick: when the dataset is open on that
    // very statement, unsorted, and its rows can be brought up to date in place (see
    // RowSource::catchUp), only the rows added since are read; the result is the same.
    // Otherwise the statement is opened again.
    void refresh(const QString &sql, const QVariantList &parameters);
    // Opens a query of one table in place of the current statement, as reopen() does;
    // sql() and parameters() then give it as statement text.
    void reopen(const TableQuery &query);
    // Opens the current statement or query again, as reopen() does.
    void requery();
    // The query of one table the dataset is open on, given or read from its statement;
    // nothing when the statement is of another form.
    const std::optional<TableQuery> &tableQuery() const { return m_query; }
    // Opens a table for appending only: no rows are read.
    void openTable(const QString &table);
    // Runs the statement without a result set; the dataset stays closed.
    void execute();
    void close();
    bool isOpen() const { return m_source != nullptr; }

    // Number columns summed along with the reading of the keys, so totals need no
    // second pass. Takes effect at the next open.
    void setPrefetchedNumberFields(const QStringList &fields);
    // Their sums over the rows, in ten-thousandths (see TenThousandths).
    std::vector<TenThousandths::Units> prefetchedSums() const;

    // Keeps what each update and delete of a row replaces (see WriteJournal); the
    // journal must outlive the dataset or be unset first. nullptr: no journal.
    void setWriteJournal(WriteJournal *journal);

    // --- shape
    int recordCount() const;
    QStringList fieldNames() const;
    int fieldIndex(const QString &field) const; // -1 when absent
    FieldType fieldType(int field) const;

    // --- navigation (0-based rows; -1 when empty)
    int currentRow() const { return m_current; }
    void setCurrentRow(int row);
    void first();
    void next();
    void last();
    bool isEof() const { return m_eof; }
    bool isEmpty() const { return recordCount() == 0; }

    // --- values
    QVariant value(const QString &field) const;
    QVariant valueAt(int row, int field) const;
    QString displayText(const QString &field) const;
    QString displayTextAt(int row, int field) const;
    // The value turned into text the way a record loads into a box; a null raises the
    // variant conversion error.
    QString textValue(const QString &field) const;

    // --- editing
    State state() const { return m_state; }
    void append();
    // Edits the current row. Its post writes only where the row still holds what this
    // terminal read for each field the edit sets: the values it holds now, or
    // `asRead` (currentVersion() taken earlier, when the operator was shown the row)
    // when that is a version of the current row. Otherwise the post writes nothing and
    // raises the "Row cannot be located" error.
    void edit();
    void edit(const RowVersion &asRead);
    // The current row as this terminal read it (invalid when there is none).
    RowVersion currentVersion() const;
    void setValue(const QString &field, const QVariant &value);
    void post();
    void cancel();
    // Deletes the current row, only while it holds every value this terminal read for
    // it; the next row (the previous one at the end) becomes current.
    void deleteCurrent();

    // --- sorting: by one field; the current record stays current. Records with equal
    // values keep the order they were added in (for a statement with an order of its
    // own: the order before the sort). Raises DatabaseError for a field the dataset
    // does not have, leaving the rows as they were.
    void setSort(const SortKey &key);
    // The same, given as text: "field" or "field DESC". Blank text ends nothing, it only
    // forgets the sort's text.
    void setSort(const QString &sortText);
    // The sort as text, as it was given (blanks around removed); empty when unsorted.
    const QString &sort() const { return m_sortText; }
    const std::optional<SortKey> &sortKey() const { return m_sortKey; }

    static QString displayTextOf(const QVariant &value, FieldType type);

signals:
    // The rows were replaced: opened, closed, sorted.
    void reset();
    void rowRemoved(int row);
    void rowChanged(int row);
    void rowAppended(int row);
    void currentRowChanged(int row);

private:
    // The rows of a statement: keyed where the statement allows, else read whole.
    std::unique_ptr<RowSource> openSource(const std::optional<TableQuery> &query, const QString &sql,
                                          const QVariantList &parameters) const;
    // Takes rows opened for a new statement, and the statement.
    void replaceStatement(std::optional<TableQuery> query, const QString &sql, const QVariantList &parameters,
                          std::unique_ptr<RowSource> source);
    // Takes `source`'s rows, the first one current, unsorted.
    void takeRows(std::unique_ptr<RowSource> source);
    void applySort(const SortKey &key, const QString &sortText);
    void requireOpen() const;
    void requireRow() const;
    void discardPendingEdit();
    void moveTo(int row, bool eof = false);
    int requireField(const QString &field) const;

    Connection &m_connection;
    QString m_name;
    QString m_sql;
    QVariantList m_parameters;
    QStringList m_prefetchFields;
    std::unique_ptr<RowSource> m_source;
    int m_current = -1;
    bool m_eof = true;
    State m_state = State::Browse;
    std::vector<QVariant> m_editBuffer;
    std::vector<bool> m_editChanged;
    RowVersion m_editRead;
    std::optional<TableQuery> m_query;
    QString m_sortText;
    std::optional<SortKey> m_sortKey;
    WriteJournal *m_journal = nullptr;
};
