#pragma once

// Row keys that a server reads a stretch at a time, as the grid draws the rows, instead
// of every key at the open: a million keys over the network cost several times what
// the server takes to count them.

#include <QString>
#include <QVariantList>
#include <span>

class Connection;

inline constexpr qint64 kUnreadKey = 0; // row keys start at 1
inline constexpr qint64 kGoneKey = -1;  // a position whose row another terminal removed

// The rows of a table that meet a condition (`?` marks for the parameters), in key order.
struct KeyedRows
{
    QString table;
    QString condition;
    QVariantList parameters;
};

// Fills positions [from, to) of `keys`, which holds a position for each of `rows`, with
// their keys. Next to keys already read the stretch is read between them, so it lines up
// with them whatever other terminals removed meanwhile: a removed row leaves a blank
// (kGoneKey) at the far end of the stretch, never a row shown twice or left out.
// Elsewhere (a jump) the stretch is counted from the end.
void readKeyStretch(Connection &connection, const KeyedRows &rows, std::span<qint64> keys, int from, int to);
