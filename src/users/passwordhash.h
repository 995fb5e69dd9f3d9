#pragma once

#include <QString>

// Passwords are kept as Argon2id hashes. Letter case does not matter at login, so
// ASCII letters are folded to lower case before hashing and before verifying.
namespace PasswordHash {

QString hash(const QString &password);
bool verify(const QString &storedHash, const QString &password);

} // namespace PasswordHash
