#include "rowcheck.h"

#include "apperror.h"
#include "connection.h"
#include "dialect.h"
#include "sqlnames.h"
#include "transaction.h"

namespace RowCheck {

Condition unchanged(const Connection &connection, qint64 key, const QStringList &fields, const QVariantList &values)
{
    // Plain `=` would never match a null read.
    const QString same = QLatin1Char(' ') + connection.dialect().nullSafeEquals() + QStringLiteral(" ?");
    Condition condition{QStringLiteral("rowid=?"), {key}};
    for (int i = 0; i < fields.size(); ++i) {
        condition.sql += QStringLiteral(" and ") + quotedName(fields[i]) + same;
        condition.values << values.value(i);
    }
    return condition;
}

bool writeOne(Connection &connection, const QString &statement, const QVariantList &values,
              const Condition &condition)
{
    Transaction transaction(connection, Transaction::Kind::JoinCallers);
    const int changed =
        connection.execute(statement + QStringLiteral(" where ") + condition.sql, values + condition.values);
    if (changed > 1)
        throw DatabaseError(QStringLiteral("%1 rows matched one row's key; nothing was written.").arg(changed));
    transaction.commit();
    return changed == 1;
}

} // namespace RowCheck
