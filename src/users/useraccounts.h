#pragma once

#include <QString>
#include <QStringList>

class Dataset;

// The users in table userdb and the checks made against them. Every statement runs on
// the query it is given (the data module's shared query in the windows).
//
// Passwords are stored as hashes, which the database cannot compare: the rows whose
// name matches are selected and the password is verified here. A user name matches
// regardless of ASCII letter case, as the password does.
namespace UserAccounts {

// The one user who may administer the others.
QString superAdministrator();
// The password of new and reset users.
QString defaultPassword();

enum class NameMatch { IgnoringLetterCase, Exact };

// True when exactly one row of userdb carries this name and password. No row and
// several rows (a name entered twice with the same password) both fail.
bool credentialsMatch(Dataset &query, const QString &userName, const QString &password,
                      NameMatch nameMatch = NameMatch::IgnoringLetterCase);

// True when a row of userdb has this name, regardless of ASCII letter case.
bool nameTaken(Dataset &query, const QString &userName);

// The user names one per row, in the order the database returns them. A row without
// a name stops the listing with the conversion error.
QStringList listInTableOrder(Dataset &query);

// Adds a user with the default password.
void addUser(Dataset &query, const QString &userName);
// Stores a new password for every row with exactly this name; returns the rows changed.
int setPassword(Dataset &query, const QString &userName, const QString &password);
// Deletes every row with exactly this name; returns the rows deleted.
int deleteUser(Dataset &query, const QString &userName);

} // namespace UserAccounts
