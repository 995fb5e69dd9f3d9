#pragma once

#include <QStringList>

class DataSource;
class QTextStream;

// quillmora-admin's commands on a data store, on either engine. Each returns the exit
// status; errors escape as exceptions for main to report.
namespace StoreCommands {

// The data store a command works on: `--database URI`, else database.conf, else
// data.mdb in the working folder.
DataSource chosen(const QStringList &arguments);

int init(const DataSource &store, QTextStream &out);
int demo(const DataSource &store, const QString &count, QTextStream &out, QTextStream &err);
int sessions(const DataSource &store, QTextStream &out);
// copy --from SOURCE --to TARGET: each a server address (postgresql://...) or the path
// of an embedded file; a target file that does not exist is created.
int copy(const QStringList &options, QTextStream &out, QTextStream &err);

} // namespace StoreCommands
