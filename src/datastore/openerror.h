#pragma once

#include "apperror.h"

// A database that cannot be opened as the shop's ledger. Its text is the one the
// operator reads, in the words of the provider the shops know, with the full path of
// the file so that the owner can act on it; the engine's own text is kept for the log.
class DatabaseOpenError : public DatabaseError
{
public:
    enum class Reason {
        MissingFile,        // "Could not find file '<path>'."
        UnrecognizedFormat, // empty, no database at all, or not a ledger (tables missing)
        WrongPassword,      // "Not a valid password."
        Other,              // anything else: the engine's text
    };

    // `path` is shown as given: pass the full path of the file.
    DatabaseOpenError(Reason reason, const QString &path, const QString &engineMessage);

    Reason reason() const { return m_reason; }
    const QString &path() const { return m_path; }
    const QString &engineMessage() const { return m_engineMessage; }

private:
    Reason m_reason;
    QString m_path;
    QString m_engineMessage;
};
