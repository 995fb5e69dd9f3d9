#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QTextStream;

// The key the embedded ledger and its backups are encrypted with.
//
// Without a key of the shop's own, the data module's built-in key: the same on every
// install, so it keeps the files from ordinary tools, not from someone who has this
// program. A shop's own key (set-key) is kept in the user's configuration folder,
// never beside data.mdb or in backups/, so a copied ledger or a lost stick of backups
// reveals nothing without it. While a change of key is under way the key it replaces
// is kept beside it, so a ledger that the change has not reached yet still opens.
namespace LedgerKey {

// $XDG_CONFIG_HOME/quillmora/ledger-key (~/.config/quillmora/ledger-key).
QString path();

// The shop's key; empty when none is set.
QByteArray shopKey();
// The key new files are written with: the shop's, else the built-in one.
QByteArray current();
// Every key a file may have been written with, the current one first: the shop's, the
// one a change of key is replacing, the built-in one.
QList<QByteArray> candidates();

// Keeps `key` as the shop's key (0600 in a 0700 folder, written under a temporary name
// and renamed). The key it replaces, if any, is kept as the previous one until
// forgetPrevious().
void store(const QByteArray &key);
void forgetPrevious();

// On a machine that does not know the shop's key yet: keeps `key` as the shop's key
// when the ledger file at `path` opens with it and passes its integrity check.
bool adoptIfItOpens(const QString &path, const QByteArray &key);

} // namespace LedgerKey
