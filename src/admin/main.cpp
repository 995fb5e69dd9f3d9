// quillmora-admin: creates a new data.mdb in the current directory and adds demo sales.
#include "apperror.h"
#include "connection.h"
#include "databasetool.h"
#include "importlegacycommand.h"
#include "schema.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

int usage(QTextStream &err)
{
    err << "usage: quillmora-admin init        create data.mdb with the super administrator\n"
           "       quillmora-admin demo N      append N demo sales to data.mdb\n"
           "       quillmora-admin sessions    list the session log: id, user, login and logout time\n"
           "       "
        << ImportLegacyCommand::kUsage << "\n";
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments().mid(1);
    const QString path = QString::fromLatin1(Schema::kDatabaseFileName);
    try {
        if (arguments == QStringList{QStringLiteral("init")}) {
            DatabaseTool::createDatabase(path);
            out << "created " << path << " with the user " << QString::fromUtf8(DatabaseTool::kSuperAdministrator)
                << " (password " << DatabaseTool::kDefaultPassword << ")\n";
            return 0;
        }
        if (arguments.size() == 2 && arguments[0] == QLatin1String("demo")) {
            bool ok = false;
            const qint64 count = arguments[1].toLongLong(&ok);
            if (!ok || count < 0) {
                err << "quillmora-admin: the number of sales must be a whole number of 0 or more\n";
                return 2;
            }
            Connection connection(path, Schema::databaseKey());
            DatabaseTool::addDemoSales(connection, count);
            out << "added " << count << " demo sales to " << path << "\n";
            return 0;
        }
        if (!arguments.isEmpty() && arguments[0] == QLatin1String(ImportLegacyCommand::kName))
            return ImportLegacyCommand::run(arguments.mid(1), out, err);
        if (arguments == QStringList{QStringLiteral("sessions")}) {
            Connection connection(path, Schema::databaseKey());
            Statement rows = connection.prepare(QStringLiteral("select id, username, cast(btime as text), cast(jtime as text) from rz order by id"));
            while (rows.step()) {
                QStringList fields;
                for (int column = 0; column < 4; ++column)
                    fields << rows.value(column).toString();
                out << fields.join(QLatin1Char('\t')) << "\n";
            }
            return 0;
        }
    } catch (const std::exception &error) {
        err << "quillmora-admin: " << errorText(error) << "\n";
        return 1;
    }
    return usage(err);
}
