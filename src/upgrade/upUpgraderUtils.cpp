#include "upUpgraderUtils.h"

#include "appinfo.h"
#include "installlayout.h"
#include "messageboxservice.h"
#include "upMessages.h"
#include "upRelease.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

const QString upTemporarySuffix = QStringLiteral(".uTMP");

namespace {
QString applicationPathOverride;
upProcessStarter processStarter;
std::function<bool()> onlineTest;
}

QString upFileNamePart(const QString &url)
{
    return Release::fileNamePart(url);
}

QString upTemporaryFileName(const QString &url, const QString &executableFolder)
{
    const QString name = upFileNamePart(url);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return QDir(executableFolder).filePath(name + upTemporarySuffix);
}

QString upApplicationFilePath()
{
    return applicationPathOverride.isEmpty() ? QCoreApplication::applicationFilePath() : applicationPathOverride;
}

void upSetApplicationFilePath(const QString &path)
{
    applicationPathOverride = path;
}

bool upUpgradesByPackageManager()
{
    return InstallLayout::isInstalled(upApplicationFilePath());
}

namespace {

const QString kReplacerName = QStringLiteral("Replacer");

bool ownPrivateFolder(const QByteArray &path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
           && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// The file at `path` is a regular file of this user, not a link, holding exactly `bytes`.
bool holdsExactly(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool same = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
                && info.st_size == bytes.size();
    QByteArray content;
    if (same) {
        content.resize(bytes.size());
        qsizetype done = 0;
        while (done < content.size()) {
            const ssize_t got = ::read(fd, content.data() + done, size_t(content.size() - done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += got;
        }
        same = done == bytes.size() && content == bytes;
    }
    ::close(fd);
    return same;
}

} // namespace

const QString upReplacerFolderPrefix = QStringLiteral("quillmora-replacer-");

QString upPrivateRuntimeFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !ownPrivateFolder(QFile::encodeName(folder)))
        return {};
    return folder;
}

QString upWriteReplacer(const QByteArray &program)
{
    const QString runtime = upPrivateRuntimeFolder();
    if (runtime.isEmpty() || program.isEmpty())
        return {};
    QByteArray folder = QFile::encodeName(QDir(runtime).filePath(upReplacerFolderPrefix + QStringLiteral("XXXXXX")));
    if (!::mkdtemp(folder.data()))
        return {};
    const QByteArray path = folder + '/' + QFile::encodeName(kReplacerName);
    bool written = false;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    if (fd >= 0) {
        written = writeAll(fd, program);
        written = ::close(fd) == 0 && written;
    }
    if (written && holdsExactly(path, program))
        return QFile::decodeName(path);
    ::unlink(path.constData());
    ::rmdir(folder.constData());
    return {};
}

void upRemoveReplacerLeftovers()
{
    const QString runtime = upPrivateRuntimeFolder();
    if (runtime.isEmpty())
        return;
    const QDir dir(runtime);
    const QStringList found = dir.entryList({upReplacerFolderPrefix + QLatin1Char('*')},
                                            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : found) {
        const QByteArray folder = QFile::encodeName(dir.filePath(name));
        if (!name.startsWith(upReplacerFolderPrefix) || !ownPrivateFolder(folder))
            continue;
        const QStringList content = QDir(QFile::decodeName(folder))
                                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (!content.isEmpty() && content != QStringList{kReplacerName})
            continue;
        if (!content.isEmpty()) {
            const QByteArray replacer = folder + '/' + QFile::encodeName(kReplacerName);
            struct stat info {};
            if (::lstat(replacer.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
                continue;
            ::unlink(replacer.constData());
        }
        ::rmdir(folder.constData());
    }
}

bool upStartProcess(const QString &program, const QStringList &arguments)
{
    if (processStarter)
        return processStarter(program, arguments);
    return QProcess::startDetached(program, arguments);
}

void upSetProcessStarter(upProcessStarter starter)
{
    processStarter = std::move(starter);
}

bool upHasNetworkAddress(const QStringList &addresses)
{
    for (const QString &address : addresses) {
        const QString text = address.toLower();
        if (text.isEmpty() || text.startsWith(QLatin1String("127.")) || text == QLatin1String("::1")
            || text.startsWith(QLatin1String("fe80:")) || text == QLatin1String("0.0.0.0") || text == QLatin1String("::"))
            continue;
        return true;
    }
    return false;
}

bool upIsOnline()
{
    if (onlineTest)
        return onlineTest();
    QStringList addresses;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr)
            continue;
        char text[INET6_ADDRSTRLEN] = {};
        const int family = entry->ifa_addr->sa_family;
        const void *raw = nullptr;
        if (family == AF_INET)
            raw = &reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr;
        else if (family == AF_INET6)
            raw = &reinterpret_cast<const sockaddr_in6 *>(entry->ifa_addr)->sin6_addr;
        if (raw && inet_ntop(family, raw, text, sizeof text))
            addresses << QString::fromLatin1(text);
    }
    freeifaddrs(list);
    return upHasNetworkAddress(addresses);
}

void upSetOnlineTest(std::function<bool()> test)
{
    onlineTest = std::move(test);
}

void upErrorBox(const QString &text)
{
    namespace M = UpgradeMessages;
    MessageBoxes::ask(QApplication::activeWindow(),
                      {M::message(M::Caption), M::displayText(text), QMessageBox::Critical, QMessageBox::Ok,
                       QMessageBox::Ok});
}

bool upAskSkipLostFile(const QString &url, int statusCode)
{
    namespace M = UpgradeMessages;
    const QString caption = M::message(M::Error) + QStringLiteral(" #") + QString::number(statusCode);
    const QString text = M::displayText(M::format(M::message(M::LostFile), {upFileNamePart(url)}));
    return MessageBoxes::ask(QApplication::activeWindow(),
                             {caption, text, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes})
           == QMessageBox::Yes;
}

bool upConfirmAbort(QWidget *parent)
{
    namespace M = UpgradeMessages;
    return MessageBoxes::ask(parent, {applicationTitle(), M::displayText(M::message(M::AbortConfirmation)),
                                      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes})
           == QMessageBox::Yes;
}

int upTotalPercentsDone(int percentsDone, int currentIndex, int fileCount)
{
    if (fileCount <= 0)
        return percentsDone;
    // Halves go to the even neighbour, as the statistics of the transfer do.
    const int before = int(std::nearbyint(currentIndex * 100.0 / fileCount));
    return (percentsDone / fileCount + before) & 0xFF;
}
