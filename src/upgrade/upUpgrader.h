#pragma once

#include "upHTTP.h"
#include "upRelease.h"
#include "upTypes.h"
#include "upUpgraderWizard.h"

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <functional>

class QTimer;

// A release as the component stores it; mirrors the keys of the information file.
struct TupUpgraderInfo
{
    QStringList Files;
    Upgrade::TupUpgradeMethod UpgradeMethod = Upgrade::umSelfUpgrade;
    QString UpgradeMsg;
};

// Finds out whether a newer release has been published and, when one has, offers it,
// downloads its files beside the executable and hands them to the replacer program,
// which installs them once the application has ended and starts it again.
//
// A check fetches the information file at InfoFileURL and compares the release it
// announces with VersionDate or VersionNumber. Outcomes reach the owner as the events
// below (std::function members, first argument the component) and, for those in
// ShowMessages, as the built-in questions and boxes.
class TupUpgrader : public TupCustomHTTP
{
    Q_OBJECT
    Q_PROPERTY(bool AutoCheck READ AutoCheck WRITE setAutoCheck)
    Q_PROPERTY(QString InfoFileURL MEMBER InfoFileURL)
    Q_PROPERTY(QString RestartParams READ RestartParams WRITE setRestartParams)
    Q_PROPERTY(Upgrade::TupMiscFilesUpgrade MiscFilesUpgrade MEMBER MiscFilesUpgrade)
    Q_PROPERTY(Upgrade::TupVersionControl VersionControl MEMBER VersionControl)
    Q_PROPERTY(QString VersionDate MEMBER VersionDate)
    Q_PROPERTY(bool VersionDateAutoSet MEMBER VersionDateAutoSet)
    Q_PROPERTY(QString VersionNumber MEMBER VersionNumber)
    Q_PROPERTY(Upgrade::TupUpgraderMessages ShowMessages MEMBER ShowMessages)

public:
    using BeginUpgradeEvent = std::function<void(QObject *Sender, const QString &UpgradeMsg,
                                                 Upgrade::TupUpgradeMethod UpgradeMethod, const QStringList &Files,
                                                 bool &CanUpgrade)>;
    using HostUnreachableEvent = std::function<void(QObject *Sender, const QString &URL, const QString &Hostname)>;
    using PasswordRequestEvent = std::function<void(QObject *Sender, const QString &Realm, bool &TryAgain)>;
    using FileStartEvent = std::function<void(QObject *Sender, const QString &FileURL, qint64 FileSize,
                                              const QDateTime &FileTime, bool &CanUpgrade)>;
    using ProgressEvent = std::function<void(QObject *Sender, const QString &FileURL, qint64 FileSize,
                                             qint64 BytesRead, qint64 ElapsedTime, qint64 EstimatedTimeLeft,
                                             int PercentsDone, int TotalPercentsDone, float TransferRate)>;
    using FileDoneEvent = std::function<void(QObject *Sender, const QString &FileName)>;
    using LostFileEvent =
        std::function<void(QObject *Sender, const QString &FileURL, int ErrorCode, bool &ContinueUpgrade)>;

    static const Upgrade::TupUpgraderMessages DefaultShowMessages;

    // Deletes the replacer an earlier upgrade of this user left behind.
    explicit TupUpgrader(QObject *owner = nullptr);
    ~TupUpgrader() override;

    // Published properties.
    bool AutoCheck() const { return m_autoCheckEnabled; }
    void setAutoCheck(bool value);
    TupUpgraderInfo InfoFile;
    QString InfoFileURL = QStringLiteral("http://");
    QString RestartParams() const { return m_restartParams; }
    void setRestartParams(const QString &value); // an empty value becomes a blank
    Upgrade::TupMiscFilesUpgrade MiscFilesUpgrade = Upgrade::mfuAlwaysDownload;
    Upgrade::TupVersionControl VersionControl = Upgrade::byDate;
    QString VersionDate;            // month/day/year; today's date at creation
    bool VersionDateAutoSet = true; // kept with the settings; the stored date is used as it is
    QString VersionNumber;
    Upgrade::TupUpgraderMessages ShowMessages = DefaultShowMessages;
    TupUpgraderWizard Wizard;

    // The publisher's release key (the base64 text of release.pub). With a key, only an
    // information file signed with it counts, only downloads of the signed size and
    // SHA-256 are installed, all of a release's files or none, and never a release
    // numbered lower than the running one (VersionNumber, or the application's version
    // when that is empty). Without one the component has no upgrades: a check ends at
    // once, without asking anyone on the network. New components start with the default.
    QString ReleasePublicKey;
    static void setDefaultReleaseKey(const QString &base64);
    static QString defaultReleaseKey();
    // Whether this build takes unsigned information files when no key is set; only a
    // build configured for tests of that older format does.
    static bool takesUnsignedInformation();
    // Whether a check can lead to an upgrade at all.
    bool upgradesEnabled() const { return verifying() || takesUnsignedInformation(); }

    BeginUpgradeEvent OnBeginUpgrade;
    NotifyEvent OnLaterUpgrade;
    NotifyEvent OnNoUpdateAvailable;
    NotifyEvent OnNoInfoFile;
    HostUnreachableEvent OnHostUnreachable;
    NotifyEvent OnConnLost;
    PasswordRequestEvent OnPasswordRequest;
    NotifyEvent OnAborted;
    FileStartEvent OnFileStart;
    ProgressEvent OnProgress;
    FileDoneEvent OnFileDone;
    LostFileEvent OnLostFile;
    NotifyEvent OnEndUpgrade;
    NotifyEvent OnDoOwnCloseAppMethod;
    NotifyEvent OnAfterRestart;

    // Call once the settings and events are in place: raises OnAfterRestart when the
    // application was started by the replacer (its first parameter is RestartParams).
    void Loaded();

    // Fetches the information file; does nothing while a transfer runs.
    void CheckUpdate();
    // Goes on with the next listed file.
    void NextFile();
    // Stops the upgrade and raises OnAborted.
    void AbortUpgrade();
    // Stops the transfer and closes the question and the wizard.
    void CancelUpgrade();
    // Writes the embedded replacer into a fresh private folder, starts it for this
    // executable with `parameters`, and closes the application. When it cannot be
    // written or started, the upgrade stops with an error box instead.
    void RunReplacer(const QString &parameters);

    // Download state.
    const QStringList &FileList() const { return m_fileList; }
    int CurrentIndex() const { return m_currentIndex; }
    QString CurrentTempName() const { return m_currentTempName; }
    QDateTime FileTime() const { return m_fileTime; }

    // True from the moment an information file has arrived until its outcome has been
    // handled: while the question is open, files are downloading or the wizard waits
    // at its completion page. The application starts no new check meanwhile.
    bool upgradeInProgress() const { return m_inProgress; }

    // The automatic check's timer: fires every 10 seconds until a check has started.
    void autoCheckTimerFired();
    QTimer *autoCheckTimer() const { return m_autoCheckTimer; }

private:
    void attachHandlers();
    void arm();
    void later(std::function<void()> step);
    void startTransferOf(const QString &url, const QString &outputFile);

    void checkResult(const QByteArray &body);
    void upgradesOff();
    void startDownloads();
    void nextFileStep();
    void finish();
    void redirect();
    void closeApplication();
    void removeStaleTemporaryFiles();
    // Stops the upgrade with an error box; nothing of it is installed and none of its
    // downloads stays behind.
    void failUpgrade(const QString &text);
    void discardDownloads();

    void headerInfo(qint64 contentLength, const QDateTime &lastModified, bool &continueTransfer);
    void transferProgress(qint64 contentLength, qint64 bytesRead, qint64 elapsedTime, qint64 estimatedTimeLeft,
                          int percentsDone, float transferRate);
    void fileDone();
    void fileMissing(int statusCode);
    void noResponse();
    void connectionLost();
    void passwordRequired(const QString &realm, bool &tryAgain);

    bool verifying() const { return !ReleasePublicKey.isEmpty(); }
    // Whether the finished download is the file that was signed for its address.
    bool downloadMatchesSignature() const;

    QHash<QString, Release::Download> m_signedDownloads; // by address, when verifying
    bool m_downloadTooLong = false;
    QString m_restartParams = QStringLiteral("/afterupgrade");
    bool m_autoCheckEnabled = false;
    bool m_checkPhase = false;
    bool m_automaticCheck = false;
    bool m_automaticCheckDone = false;
    bool m_aborted = false;
    bool m_inProgress = false;
    bool m_outcomeSeen = false;
    quint64 m_generation = 0;
    Upgrade::TupUpgradeMethod m_method = Upgrade::umSelfUpgrade;
    QStringList m_fileList;
    int m_currentIndex = 0;
    QString m_currentTempName;
    QDateTime m_fileTime;
    QTimer *m_autoCheckTimer = nullptr;
};
