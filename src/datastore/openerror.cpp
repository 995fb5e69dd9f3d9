#include "openerror.h"

namespace {

QString operatorText(DatabaseOpenError::Reason reason, const QString &path, const QString &engineMessage)
{
    switch (reason) {
    case DatabaseOpenError::Reason::MissingFile:
        return QStringLiteral("Could not find file '%1'.").arg(path);
    case DatabaseOpenError::Reason::UnrecognizedFormat:
        return QStringLiteral("Unrecognized database format '%1'.").arg(path);
    case DatabaseOpenError::Reason::WrongPassword:
        return QStringLiteral("Not a valid password.");
    case DatabaseOpenError::Reason::Other:
        break;
    }
    return engineMessage;
}

} // namespace

DatabaseOpenError::DatabaseOpenError(Reason reason, const QString &path, const QString &engineMessage)
    : DatabaseError(operatorText(reason, path, engineMessage)), m_reason(reason), m_path(path),
      m_engineMessage(engineMessage)
{
}
