#pragma once

// How the statements the application writes for the embedded engine are said to the
// database server. Part of the connection layer; tested on its own. The server's
// Dialect (dialect.h), the engine's SQL that no statement of the program says once
// for both engines, is in serverdialect.cpp as well.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace ServerDialect {

// A table as the server holds it: its visible fields in order and its row key, an
// identity column. A key named `rowid` is hidden: `select *` leaves it out.
struct TableShape
{
    QStringList fields;
    QString key;
};

struct Translation
{
    QByteArray text;
    int parameters = 0;
    // The statement is an insert that reports the new row's key as its only result.
    bool returnsKey = false;
    // The statement changes the tables' layout.
    bool changesLayout = false;
};

using ShapeLookup = std::function<std::optional<TableShape>(const QString &table)>;

// Rewrites one statement: `?` becomes `$n`; `*` lists the visible fields; `rowid` names
// the table's key; `like` ignores the letter case of ASCII letters only, as the
// embedded engine's does; `a = b collate nocase` compares ASCII-lowered texts;
// year()/month()/day() become extract(); a unary plus (the embedded engine's way to
// keep an index out of a comparison) is dropped, since the server plans by its own
// statistics; an insert returns the new key; a plain select from one table without an
// order of its own lists rows in key order, as the embedded engine's table scan does
// (unless it reads the key itself).
// Raises DatabaseError on a form it cannot say.
Translation translate(const QString &sql, const ShapeLookup &shapeOf);

} // namespace ServerDialect
