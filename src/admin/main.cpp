// quillmora-admin: creates a new ledger, adds demo sales, lists sessions, imports the
// Windows version's file and moves a ledger between the embedded file and a server.
#include "apperror.h"
#include "backupcommands.h"
#include "datasource.h"
#include "importlegacycommand.h"
#include "releasecommands.h"
#include "storecommands.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

int usage(QTextStream &err)
{
    err << "usage: quillmora-admin [--database URI] init        create the ledger with the super administrator\n"
           "       quillmora-admin [--database URI] demo N      append N demo sales\n"
           "       quillmora-admin [--database URI] sessions    list the session log: id, user, login and logout time\n"
           "       quillmora-admin copy --from SOURCE --to TARGET\n"
           "                                           move a whole ledger between a data.mdb and a server\n"
           "       "
        << ImportLegacyCommand::kUsage << "\n"
        << "       " << BackupCommands::kUsage << "\n"
        << "       " << ReleaseCommands::kUsage << "\n"
        << "The ledger is the server at --database URI, else the one database.conf names, else data.mdb here.\n"
           "SOURCE and TARGET are server addresses (postgresql://...) or paths of data.mdb files.\n";
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList all = app.arguments().mid(1);
    const QStringList arguments = DataSource::withoutDatabaseOption(all);
    try {
        if (arguments == QStringList{QStringLiteral("init")})
            return StoreCommands::init(StoreCommands::chosen(all), out);
        if (arguments.size() == 2 && arguments[0] == QLatin1String("demo"))
            return StoreCommands::demo(StoreCommands::chosen(all), arguments[1], out, err);
        if (arguments == QStringList{QStringLiteral("sessions")})
            return StoreCommands::sessions(StoreCommands::chosen(all), out);
        if (arguments.value(0) == QLatin1String("copy"))
            return StoreCommands::copy(arguments.mid(1), out, err);
        if (BackupCommands::names(arguments))
            return BackupCommands::run(arguments, StoreCommands::chosen(all), out, err);
        if (!arguments.isEmpty() && arguments[0] == QLatin1String(ImportLegacyCommand::kWorkerName))
            return ImportLegacyCommand::runWorker(arguments.mid(1), StoreCommands::chosen(all));
        if (!arguments.isEmpty() && arguments[0] == QLatin1String(ImportLegacyCommand::kName))
            return ImportLegacyCommand::run(arguments.mid(1), StoreCommands::chosen(all), out, err);
        if (ReleaseCommands::handles(all.value(0)))
            return ReleaseCommands::run(all, out, err);
    } catch (const std::exception &error) {
        err << "quillmora-admin: " << errorText(error) << "\n";
        return 1;
    }
    return usage(err);
}
