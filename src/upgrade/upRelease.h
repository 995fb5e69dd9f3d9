#pragma once

#include "upUpgradeInfo.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// Signed information files: the publisher's key pair, the size and SHA-256 of every
// download, and an Ed25519 signature over the whole file (libsodium).
//
// A signed information file is an ordinary one with lines added at its end:
//
//   #download=<size in bytes> <SHA-256, 64 lower-case hex digits> <address as listed>
//   ...one per listed file...
//   #signature=ed25519:<the 64-byte signature in base64>
//
// The signature covers every byte before the "#signature=" line, which must be the
// last line. A reader that knows only the older keys ignores both new keys.
namespace Release {

constexpr int kPublicKeyBytes = 32;
constexpr int kSecretKeyBytes = 64;
constexpr int kSignatureBytes = 64;

struct KeyPair
{
    QByteArray publicKey; // raw bytes
    QByteArray secretKey;
};
KeyPair generateKeyPair();

// Key files hold the raw key in base64 on one line.
QByteArray encodeKey(const QByteArray &raw);
// The raw key of a key file's text (blanks and line ends around it are ignored);
// empty when the text is not a key of that kind.
QByteArray decodePublicKey(const QByteArray &text);
QByteArray decodeSecretKey(const QByteArray &text);
// The public half of a secret key.
QByteArray publicKeyOf(const QByteArray &secretKey);

QByteArray sha256Hex(const QByteArray &bytes);
// SHA-256 of a file read in blocks; empty when it cannot be read.
QByteArray sha256HexOfFile(const QString &path, qint64 *size = nullptr);

// The file name part of an address, under which a download is stored: the text after
// the last "/", "\" or ":".
QString fileNamePart(const QString &url);

struct Download
{
    QString url;
    qint64 size = -1;
    QByteArray sha256; // 64 lower-case hex digits
};

struct Verification
{
    bool valid = false;
    QString problem;          // why it is not valid, in English for logs and the tool
    QByteArray signedPart;    // the bytes the signature covers
    UpgradeInfoFile info;     // parsed from the signed part only
    QHash<QString, Download> downloads; // by address, one for each listed file
};

// Checks the signature with `publicKey` (raw), then that the signed part names a
// release number and lists each listed file exactly once with a size and a SHA-256
// (not needed for the method that opens an address in the browser).
Verification verify(const QByteArray &infoFile, const QByteArray &publicKey);

// The information file with any earlier download lines and signature replaced by
// these downloads and a signature made with `secretKey` (raw).
QByteArray sign(const QByteArray &infoFile, const QList<Download> &downloads, const QByteArray &secretKey);

} // namespace Release
