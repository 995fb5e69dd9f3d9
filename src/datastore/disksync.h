#pragma once

#include <QString>

// Making a finished file and its name survive a power cut. A rename is only as
// durable as the folder that holds the name, so every "write under a temporary name,
// then rename" ends by flushing the folder too.
namespace DiskSync {

// Flushes a file, or a folder (the names in it), to the disk. Returns 0, or the errno
// of the open or the flush that failed: a caller that goes on after a failed flush
// may tell the operator that a ledger is safe when a power cut would still lose it.
int flush(const QString &path);

// The folder that holds `path`.
int flushFolderOf(const QString &path);

} // namespace DiskSync
