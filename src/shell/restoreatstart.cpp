#include "restoreatstart.h"

#include "datasource.h"
#include "ledgerbackup.h"
#include "messageboxservice.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QWidget>

namespace RestoreAtStart {

QStringList withoutRequest(const QStringList &arguments)
{
    QStringList rest;
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String(kOption)) {
            ++i;
            continue;
        }
        rest << arguments[i];
    }
    return rest;
}

QStringList restartArguments(const QStringList &arguments, const QString &backupPath)
{
    return QStringList{QString::fromLatin1(kOption), backupPath} + withoutRequest(arguments.mid(1));
}

bool run(const QStringList &arguments, int waitMilliseconds)
{
    const qsizetype at = arguments.indexOf(QString::fromLatin1(kOption));
    if (at < 0 || at + 1 >= arguments.size())
        return true;
    const QString backup = arguments[at + 1];
    try {
        const DataSource source = DataSource::choose(withoutRequest(arguments));
        const std::unique_ptr<LedgerBackup> backups = LedgerBackup::forSource(source, source.dataFolder());
        backups->setWaitForFree(waitMilliseconds);
        const QString kept = backups->restore(backup);
        MessageBoxes::information(nullptr, QStringLiteral("数据已从备份 %1 恢复。\n恢复前的数据保存在 %2。")
                                               .arg(QFileInfo(backup).fileName(), kept));
        return true;
    } catch (const std::exception &error) {
        QTextStream(stderr) << "quillmora: " << QString::fromUtf8(error.what()) << Qt::endl;
        MessageBoxes::reportError(nullptr, QStringLiteral("数据恢复失败，数据没有改变。\n\n") + QString::fromUtf8(error.what()));
        return false;
    }
}

void restart(const QString &backupPath)
{
    QProcess::startDetached(QCoreApplication::applicationFilePath(),
                            restartArguments(QCoreApplication::arguments(), backupPath), QDir::currentPath());
    // Closing the main window ends the program (and lets go of the ledger).
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("MainForm"))
            window->close();
    }
    QApplication::quit();
}

} // namespace RestoreAtStart
