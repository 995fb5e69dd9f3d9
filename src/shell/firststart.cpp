#include "firststart.h"

#include "datasource.h"
#include "firststartwindow.h"
#include "ledgersetup.h"
#include "messageboxservice.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace FirstStart {

QString dataFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("quillmora"));
}

Outcome prepare(const QStringList &arguments)
{
    if (!arguments.mid(1).contains(QLatin1String(kDataFolderOption)))
        return Outcome::Continue;
    const QString folder = dataFolder();
    // The shop's ledger and backups live here: no other account looks in.
    if (!QDir().mkpath(folder)
        || !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
        || !QDir::setCurrent(folder)) {
        MessageBoxes::reportError(nullptr, QStringLiteral("无法使用数据文件夹：%1").arg(QDir::toNativeSeparators(folder)));
        return Outcome::Failed;
    }
    // A server named on the command line is the ledger; start-up opens it there.
    const bool serverNamed = DataSource::withoutDatabaseOption(arguments) != arguments;
    if (serverNamed || LedgerSetup::hasLedger(folder))
        return Outcome::Continue;
    FirstStartWindow window(folder);
    return window.exec() == QDialog::Accepted ? Outcome::Continue : Outcome::Quit;
}

} // namespace FirstStart
