#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class Connection;

// Writes to one row that must find the row as this terminal read it. Several
// terminals share a ledger: between this terminal's read and its write another one
// may have changed the row (a payment, a remark). A write keyed on the row alone would
// silently put the older values back; these writes name the values read as well, so
// such a row is not found and nothing is written.
namespace RowCheck {

// A where clause and its bound values.
struct Condition
{
    QString sql;
    QVariantList values;
};

// The row with key `key`, only while each of `fields` still holds the value read
// (null equal to null, numbers compared exactly). `values` are the values as stored,
// as Statement::exactValue reads them, so they compare equal to themselves on both
// engines.
Condition unchanged(const Connection &connection, qint64 key, const QStringList &fields, const QVariantList &values);

// Runs "<statement> where <condition>" (an update or a delete; `values` are the
// statement's own bound values, before the condition's). Returns true when it changed
// exactly one row and false when it found none: nothing is then written. A count of
// more than one is never kept: it is rolled back and raised as a DatabaseError. Runs
// in a transaction of its own unless the caller holds one; then the caller's rollback
// undoes it.
bool writeOne(Connection &connection, const QString &statement, const QVariantList &values,
              const Condition &condition);

} // namespace RowCheck
