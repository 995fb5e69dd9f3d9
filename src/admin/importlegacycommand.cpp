#include "importlegacycommand.h"

#include "legacyimport.h"
#include "passwordhash.h"
#include "schema.h"

#include <QTextStream>

namespace ImportLegacyCommand {

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 1) {
        err << "usage: " << kUsage << "\n";
        return 2;
    }
    const QString source = arguments.first();
    const QString target = QString::fromLatin1(Schema::kDatabaseFileName);
    LegacyImport::Options options;
    options.hashPassword = PasswordHash::hash;
    const LegacyImport::Report report = LegacyImport::importToNewFile(source, target, options);
    for (const QString &line : report.lines())
        out << line << "\n";
    for (const QString &column : report.extraColumns)
        out << "carried into a new column: " << column << "\n";
    out << "created " << target << " from " << source << "\n";
    return 0;
}

} // namespace ImportLegacyCommand
