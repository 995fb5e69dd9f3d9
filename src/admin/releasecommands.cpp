#include "releasecommands.h"

#include "upRelease.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ReleaseCommands {

namespace {

const QString kKeygen = QStringLiteral("release-keygen");
const QString kSign = QStringLiteral("release-sign");
const QString kVerify = QStringLiteral("release-verify");

struct Failure
{
    int status;
    QString text;
};

bool readFile(const QString &path, QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    content = file.readAll();
    return true;
}

// Writes a new file that must not exist yet, with exactly `mode`.
void writeNewFile(const QString &path, const QByteArray &content, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        throw Failure{1, QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    bool ok = ::fchmod(fd, mode) == 0;
    qsizetype done = 0;
    while (ok && done < content.size()) {
        const ssize_t written = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        done += ok ? written : 0;
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(name.constData());
        throw Failure{1, QStringLiteral("cannot write %1").arg(path)};
    }
}

// Takes "--<option> VALUE" out of the arguments.
QString takeOption(QStringList &arguments, const QString &option)
{
    const qsizetype at = arguments.indexOf(option);
    if (at < 0 || at + 1 >= arguments.size())
        throw Failure{2, QStringLiteral("%1 FILE is missing").arg(option)};
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

QByteArray readKey(const QString &path, bool secret)
{
    QByteArray text;
    if (!readFile(path, text))
        throw Failure{1, QStringLiteral("cannot read %1").arg(path)};
    const QByteArray key = secret ? Release::decodeSecretKey(text) : Release::decodePublicKey(text);
    if (key.isEmpty()) {
        throw Failure{1, QStringLiteral("%1 is not a release %2 key").arg(path, secret ? QStringLiteral("secret")
                                                                                   : QStringLiteral("public"))};
    }
    return key;
}

QString methodName(Upgrade::TupUpgradeMethod method)
{
    switch (method) {
    case Upgrade::umUseExternalSetup:
        return QStringLiteral("external setup program (1)");
    case Upgrade::umRedirectToURL:
        return QStringLiteral("open the first address in the browser (2)");
    case Upgrade::umSelfUpgrade:
        break;
    }
    return QStringLiteral("replace the files (0)");
}

void printSigned(const Release::Verification &verification, const QByteArray &publicKey, QTextStream &out)
{
    const UpgradeInfoFile &info = verification.info;
    out << "signature: valid, Ed25519, release key " << publicKey.toBase64() << "\n";
    out << "release number: " << info.version << "\n";
    out << "release date: " << (info.date.isEmpty() ? QStringLiteral("(none)") : info.date) << "\n";
    out << "method: " << methodName(info.method) << "\n";
    out << "message: " << QString(info.message).replace(QLatin1Char('\n'), QLatin1String("\n         ")) << "\n";
    for (qsizetype i = 0; i < info.files.size(); ++i) {
        out << "file " << (i + 1) << ": " << info.files.at(i) << "\n";
        const auto download = verification.downloads.constFind(info.files.at(i));
        if (download != verification.downloads.cend())
            out << "        " << download->size << " bytes, SHA-256 " << download->sha256 << "\n";
    }
}

int keygen(const QStringList &arguments, QTextStream &out)
{
    if (arguments.size() != 1)
        throw Failure{2, QStringLiteral("usage: quillmora-admin release-keygen DIR")};
    const QDir dir(arguments.first());
    if (!dir.exists()) {
        if (!QDir().mkpath(dir.path()))
            throw Failure{1, QStringLiteral("cannot create the folder %1").arg(dir.path())};
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const QString secretPath = dir.filePath(QStringLiteral("release.key"));
    const QString publicPath = dir.filePath(QStringLiteral("release.pub"));
    // A release key is made once: replacing it would lock out every installed copy.
    for (const QString &path : {secretPath, publicPath}) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            throw Failure{1, QStringLiteral("%1 exists already; a release key pair is made only once").arg(path)};
    }
    const Release::KeyPair pair = Release::generateKeyPair();
    writeNewFile(secretPath, Release::encodeKey(pair.secretKey), 0600);
    writeNewFile(publicPath, Release::encodeKey(pair.publicKey), 0644);
    out << "wrote " << secretPath << " (secret: keep it safe and off the web server)\n"
        << "wrote " << publicPath << " (build the application with -DQUILLMORA_RELEASE_PUBKEY=" << publicPath
        << ")\n";
    return 0;
}

int sign(QStringList arguments, QTextStream &out)
{
    const QString keyPath = takeOption(arguments, QStringLiteral("--key"));
    if (arguments.isEmpty())
        throw Failure{2, QStringLiteral("usage: quillmora-admin release-sign --key release.key INFOFILE FILE...")};
    const QByteArray secretKey = readKey(keyPath, true);
    const QString infoPath = arguments.takeFirst();
    QByteArray infoFile;
    if (!readFile(infoPath, infoFile))
        throw Failure{1, QStringLiteral("cannot read %1").arg(infoPath)};
    const UpgradeInfoFile info = UpgradeInfoFile::parse(infoFile);
    if (info.version.trimmed().isEmpty()) {
        throw Failure{1, QStringLiteral("%1 names no release number: add a line #version=N.N.N (the application "
                                        "never installs a lower one)")
                             .arg(infoPath)};
    }
    if (info.files.isEmpty())
        throw Failure{1, QStringLiteral("%1 lists no file (#url=...)").arg(infoPath)};

    // Each listed address gets the size and SHA-256 of the local file of its name.
    QHash<QString, QString> localFiles; // file name -> path
    for (const QString &path : std::as_const(arguments)) {
        const QString name = QFileInfo(path).fileName();
        if (localFiles.contains(name))
            throw Failure{2, QStringLiteral("two files named %1").arg(name)};
        localFiles.insert(name, path);
    }
    QList<Release::Download> downloads;
    QSet<QString> used;
    const bool browserOnly = info.method == Upgrade::umRedirectToURL && localFiles.isEmpty();
    for (const QString &url : browserOnly ? QStringList() : info.files) {
        const QString name = Release::fileNamePart(url);
        const QString path = localFiles.value(name);
        if (path.isEmpty())
            throw Failure{1, QStringLiteral("%1 is listed, but no file named \"%2\" was given").arg(url, name)};
        Release::Download download;
        download.url = url;
        download.sha256 = Release::sha256HexOfFile(path, &download.size);
        if (download.sha256.isEmpty())
            throw Failure{1, QStringLiteral("cannot read %1").arg(path)};
        downloads << download;
        used.insert(name);
    }
    for (auto it = localFiles.cbegin(); it != localFiles.cend(); ++it) {
        if (!used.contains(it.key()))
            throw Failure{1, QStringLiteral("%1 is not listed in %2").arg(it.value(), infoPath)};
    }

    const QByteArray signedFile = Release::sign(infoFile, downloads, secretKey);
    const QByteArray publicKey = Release::publicKeyOf(secretKey);
    const Release::Verification check = Release::verify(signedFile, publicKey);
    if (!check.valid)
        throw Failure{1, QStringLiteral("the signed file does not verify: %1").arg(check.problem)};
    QSaveFile output(infoPath);
    if (!output.open(QIODevice::WriteOnly) || output.write(signedFile) != signedFile.size() || !output.commit())
        throw Failure{1, QStringLiteral("cannot write %1").arg(infoPath)};
    out << "signed " << infoPath << "\n";
    printSigned(check, publicKey, out);
    return 0;
}

int verify(QStringList arguments, QTextStream &out, QTextStream &err)
{
    const QString keyPath = takeOption(arguments, QStringLiteral("--pub"));
    if (arguments.isEmpty())
        throw Failure{2, QStringLiteral("usage: quillmora-admin release-verify --pub release.pub INFOFILE [FILE...]")};
    const QByteArray publicKey = readKey(keyPath, false);
    const QString infoPath = arguments.takeFirst();
    QByteArray infoFile;
    if (!readFile(infoPath, infoFile))
        throw Failure{1, QStringLiteral("cannot read %1").arg(infoPath)};
    const Release::Verification verification = Release::verify(infoFile, publicKey);
    if (!verification.valid)
        throw Failure{1, QStringLiteral("%1: NOT VALID: %2").arg(infoPath, verification.problem)};
    printSigned(verification, publicKey, out);

    // Local copies of the downloads, for instance what the web server will serve.
    int status = 0;
    for (const QString &path : std::as_const(arguments)) {
        const QString name = QFileInfo(path).fileName();
        Release::Download signedDownload;
        for (const Release::Download &download : verification.downloads) {
            if (Release::fileNamePart(download.url) == name)
                signedDownload = download;
        }
        qint64 size = -1;
        const QByteArray sha256 = Release::sha256HexOfFile(path, &size);
        if (signedDownload.url.isEmpty()) {
            err << path << ": MISMATCH: no listed file has this name\n";
            status = 1;
        } else if (sha256.isEmpty()) {
            err << path << ": cannot be read\n";
            status = 1;
        } else if (size != signedDownload.size || sha256 != signedDownload.sha256) {
            err << path << ": MISMATCH: " << size << " bytes, SHA-256 " << sha256 << "; signed for "
                << signedDownload.url << ": " << signedDownload.size << " bytes, SHA-256 " << signedDownload.sha256
                << "\n";
            status = 1;
        } else {
            out << path << ": matches " << signedDownload.url << "\n";
        }
    }
    return status;
}

} // namespace

bool handles(const QString &command)
{
    return command == kKeygen || command == kSign || command == kVerify;
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    try {
        const QString command = arguments.value(0);
        const QStringList rest = arguments.mid(1);
        if (command == kKeygen)
            return keygen(rest, out);
        if (command == kSign)
            return sign(rest, out);
        if (command == kVerify)
            return verify(rest, out, err);
        throw Failure{2, QStringLiteral("unknown command %1").arg(command)};
    } catch (const Failure &failure) {
        out.flush();
        err << "quillmora-admin: " << failure.text << "\n";
        return failure.status;
    }
}

} // namespace ReleaseCommands
