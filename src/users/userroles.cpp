#include "userroles.h"

#include "apperror.h"
#include "connection.h"
#include "schema.h"
#include "useraccounts.h"
#include "transaction.h"

namespace UserRoles {

namespace {

QString table()
{
    return QString::fromLatin1(Schema::kUserRoles);
}

} // namespace

QString name(Role role)
{
    switch (role) {
    case Role::SuperAdministrator:
        return UserAccounts::superAdministrator();
    case Role::Manager:
        return QStringLiteral("店长");
    case Role::Cashier:
        return QStringLiteral("收银员");
    }
    return {};
}

bool fromName(const QString &text, Role *role)
{
    for (Role candidate : {Role::Manager, Role::Cashier}) {
        if (text == name(candidate)) {
            *role = candidate;
            return true;
        }
    }
    return false;
}

QStringList assignableNames()
{
    return {name(Role::Cashier), name(Role::Manager)};
}

bool allows(Role role, Command command)
{
    switch (role) {
    case Role::SuperAdministrator:
        return true;
    case Role::Manager:
        return command != Command::UserAdministration;
    case Role::Cashier:
        switch (command) {
        case Command::AddSale:
        case Command::TakePayment:
        case Command::ModifyTodaysSale:
            return true;
        default:
            return false;
        }
    }
    return false;
}

QString refusal(Command command)
{
    switch (command) {
    case Command::DeleteSale:
        return QStringLiteral("收银员不能删除销售记录，请让店长操作。");
    case Command::ModifyTodaysSale:
    case Command::ModifyOlderSale:
        return QStringLiteral("收银员只能修改今天的销售记录，请让店长操作。");
    case Command::Export:
        return QStringLiteral("收银员不能导出数据，请让店长操作。");
    case Command::Charts:
        return QStringLiteral("收银员不能查看图表统计，请让店长操作。");
    case Command::ShowPurchasePrices:
        return QStringLiteral("收银员不能查看进货单价和利润。");
    case Command::UserAdministration:
        return QStringLiteral("只有超级管理员可以管理用户。");
    case Command::AddSale:
    case Command::TakePayment:
        break;
    }
    return QStringLiteral("您没有权限进行此操作。");
}

Role roleOf(Connection &connection, const QString &userName)
{
    if (userName == UserAccounts::superAdministrator())
        return Role::SuperAdministrator;
    const QVariant stored =
        connection.scalar(QStringLiteral("select role from %1 where username = ?").arg(table()), {userName});
    Role role = Role::Manager;
    if (stored.isValid() && !stored.isNull())
        fromName(stored.toString(), &role);
    return role;
}

void setRole(Connection &connection, const QString &userName, Role role)
{
    if (userName == UserAccounts::superAdministrator() || role == Role::SuperAdministrator)
        throw AppError(QStringLiteral("超级管理员只能有一个"));
    Transaction transaction(connection);
    connection.execute(QStringLiteral("delete from %1 where username = ?").arg(table()), {userName});
    connection.execute(QStringLiteral("insert into %1 (username, role) values (?, ?)").arg(table()),
                       {userName, name(role)});
    transaction.commit();
}

void forget(Connection &connection, const QString &userName)
{
    connection.execute(QStringLiteral("delete from %1 where username = ?").arg(table()), {userName});
}

} // namespace UserRoles
