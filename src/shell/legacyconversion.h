#pragma once

#include <QString>

// The start in a folder whose data.mdb is still the Windows version's Access file:
// ask, convert with a progress window, keep the original as data.mdb.old.
//
// The conversion runs in a child process (this executable started with the worker
// argument): the reading library can crash on a badly damaged file, and that must end
// in a message, not in the program vanishing. The child dies with the program.
namespace LegacyConversion {

enum class Outcome {
    NotNeeded, // data.mdb is no Access file (or absent): start as usual
    Converted, // data.mdb is now the new ledger
    Declined,  // the operator answered No: the file is untouched, the program ends
    Failed,    // reported to the operator; the file is untouched, the program ends
};

// `workerProgram` is the executable that serves the worker argument (this one when
// empty).
Outcome offer(const QString &path, const QString &workerProgram = QString());

// The child's side: true when the program was started as the conversion worker.
bool isWorkerCall(int argc, char *argv[]);
int runWorker(int argc, char *argv[]);

} // namespace LegacyConversion
