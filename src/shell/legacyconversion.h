#pragma once

#include <QString>

// The start in a folder whose data.mdb is still the Windows version's Access file:
// ask, convert with a progress window, keep the original as data.mdb.old.
namespace LegacyConversion {

enum class Outcome {
    NotNeeded, // data.mdb is no Access file (or absent): start as usual
    Converted, // data.mdb is now the new ledger
    Declined,  // the operator answered No: the file is untouched, the program ends
    Failed,    // reported to the operator; the file is untouched, the program ends
};

Outcome offer(const QString &path);

} // namespace LegacyConversion
