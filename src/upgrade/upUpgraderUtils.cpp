#include "upUpgraderUtils.h"

#include "appinfo.h"
#include "messageboxservice.h"
#include "upMessages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cmath>

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
    const qsizetype cut = std::max({url.lastIndexOf(QLatin1Char('/')), url.lastIndexOf(QLatin1Char('\\')),
                                    url.lastIndexOf(QLatin1Char(':'))});
    return url.mid(cut + 1);
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

QString upReplacerPath()
{
    const QString temp = QDir::tempPath();
    const QString folder = QFileInfo(temp).isDir() ? temp : QFileInfo(upApplicationFilePath()).absolutePath();
    return QDir(folder).filePath(QStringLiteral("Replacer"));
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
