#pragma once

#include <QString>
#include <QStringList>

class Connection;

// What each user may do. Three roles: the built-in super administrator, a manager
// (everything but user administration) and a cashier, who adds sales and takes
// payments and sees neither purchase prices nor profits.
//
// Roles live in a table of their own beside userdb. A user without a row there is a
// manager: users of ledgers made before roles and imported users keep what they could
// do. The super administrator is known by name and never has a row.
namespace UserRoles {

enum class Role { SuperAdministrator, Manager, Cashier };

// What a window asks before it acts.
enum class Command {
    AddSale,
    TakePayment,
    DeleteSale,
    ModifyTodaysSale,
    ModifyOlderSale,
    Export,
    Charts,
    ShowPurchasePrices,
    UserAdministration,
};

// The role's Chinese name, as the user administration window shows it.
QString name(Role role);
// The role of a Chinese name; false when the text names none that can be given.
bool fromName(const QString &text, Role *role);
// The roles the user administration window offers for a user, the default first.
QStringList assignableNames();

bool allows(Role role, Command command);
// The message that explains why a command is refused.
QString refusal(Command command);

// The stored role of a user (a manager when no row says otherwise).
Role roleOf(Connection &connection, const QString &userName);
// Stores the role of a user; the super administrator's cannot be changed.
void setRole(Connection &connection, const QString &userName, Role role);
// Forgets a deleted user's role, so a new user of that name starts afresh.
void forget(Connection &connection, const QString &userName);

} // namespace UserRoles
