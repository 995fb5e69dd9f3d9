#pragma once

#include <QStringList>

class QTextStream;

// Publishing an upgrade: the release key pair, signing an information file with the
// size and SHA-256 of every download, and checking a signed one.
//
//   quillmora-admin release-keygen DIR
//   quillmora-admin release-sign --key DIR/release.key INFOFILE FILE...
//   quillmora-admin release-verify --pub DIR/release.pub INFOFILE [FILE...]
namespace ReleaseCommands {

inline constexpr const char *kUsage =
    "quillmora-admin release-keygen DIR      make the release key pair DIR/release.key and DIR/release.pub\n"
    "       quillmora-admin release-sign --key release.key INFOFILE FILE...\n"
    "                                        sign an information file for the listed downloads FILE...\n"
    "       quillmora-admin release-verify --pub release.pub INFOFILE [FILE...]\n"
    "                                        show what a signed information file says, check local files";

// Whether `command` is one of the release commands.
bool handles(const QString &command);

// `arguments` start with the command's name. Returns the exit status: 0 done, 1 the
// work failed (a mismatch, a file that cannot be read or written), 2 bad arguments.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace ReleaseCommands
