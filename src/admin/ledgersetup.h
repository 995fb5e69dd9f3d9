#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Getting a ledger into a folder that has none: a new one, or a copy of one the shop
// already keeps. What the first-start window does, without the window.
namespace LedgerSetup {

// The ledger file start-up opens in a folder.
QString ledgerPath(const QString &folder);

// Whether start-up in the folder has something to open: a ledger file, or a setting
// that points the program at a database server.
bool hasLedger(const QString &folder);

// Creates a new ledger with the super administrator and the default password, as
// quillmora-admin init does. Raises AppError when the folder has a ledger already.
void createLedger(const QString &folder);

// Copies the ledger `source` into the folder: a ledger, or the Windows version's
// file, which start-up then offers to convert. The copy takes the ledger's name only
// once it has been opened as such, so a file that is neither (or a folder that has a
// ledger already) raises AppError and leaves no trace; the source is only read. The
// copy is readable and writable by its owner whatever the source allowed.
//
// A ledger that opens with no key known here may have been keyed with a shop's own key
// on another machine: `askKey` is asked for it (up to three times; empty: given up),
// and a key that opens the file is kept as this account's shop key.
using KeyAsker = std::function<QByteArray(bool again)>;
void copyLedger(const QString &source, const QString &folder, const KeyAsker &askKey = {});

} // namespace LedgerSetup
