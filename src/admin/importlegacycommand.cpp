#include "importlegacycommand.h"

#include "datasource.h"
#include "legacyimport.h"
#include "passwordhash.h"

#include <QTextStream>

namespace ImportLegacyCommand {

int run(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 1) {
        err << "usage: " << kUsage << "\n";
        return 2;
    }
    const QString source = arguments.first();
    LegacyImport::Options options;
    options.hashPassword = PasswordHash::hash;
    const LegacyImport::Report report = store.isServer()
        ? LegacyImport::importToServer(source, store, options)
        : LegacyImport::importToNewFile(source, store.location(), options);
    for (const QString &line : report.lines())
        out << line << "\n";
    for (const QString &column : report.extraColumns)
        out << "carried into a new column: " << column << "\n";
    out << "created " << store.displayName() << " from " << source << "\n";
    return 0;
}

} // namespace ImportLegacyCommand
