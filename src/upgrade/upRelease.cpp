#include "upRelease.h"

#include <QFile>
#include <QSet>

#include <sodium.h>

namespace Release {

namespace {

const QByteArray kDownloadKey = "#download=";
const QByteArray kSignatureKey = "#signature=";
const QByteArray kSignatureScheme = "ed25519:";

void ensureSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        qFatal("libsodium could not be initialised");
}

bool startsWithKey(const QByteArray &line, const QByteArray &key)
{
    return line.size() >= key.size() && qstrnicmp(line.constData(), key.constData(), key.size()) == 0;
}

// The lines of `text`, each with its line end.
QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        lines << text.mid(start, next - start);
        start = next;
    }
    return lines;
}

QByteArray withoutLineEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Where the signature line starts: the last "#signature=" at the start of a line.
qsizetype signatureLine(const QByteArray &text)
{
    qsizetype at = text.size();
    while (at > 0) {
        at = text.lastIndexOf(kSignatureKey, at - 1);
        if (at < 0)
            return -1;
        if (at == 0 || text.at(at - 1) == '\n')
            return at;
    }
    return -1;
}

QByteArray decodeKey(const QByteArray &text, int size)
{
    const auto decoded
        = QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return {};
    return decoded.decoded;
}

bool isSha256Hex(const QByteArray &text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool parseDownload(const QByteArray &value, Download &download)
{
    const qsizetype firstBlank = value.indexOf(' ');
    const qsizetype secondBlank = firstBlank < 0 ? -1 : value.indexOf(' ', firstBlank + 1);
    if (secondBlank < 0)
        return false;
    const QByteArray size = value.left(firstBlank);
    if (size.isEmpty() || size.size() > 18)
        return false;
    for (const char c : size) {
        if (c < '0' || c > '9')
            return false;
    }
    download.size = size.toLongLong();
    download.sha256 = value.mid(firstBlank + 1, secondBlank - firstBlank - 1).toLower();
    download.url = QString::fromUtf8(value.mid(secondBlank + 1));
    return isSha256Hex(download.sha256) && !download.url.isEmpty();
}

} // namespace

KeyPair generateKeyPair()
{
    ensureSodium();
    KeyPair pair;
    pair.publicKey.resize(crypto_sign_PUBLICKEYBYTES);
    pair.secretKey.resize(crypto_sign_SECRETKEYBYTES);
    crypto_sign_keypair(reinterpret_cast<unsigned char *>(pair.publicKey.data()),
                        reinterpret_cast<unsigned char *>(pair.secretKey.data()));
    return pair;
}

QByteArray encodeKey(const QByteArray &raw)
{
    return raw.toBase64() + '\n';
}

QByteArray decodePublicKey(const QByteArray &text)
{
    return decodeKey(text, kPublicKeyBytes);
}

QByteArray decodeSecretKey(const QByteArray &text)
{
    return decodeKey(text, kSecretKeyBytes);
}

QByteArray publicKeyOf(const QByteArray &secretKey)
{
    ensureSodium();
    if (secretKey.size() != kSecretKeyBytes)
        return {};
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, '\0');
    crypto_sign_ed25519_sk_to_pk(reinterpret_cast<unsigned char *>(publicKey.data()),
                                 reinterpret_cast<const unsigned char *>(secretKey.constData()));
    return publicKey;
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    ensureSodium();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char *>(bytes.constData()),
                       static_cast<unsigned long long>(bytes.size()));
    return QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex();
}

QByteArray sha256HexOfFile(const QString &path, qint64 *size)
{
    ensureSodium();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    qint64 total = 0;
    QByteArray block(64 * 1024, '\0');
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0)
            return {};
        if (got == 0)
            break;
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char *>(block.constData()),
                                  static_cast<unsigned long long>(got));
        total += got;
    }
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    if (size)
        *size = total;
    return QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex();
}

QString fileNamePart(const QString &url)
{
    const qsizetype cut = std::max({url.lastIndexOf(QLatin1Char('/')), url.lastIndexOf(QLatin1Char('\\')),
                                    url.lastIndexOf(QLatin1Char(':'))});
    return url.mid(cut + 1);
}

Verification verify(const QByteArray &infoFile, const QByteArray &publicKey)
{
    ensureSodium();
    Verification result;
    if (publicKey.size() != kPublicKeyBytes) {
        result.problem = QStringLiteral("no valid release key to check the signature with");
        return result;
    }
    const qsizetype at = signatureLine(infoFile);
    if (at < 0) {
        result.problem = QStringLiteral("the information file is not signed");
        return result;
    }
    const QByteArray value = withoutLineEnd(infoFile.mid(at + kSignatureKey.size()));
    if (!value.startsWith(kSignatureScheme) || value.contains('\n') || value.contains('\r')) {
        result.problem = QStringLiteral("the signature line is not the last line or not an Ed25519 signature");
        return result;
    }
    const QByteArray signature = decodeKey(value.mid(kSignatureScheme.size()), kSignatureBytes);
    if (signature.isEmpty() || value.mid(kSignatureScheme.size()).trimmed() != value.mid(kSignatureScheme.size())) {
        result.problem = QStringLiteral("the signature is malformed");
        return result;
    }
    const QByteArray signedPart = infoFile.left(at);
    if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature.constData()),
                                    reinterpret_cast<const unsigned char *>(signedPart.constData()),
                                    static_cast<unsigned long long>(signedPart.size()),
                                    reinterpret_cast<const unsigned char *>(publicKey.constData()))
        != 0) {
        result.problem = QStringLiteral("the signature does not match the release key");
        return result;
    }

    // Signed by the publisher; now it must also say everything the check relies on.
    result.signedPart = signedPart;
    result.info = UpgradeInfoFile::parse(signedPart);
    if (result.info.version.trimmed().isEmpty()) {
        result.problem = QStringLiteral("the signed information file names no release number (#version=)");
        return result;
    }
    const QSet<QString> listed(result.info.files.cbegin(), result.info.files.cend());
    for (const QByteArray &line : linesOf(signedPart)) {
        if (!startsWithKey(line, kDownloadKey))
            continue;
        Download download;
        if (!parseDownload(withoutLineEnd(line).mid(kDownloadKey.size()), download)) {
            result.problem = QStringLiteral("malformed download line: %1").arg(QString::fromUtf8(withoutLineEnd(line)));
            return result;
        }
        if (!listed.contains(download.url)) {
            result.problem = QStringLiteral("%1 has a size and SHA-256 but is not a listed file").arg(download.url);
            return result;
        }
        if (result.downloads.contains(download.url)) {
            result.problem = QStringLiteral("%1 has more than one download line").arg(download.url);
            return result;
        }
        result.downloads.insert(download.url, download);
    }
    // A release that sends the shop to a web page downloads nothing.
    const bool downloads = result.info.method != Upgrade::umRedirectToURL;
    for (const QString &url : std::as_const(result.info.files)) {
        if (downloads && !result.downloads.contains(url)) {
            result.problem = QStringLiteral("%1 is listed without a size and SHA-256").arg(url);
            return result;
        }
    }
    result.valid = true;
    return result;
}

QByteArray sign(const QByteArray &infoFile, const QList<Download> &downloads, const QByteArray &secretKey)
{
    ensureSodium();
    if (secretKey.size() != kSecretKeyBytes)
        return {};
    const QByteArray lineEnd = infoFile.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QByteArray body;
    const qsizetype oldSignature = signatureLine(infoFile);
    for (const QByteArray &line : linesOf(oldSignature < 0 ? infoFile : infoFile.left(oldSignature))) {
        if (!startsWithKey(line, kDownloadKey))
            body += line;
    }
    if (!body.isEmpty() && !body.endsWith('\n'))
        body += lineEnd;
    for (const Download &download : downloads) {
        body += kDownloadKey + QByteArray::number(download.size) + ' ' + download.sha256 + ' ' + download.url.toUtf8()
                + lineEnd;
    }
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(body.constData()),
                         static_cast<unsigned long long>(body.size()),
                         reinterpret_cast<const unsigned char *>(secretKey.constData()));
    return body + kSignatureKey + kSignatureScheme + signature.toBase64() + lineEnd;
}

} // namespace Release
