#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Helpers of the upgrade component: file names of downloads, the replacer's place,
// starting programs, the online test and the component's message boxes.

// The file name part of an address: the text after the last "/", "\" or ":".
QString upFileNamePart(const QString &url);

// The temporary file of a download: the executable's folder, the address's file name
// part and ".uTMP". Empty when the name part is empty, "." or "..", since such a
// file would not land in the executable's folder.
QString upTemporaryFileName(const QString &url, const QString &executableFolder);
extern const QString upTemporarySuffix;

// The running executable; tests point it at a copy in a temporary folder.
QString upApplicationFilePath();
void upSetApplicationFilePath(const QString &path); // empty restores the real one

// Whether the executable belongs to a system installation: the package manager then
// upgrades it, and the component neither checks for releases nor replaces files.
bool upUpgradesByPackageManager();

// The user's runtime folder (QStandardPaths::RuntimeLocation) when it is a real folder
// of this user that nobody else may write into; empty otherwise.
QString upPrivateRuntimeFolder();

// The replacer is written as "Replacer" into a fresh folder "quillmora-replacer-XXXXXX"
// that this call creates (mode 0700) in the private runtime folder, and read back.
// Returns the path of the checked program, or empty, leaving nothing behind, when it
// could not be written exactly.
QString upWriteReplacer(const QByteArray &program);
extern const QString upReplacerFolderPrefix;

// Removes what earlier upgrades of this user left: folders of the private runtime
// folder with our prefix that are this user's own and hold nothing but the replacer.
// Anything else (another account's file, a link, a folder with more in it) stays.
void upRemoveReplacerLeftovers();

// Starts a program detached from this process. Tests replace the starter to record
// the calls.
using upProcessStarter = std::function<bool(const QString &program, const QStringList &arguments)>;
bool upStartProcess(const QString &program, const QStringList &arguments);
void upSetProcessStarter(upProcessStarter starter); // nullptr restores the real one

// Whether this computer has a network address besides loopback (and besides link-local
// IPv6 addresses, which every interface has). Addresses in their usual text form.
bool upHasNetworkAddress(const QStringList &addresses);
bool upIsOnline();
void upSetOnlineTest(std::function<bool()> test); // nullptr restores the real one

// The component's message boxes, through the application's message-box service.
void upErrorBox(const QString &text);
// A listed file is missing; true to skip it and go on.
bool upAskSkipLostFile(const QString &url, int statusCode);
// The wizard is being closed; true to abort the upgrade.
bool upConfirmAbort(QWidget *parent);

// The all-files bar during downloads: this file's share of the whole plus the share
// of the files before it, each file counting equally.
int upTotalPercentsDone(int percentsDone, int currentIndex, int fileCount);
