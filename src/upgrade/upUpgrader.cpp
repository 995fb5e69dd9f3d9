#include "upUpgrader.h"

#include "clock.h"
#include "messageboxservice.h"
#include "upMessages.h"
#include "upUpgradeInfo.h"
#include "upUpgraderPassword.h"
#include "upUpgraderQuestion.h"
#include "upUpgraderUtils.h"
#include "upUtils.h"
#include "urlopener.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace M = UpgradeMessages;
using namespace Upgrade;

const TupUpgraderMessages TupUpgrader::DefaultShowMessages = mAskUpgrade | mConnLost | mLostFile | mPasswordRequest;

namespace {
constexpr int kAutoCheckInterval = 10000;
const QString kEmbeddedReplacer = QStringLiteral(":/upgrade/Replacer");

QString &defaultKey()
{
    static QString key;
    return key;
}
} // namespace

void TupUpgrader::setDefaultReleaseKey(const QString &base64)
{
    defaultKey() = base64.trimmed();
}

QString TupUpgrader::defaultReleaseKey()
{
    return defaultKey();
}

bool TupUpgrader::takesUnsignedInformation()
{
#ifdef QUILLMORA_ALLOW_UNSIGNED_UPGRADES
    return true;
#else
    return false;
#endif
}

TupUpgrader::TupUpgrader(QObject *owner)
    : TupCustomHTTP(owner),
      VersionDate(UpgradeVersion::formatDate(Clock::today())),
      ReleasePublicKey(defaultReleaseKey()),
      m_autoCheckTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("upUpgrader1"));
    HideOutputFile = true;
    m_autoCheckTimer->setObjectName(QStringLiteral("AutoCheckTimer"));
    connect(m_autoCheckTimer, &QTimer::timeout, this, [this] { autoCheckTimerFired(); });
    attachHandlers();
    // The replacer of the previous upgrade has done its work.
    upRemoveReplacerLeftovers();
}

TupUpgrader::~TupUpgrader()
{
    prepareDestruction();
    setAutoCheck(false);
    if (upUpgraderWizardForm)
        upUpgraderWizardForm->disconnect(this);
}

void TupUpgrader::setAutoCheck(bool value)
{
    m_autoCheckEnabled = value;
    arm();
}

void TupUpgrader::setRestartParams(const QString &value)
{
    m_restartParams = value.isEmpty() ? QStringLiteral(" ") : value;
}

void TupUpgrader::arm()
{
    m_autoCheckTimer->stop();
    if (m_autoCheckEnabled && !m_automaticCheckDone)
        m_autoCheckTimer->start(kAutoCheckInterval);
}

void TupUpgrader::autoCheckTimerFired()
{
    try {
        if (!upIsOnline() || !m_autoCheckEnabled)
            return;
        m_automaticCheckDone = true;
        arm();
        CheckUpdate();
        m_automaticCheck = true;
    } catch (const std::exception &error) {
        MessageBoxes::reportError(QApplication::activeWindow(), error);
    }
}

void TupUpgrader::Loaded()
{
    const QStringList arguments = QCoreApplication::arguments();
    if (OnAfterRestart && arguments.size() > 1 && arguments.at(1) == m_restartParams)
        OnAfterRestart(this);
}

void TupUpgrader::attachHandlers()
{
    OnHeaderInfo = [this](QObject *, const QString &, const QString &, const QString &, const QString &,
                          const QString &, qint64 contentLength, const QDateTime &, const QDateTime &lastModified,
                          const QDateTime &, bool &continueTransfer) {
        if (!m_checkPhase)
            headerInfo(contentLength, lastModified, continueTransfer);
    };
    OnTransferProgress = [this](QObject *, const QString &, qint64 contentLength, qint64 bytesRead,
                                qint64 elapsedTime, qint64 estimatedTimeLeft, int percentsDone, float transferRate,
                                QIODevice *) {
        if (!m_checkPhase)
            transferProgress(contentLength, bytesRead, elapsedTime, estimatedTimeLeft, percentsDone, transferRate);
    };
    // Outcomes are handled once the transfer's completion has run to its end, so a
    // question on screen or the next transfer never overlaps the finished one.
    OnDone = [this](QObject *, const QString &, qint64, QIODevice *stream) {
        m_outcomeSeen = true;
        if (m_checkPhase) {
            m_inProgress = true;
            const QByteArray body = stream ? stream->readAll() : QByteArray();
            later([this, body] { checkResult(body); });
        } else {
            later([this] { fileDone(); });
        }
    };
    OnNotContinued = [this](QObject *) {
        m_outcomeSeen = true;
        if (!m_checkPhase)
            later([this] { NextFile(); });
    };
    OnHTTPError = [this](QObject *, int statusCode, QIODevice *) {
        m_outcomeSeen = true;
        if (m_checkPhase) {
            later([this] {
                if (OnNoInfoFile)
                    OnNoInfoFile(this);
                if (ShowMessages.testFlag(mNoInfoFile))
                    upErrorBox(M::message(M::NoInfoFile));
            });
        } else {
            later([this, statusCode] { fileMissing(statusCode); });
        }
    };
    OnNoResponse = [this](QObject *) {
        m_outcomeSeen = true;
        later([this] { noResponse(); });
    };
    OnConnectionLost = [this](QObject *, const QString &, qint64, qint64, QIODevice *) {
        m_outcomeSeen = true;
        later([this] { connectionLost(); });
    };
    OnPasswordRequired = [this](QObject *, const QString &realm, bool &tryAgain) { passwordRequired(realm, tryAgain); };
    // A download whose temporary file could not be created or written ends with this
    // alone; the upgrade cannot be completed then.
    OnTransferError = [this](QObject *) {
        if (m_checkPhase)
            return;
        m_outcomeSeen = false;
        const bool fileFailed = OutputFileFailed;
        later([this, fileFailed] {
            if (m_outcomeSeen)
                return;
            if (fileFailed)
                failUpgrade(M::format(M::extraMessage(M::WriteFailed), {QDir::toNativeSeparators(m_currentTempName)}));
            else
                AbortUpgrade();
        });
    };
}

void TupUpgrader::later(std::function<void()> step)
{
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, step = std::move(step)] {
            if (generation == m_generation)
                step();
        },
        Qt::QueuedConnection);
}

void TupUpgrader::startTransferOf(const QString &url, const QString &outputFile)
{
    ++m_generation;
    m_outcomeSeen = false;
    URL = url;
    OutputFileName = outputFile;
    StartTransfer();
}

void TupUpgrader::CheckUpdate()
{
    if (upUpgradesByPackageManager())
        return;
    m_aborted = false;
    m_automaticCheck = false;
    if (Busy())
        return;
    if (!upgradesEnabled()) {
        // Whoever answers for the address (or a proxy on the way) could send anything:
        // without a key to check it against, nothing is fetched.
        ++m_generation;
        later([this] { upgradesOff(); });
        return;
    }
    m_checkPhase = true;
    NoCache = true;
    startTransferOf(InfoFileURL, QString());
}

void TupUpgrader::upgradesOff()
{
    if (OnNoUpdateAvailable)
        OnNoUpdateAvailable(this);
    // Said only where "no newer version" would be said: automatic checks stay silent.
    if (!m_automaticCheck && ShowMessages.testFlag(mNoUpdateAvailable))
        upErrorBox(M::extraMessage(M::UpgradesOff));
}

void TupUpgrader::checkResult(const QByteArray &body)
{
    UpgradeInfoFile info;
    bool newer = false;
    bool refused = false;
    m_signedDownloads.clear();
    if (verifying()) {
        const Release::Verification verification
            = Release::verify(body, Release::decodePublicKey(ReleasePublicKey.toLatin1()));
        if (verification.valid) {
            info = verification.info;
            m_signedDownloads = verification.downloads;
            // Never back to a lower release, whatever the dates say.
            const QString running = VersionNumber.trimmed().isEmpty() ? QCoreApplication::applicationVersion()
                                                                      : VersionNumber;
            newer = UpgradeVersion::compareNumbers(info.version, running) >= 0
                    && UpgradeVersion::isNewer(VersionControl, info, VersionDate, VersionNumber, Clock::today());
        } else {
            refused = true;
            qWarning("upgrade: information file %s refused: %s", qPrintable(URL), qPrintable(verification.problem));
        }
    } else if (takesUnsignedInformation()) {
        info = UpgradeInfoFile::parse(body);
        newer = UpgradeVersion::isNewer(VersionControl, info, VersionDate, VersionNumber, Clock::today());
    }
    m_fileList = info.files;
    if (!newer || m_fileList.isEmpty()) {
        m_inProgress = false;
        if (OnNoUpdateAvailable)
            OnNoUpdateAvailable(this);
        if (!m_automaticCheck && ShowMessages.testFlag(mNoUpdateAvailable))
            upErrorBox(refused ? M::extraMessage(M::SignatureInvalid) : M::message(M::NoUpdateAvailable));
        return;
    }

    bool canUpgrade = true;
    m_method = info.method;
    if (OnBeginUpgrade)
        OnBeginUpgrade(this, info.message, m_method, m_fileList, canUpgrade);
    QPointer<TupUpgrader> self(this);
    const bool accepted = canUpgrade && (!ShowMessages.testFlag(mAskUpgrade) || upAskUpgrade(info.message));
    if (!self)
        return;
    if (!accepted) {
        m_inProgress = false;
        if (OnLaterUpgrade)
            OnLaterUpgrade(this);
        return;
    }
    if (m_method == umRedirectToURL)
        redirect();
    else
        startDownloads();
}

void TupUpgrader::redirect()
{
    m_inProgress = false;
    QString address = m_fileList.value(0);
    if (!address.contains(QStringLiteral("://")))
        address.prepend(QStringLiteral("http://"));
    UrlOpener::open(QUrl(address));
}

void TupUpgrader::startDownloads()
{
    m_inProgress = true;
    m_checkPhase = false;
    NoCache = false;
    m_currentIndex = 0;
    removeStaleTemporaryFiles();
    if (Wizard.Enabled) {
        TupUpgraderWizardForm *wizard = upShowWizard(Wizard);
        wizard->disconnect(this);
        connect(wizard, &TupUpgraderWizardForm::upgradeAborted, this, [this] { AbortUpgrade(); });
    }
    nextFileStep();
}

void TupUpgrader::removeStaleTemporaryFiles()
{
    // The replacer installs every temporary file of the folder, so files left by an
    // earlier, aborted upgrade (complete or not) must not stay.
    const QDir folder = QFileInfo(upApplicationFilePath()).absoluteDir();
    const QStringList stale = folder.entryList({QStringLiteral("*") + upTemporarySuffix},
                                               QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : stale) {
        if (name.endsWith(upTemporarySuffix))
            QFile::remove(folder.filePath(name));
    }
}

void TupUpgrader::failUpgrade(const QString &text)
{
    // The box comes first: until it is closed the upgrade is still in progress, so no
    // new check starts underneath it.
    upErrorBox(text);
    discardDownloads();
    AbortUpgrade();
}

void TupUpgrader::discardDownloads()
{
    removeStaleTemporaryFiles();
}

void TupUpgrader::NextFile()
{
    ++m_currentIndex;
    nextFileStep();
}

void TupUpgrader::nextFileStep()
{
    if (m_currentIndex >= m_fileList.size()) {
        finish();
        return;
    }
    const QString url = m_fileList.at(m_currentIndex);
    if (upUpgraderWizardForm) {
        upUpgraderWizardForm->FileURL->setText(url);
        upUpgraderWizardForm->AllDownloading->setText(
            M::format(M::message(M::FileCounter), {m_currentIndex + 1, int(m_fileList.size())}));
        upUpgraderWizardForm->AllDownloading->adjustSize();
    }
    m_currentTempName = upTemporaryFileName(url, QFileInfo(upApplicationFilePath()).absolutePath());
    if (m_currentTempName.isEmpty()) {
        // An address without a usable file name cannot be installed beside the
        // executable; a partial release is not installed either.
        AbortUpgrade();
        return;
    }
    m_fileTime = QDateTime();
    m_downloadTooLong = false;
    startTransferOf(url, m_currentTempName);
}

void TupUpgrader::headerInfo(qint64 contentLength, const QDateTime &lastModified, bool &continueTransfer)
{
    m_fileTime = lastModified;
    if (upUpgraderWizardForm) {
        upUpgraderWizardForm->FileSizeLab->setText(M::format(M::message(M::FileSize), {contentLength / 1024.0}));
        upUpgraderWizardForm->FileSizeLab->adjustSize();
    }
    // Only a file that is there can be compared; the length of an error page says
    // nothing about the file.
    if (MiscFilesUpgrade == mfuOnlyIfSizeDifferent && StatusCode == 200 && contentLength != 0
        && m_fileList.size() >= 2) {
        const QString local = m_currentTempName.chopped(upTemporarySuffix.size());
        const QFileInfo localFile(local);
        const QString executableName = QFileInfo(upApplicationFilePath()).fileName();
        if (localFile.fileName().compare(executableName, Qt::CaseInsensitive) != 0 && localFile.exists())
            continueTransfer = contentLength != localFile.size();
    }
    if (OnFileStart)
        OnFileStart(this, URL, contentLength, m_fileTime, continueTransfer);
}

void TupUpgrader::transferProgress(qint64 contentLength, qint64 bytesRead, qint64 elapsedTime,
                                   qint64 estimatedTimeLeft, int percentsDone, float transferRate)
{
    if (verifying() && StatusCode == 200 && !m_downloadTooLong && bytesRead > m_signedDownloads.value(URL).size) {
        // More than was signed can never be the signed file; a server that keeps on
        // sending does not get to fill the disk. (An error page is handled as such.)
        m_downloadTooLong = true;
        const QString name = upFileNamePart(URL);
        later([this, name] { failUpgrade(M::format(M::extraMessage(M::FileNotVerified), {name})); });
        return;
    }
    const int total = upTotalPercentsDone(percentsDone, m_currentIndex, int(m_fileList.size()));
    if (OnProgress)
        OnProgress(this, URL, contentLength, bytesRead, elapsedTime, estimatedTimeLeft, percentsDone, total,
                   transferRate);
    if (TupUpgraderWizardForm *wizard = upUpgraderWizardForm) {
        wizard->ProgressCurrentFile->setValue(percentsDone);
        wizard->ProgressAllFiles->setValue(total);
        wizard->TransferRateLab->setText(M::format(M::message(M::TransferRate), {transferRate}));
        wizard->TransferRateLab->adjustSize();
        wizard->EstimatedTimeLeftLab->setText(M::format(
            M::message(M::TimeLeft),
            {estimatedTimeLeft / 3600, (estimatedTimeLeft / 60) % 60, estimatedTimeLeft % 60}));
        wizard->EstimatedTimeLeftLab->adjustSize();
    }
}

bool TupUpgrader::downloadMatchesSignature() const
{
    const auto expected = m_signedDownloads.constFind(URL);
    if (expected == m_signedDownloads.cend())
        return false;
    qint64 size = -1;
    const QByteArray sha256 = Release::sha256HexOfFile(m_currentTempName, &size);
    return !sha256.isEmpty() && size == expected->size && sha256 == expected->sha256;
}

void TupUpgrader::fileDone()
{
    if (verifying() && !downloadMatchesSignature()) {
        // Cut short, announced as empty, changed on the way or on the server: nothing
        // of this upgrade is installed.
        failUpgrade(M::format(M::extraMessage(M::FileNotVerified), {upFileNamePart(URL)}));
        return;
    }
    if (m_fileTime.isValid()) {
        QFile file(m_currentTempName);
        if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
            file.setFileTime(m_fileTime, QFileDevice::FileModificationTime);
            file.setFileTime(m_fileTime, QFileDevice::FileBirthTime); // refused where unsupported
        }
    }
    if (OnFileDone)
        OnFileDone(this, m_currentTempName);
    NextFile();
}

void TupUpgrader::fileMissing(int statusCode)
{
    bool continueUpgrade = false;
    if (OnLostFile)
        OnLostFile(this, URL, statusCode, continueUpgrade);
    if (verifying()) {
        // A signed release is installed whole or not at all: no file is skipped,
        // whatever the owner's handler said.
        failUpgrade(M::format(M::extraMessage(M::SignedFileMissing), {upFileNamePart(URL)}));
        return;
    }
    if (ShowMessages.testFlag(mLostFile))
        continueUpgrade = upAskSkipLostFile(URL, statusCode);
    if (continueUpgrade)
        NextFile();
    else
        AbortUpgrade();
}

void TupUpgrader::noResponse()
{
    TupURLParts parts;
    upCrackURL(URL, parts);
    if (OnHostUnreachable)
        OnHostUnreachable(this, URL, parts.HostName);
    if (m_automaticCheck) {
        m_automaticCheckDone = false;
        arm();
    } else if (ShowMessages.testFlag(mHostUnreachable)) {
        upErrorBox(M::format(M::message(M::HostUnreachable), {QStringLiteral("http://") + parts.HostName}));
    }
    CancelUpgrade();
}

void TupUpgrader::connectionLost()
{
    if (OnConnLost)
        OnConnLost(this);
    if (ShowMessages.testFlag(mConnLost))
        upErrorBox(M::message(M::ConnectionLost));
    CancelUpgrade();
}

void TupUpgrader::passwordRequired(const QString &realm, bool &tryAgain)
{
    if (OnPasswordRequest)
        OnPasswordRequest(this, realm, tryAgain);
    if (tryAgain || !ShowMessages.testFlag(mPasswordRequest))
        return;
    if (upAskPassword(URL, HTTPUsername, HTTPPassword))
        tryAgain = true;
    else
        AbortUpgrade();
}

void TupUpgrader::AbortUpgrade()
{
    m_aborted = true;
    CancelUpgrade();
    if (OnAborted)
        OnAborted(this);
}

void TupUpgrader::CancelUpgrade()
{
    ++m_generation; // outcomes still queued belong to the cancelled transfer
    m_inProgress = false;
    AbortTransfer();
    if (TupUpgraderQuestionForm *question = upUpgraderQuestionForm) {
        upUpgraderQuestionForm = nullptr;
        if (question->isVisible())
            question->reject(); // ends its modal loop; it frees itself
        else
            question->deleteLater();
    }
    if (TupUpgraderWizardForm *wizard = upUpgraderWizardForm) {
        upUpgraderWizardForm = nullptr;
        wizard->disconnect(this);
        wizard->hide();
        wizard->deleteLater();
    }
}

void TupUpgrader::finish()
{
    QPointer<TupUpgrader> self(this);
    if (QPointer<TupUpgraderWizardForm> wizard = upUpgraderWizardForm.data()) {
        wizard->showCompletion();
        wizard->raise();
        wizard->activateWindow();
        QEventLoop loop;
        connect(wizard, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
        // Quitting the application ends the wait too; the upgrade does not go on then.
        if (!self || m_aborted || wizard)
            return;
    }
    m_inProgress = false;
    if (OnEndUpgrade)
        OnEndUpgrade(this);
    if (!self)
        return;
    RunReplacer(QLatin1Char('+') + m_restartParams + QString::number(int(m_method)));
}

void TupUpgrader::RunReplacer(const QString &parameters)
{
    if (upUpgradesByPackageManager())
        return;
    QFile embedded(kEmbeddedReplacer);
    const QByteArray program = embedded.open(QIODevice::ReadOnly) ? embedded.readAll() : QByteArray();
    // Only the program just written into a folder of our own, and read back, is started.
    const QString path = upWriteReplacer(program);
    const bool started = !path.isEmpty() && upStartProcess(path, {upApplicationFilePath(), parameters});
    if (!started) {
        if (!path.isEmpty()) {
            QFile::remove(path);
            QDir().rmdir(QFileInfo(path).absolutePath());
        }
        // Without the replacer nothing is installed; the application keeps running.
        failUpgrade(M::extraMessage(M::ReplacerFailed));
        return;
    }

    if (OnDoOwnCloseAppMethod) {
        OnDoOwnCloseAppMethod(this);
        return;
    }
    closeApplication();
}

void TupUpgrader::closeApplication()
{
    if (auto *owner = qobject_cast<QWidget *>(parent()))
        owner->window()->close();
    QCoreApplication::quit();
}
