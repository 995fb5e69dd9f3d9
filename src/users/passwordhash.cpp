#include "passwordhash.h"

#include "apperror.h"

#include <sodium.h>

namespace {

QByteArray foldedUtf8(const QString &password)
{
    QByteArray bytes = password.toUtf8();
    for (char &c : bytes) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return bytes;
}

void ensureSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw AppError(QStringLiteral("The password library could not be initialised"));
}

} // namespace

namespace PasswordHash {

QString hash(const QString &password)
{
    ensureSodium();
    const QByteArray folded = foldedUtf8(password);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, folded.constData(), folded.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw AppError(QStringLiteral("Out of memory while hashing a password"));
    return QString::fromLatin1(out);
}

bool verify(const QString &storedHash, const QString &password)
{
    ensureSodium();
    const QByteArray stored = storedHash.toLatin1();
    if (stored.isEmpty() || stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    const QByteArray folded = foldedUtf8(password);
    return crypto_pwhash_str_verify(stored.constData(), folded.constData(), folded.size()) == 0;
}

} // namespace PasswordHash
