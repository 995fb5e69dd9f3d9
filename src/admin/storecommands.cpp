#include "storecommands.h"

#include "apperror.h"
#include "connection.h"
#include "databasetool.h"
#include "datasource.h"
#include "ledgerbackup.h"
#include "numberformat.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

DataSource storeNamed(const QString &name)
{
    if (name.startsWith(QLatin1String("postgresql://")) || name.startsWith(QLatin1String("postgres://")))
        return DataSource::server(name);
    return DataSource::embeddedFile(name);
}

} // namespace

namespace StoreCommands {

DataSource chosen(const QStringList &arguments)
{
    return DataSource::choose(arguments);
}

int init(const DataSource &store, QTextStream &out)
{
    DatabaseTool::initialize(store);
    out << "created " << store.displayName() << " with the user " << QString::fromUtf8(DatabaseTool::kSuperAdministrator)
        << " (password " << DatabaseTool::kDefaultPassword << ")\n";
    return 0;
}

int demo(const DataSource &store, const QString &count, QTextStream &out, QTextStream &err)
{
    if (NumberFormat::isTooLarge(count)) {
        err << "quillmora-admin: " << NumberFormat::tooLargeMessage(QStringLiteral("销售笔数 N")) << "\n";
        return 2;
    }
    bool ok = false;
    const qint64 sales = count.toLongLong(&ok);
    if (!ok || sales < 0) {
        err << "quillmora-admin: the number of sales must be a whole number of 0 or more\n";
        return 2;
    }
    Connection connection(store);
    DatabaseTool::addDemoSales(connection, sales);
    out << "added " << sales << " demo sales to " << store.displayName() << "\n";
    return 0;
}

int sessions(const DataSource &store, QTextStream &out)
{
    Connection connection(store);
    Statement rows = connection.prepare(
        QStringLiteral("select id, username, cast(btime as text), cast(jtime as text) from rz order by id"));
    while (rows.step()) {
        QStringList fields;
        for (int column = 0; column < 4; ++column)
            fields << rows.value(column).toString();
        out << fields.join(QLatin1Char('\t')) << "\n";
    }
    return 0;
}

int copy(const QStringList &options, QTextStream &out, QTextStream &err)
{
    QString from, to;
    for (int i = 0; i + 1 < options.size(); i += 2) {
        if (options[i] == QLatin1String("--from"))
            from = options[i + 1];
        else if (options[i] == QLatin1String("--to"))
            to = options[i + 1];
        else
            from.clear(), to.clear(), i = int(options.size());
    }
    if (options.size() != 4 || from.isEmpty() || to.isEmpty()) {
        err << "usage: quillmora-admin copy --from SOURCE --to TARGET\n";
        return 2;
    }
    const DataSource source = storeNamed(from);
    const DataSource target = storeNamed(to);
    Connection reader(source);
    if (target.isServer()) {
        Connection writer(target);
        DatabaseTool::copyLedger(reader, writer);
    } else {
        // Made under a temporary name and named only when whole: a copy that is killed
        // or fails leaves nothing under the name the program opens.
        if (QFileInfo::exists(target.location()))
            throw AppError(QStringLiteral("%1 exists already; it is left as it is").arg(target.location()));
        const QString temporary = NewLedgerFile::temporaryFor(target.location());
        try {
            {
                Connection writer(DataSource::embeddedFile(temporary), Connection::OpenMode::CreateFile);
                DatabaseTool::copyLedger(reader, writer);
            }
            NewLedgerFile::publish(temporary, target.location());
        } catch (...) {
            QFile::remove(temporary);
            QFile::remove(temporary + QStringLiteral("-journal"));
            throw;
        }
    }
    const qint64 sales = Connection(target).scalar(QStringLiteral("select count(*) from data")).toLongLong();
    out << "copied " << sales << " sales, the users and the session log from " << source.displayName() << " to "
        << target.displayName() << "\n";
    return 0;
}

} // namespace StoreCommands
