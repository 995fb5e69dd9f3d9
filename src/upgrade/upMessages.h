#pragma once

#include "upTypes.h"

#include <QString>
#include <QVariantList>

// The texts of the upgrade windows and boxes: 31 messages in each of 25 languages,
// kept under string ids 41000 + 50 * (language - 1) + N, plus three ids shared by all
// languages. One language is current for the whole process.
namespace UpgradeMessages {

constexpr int kLanguageCount = 25;
constexpr int kMessageCount = 31;
constexpr int kFirstBase = 41000;
constexpr int kBlockSize = 50;
constexpr int kAppTitleId = 40997;      // stands in for a title holding the word below
constexpr int kGenericTitleWordId = 40998;
constexpr int kUpgraderNameId = 40999;

// Message numbers, as the windows use them.
enum Message {
    Caption = 0,
    WizardDownloading = 1,
    WizardCompleted = 2,
    CurrentFileGroup = 3,
    AllFilesGroup = 4,
    DownloadingFrom = 5,
    FileSize = 6,
    TransferRate = 7,
    TimeLeft = 8,
    FileCounter = 9,
    CompletionNote = 10,
    PasswordCaption = 11,
    UserNameLabel = 12,
    PasswordLabel = 13,
    YesButton = 14,
    NoButton = 15,
    OkButton = 16,
    CancelButton = 17,
    NextButton = 18,
    LaterButton = 19,
    Warning = 20,
    Error = 21,
    Preparing = 22,
    AskUpgrade = 23,
    NoUpdateAvailable = 24,
    NoInfoFile = 25,
    HostUnreachable = 26,
    AbortConfirmation = 27,
    LostFile = 28,
    PasswordText = 29,
    ConnectionLost = 30,
};

// Texts for failures the 31 messages do not cover, in every language as well.
enum ExtraMessage {
    WriteFailed,      // %s: the file that could not be written
    ReplacerFailed,   // the installer of the upgrade could not be written or started
    SignatureInvalid, // the information file is not signed with the release key
    FileNotVerified,  // %s: a download that is not the file that was signed
    UpgradesOff,      // the build has no release key, so it has no upgrades
    SignedFileMissing, // %s: a file of a signed release that the server does not have
};
constexpr int kExtraMessageCount = 6;
QString extraMessage(ExtraMessage message);

// The string resource with this id; empty when there is none.
QString resource(int id);

// Sets the current language; wlAuto picks one from the system's language.
void setLanguage(Upgrade::TupWizardLanguage language);
// The id of message 0 of the current language.
int messageBase();
// Message n of the current language.
QString message(int n);
// The block's first id for a language (wlEnglish ... wlIcelandic).
int baseOf(Upgrade::TupWizardLanguage language);

// The language id the way the system reports it: primary language in the low ten
// bits, sub-language above them. Built from a locale name such as "zh_CN.UTF-8".
int languageIdForLocale(const QString &localeName);
// The locale of the environment (LC_ALL, LC_MESSAGES, LANG, first one set).
QString environmentLocale();
// The language wlAuto stands for, given a language id.
Upgrade::TupWizardLanguage languageForId(int languageId);

// Fills the printf-style placeholders %s, %d, %.Nd and %.Nf in order; numbers use the
// current locale's decimal separator.
QString format(const QString &pattern, const QVariantList &arguments);
// The placeholders of a pattern, in order ("%s", "%.1f", ...).
QStringList placeholders(const QString &pattern);

// A text as the windows show it: a lone carriage return breaks the line, as a line
// feed does.
QString displayText(const QString &text);

// The application's title as the upgrade question names it: a title holding the
// generic word of string 40998 is replaced by string 40997.
QString questionTitle(const QString &applicationTitle);

} // namespace UpgradeMessages
