#include "automaticbackup.h"

#include "clock.h"
#include "connection.h"
#include "datamodule.h"
#include "datasource.h"
#include "dialect.h"
#include "fileledgerbackup.h"
#include "messageboxservice.h"

#include <cstdio>

void AutomaticBackup::afterLogin(Tdmfm &module)
{
    run(module, true);
}

void AutomaticBackup::beforeClose(Tdmfm &module)
{
    run(module, false);
}

void AutomaticBackup::run(Tdmfm &module, bool onlyFirstOfDay)
{
    Connection &connection = *module.ADOConnection1;
    if (!connection.dialect().copiesLedgerOnline())
        return;
    try {
        FileLedgerBackup backups(DataSource::embeddedFile(connection.path()), module.dataFolder());
        backups.spare(m_spared);
        backups.protectFiles();
        if (onlyFirstOfDay && backups.hasBackupOf(Clock::today()))
            return;
        m_lastBackup = backups.backup(&connection);
    } catch (const std::exception &error) {
        const QString text = QString::fromUtf8(error.what());
        std::fprintf(stderr, "quillmora: %s\n", qPrintable(text));
        if (m_reported)
            return;
        m_reported = true;
        MessageBoxes::warning(m_parent, QStringLiteral("自动备份数据失败，账本数据没有受到影响。\n\n%1").arg(text));
    }
}
