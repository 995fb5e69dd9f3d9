#include "ledgersetup.h"

#include "apperror.h"
#include "connection.h"
#include "databasetool.h"
#include "ledgerbackup.h"
#include "ledgerkey.h"
#include "legacydatabase.h"
#include "openerror.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

const QString kServerSetting = QStringLiteral("database.conf");

// Checks the copy `path` of the chosen file `source` before it takes the ledger's
// name: a ledger that start-up opens, or a file of the Windows version, which start-up
// then offers to convert. Only the old file's header is read here: the reading library
// can crash on a damaged file, and the conversion reads it in a process of its own. A
// refusal names the chosen file and says what is wrong in the words start-up uses.
void checkLedger(const QString &path, const QString &source, const LedgerSetup::KeyAsker &askKey)
{
    if (LegacyDatabase::isAccessFile(path))
        return;
    const QString shown = QDir::toNativeSeparators(source);
    QStringList foreign;
    try {
        try {
            foreign = LedgerBackup::foreignObjects(*Schema::openLedger(path));
        } catch (const DatabaseOpenError &error) {
            if (error.reason() != DatabaseOpenError::Reason::WrongPassword || !askKey)
                throw;
            bool adopted = false;
            for (int attempt = 0; attempt < 3 && !adopted; ++attempt) {
                const QByteArray key = askKey(attempt > 0);
                if (key.isEmpty())
                    break;
                adopted = LedgerKey::adoptIfItOpens(path, key);
            }
            if (!adopted)
                throw;
            foreign = LedgerBackup::foreignObjects(*Schema::openLedger(path));
        }
    } catch (const DatabaseOpenError &error) {
        throw AppError(QStringLiteral("所选文件不是可用的账本：%1\n\n%2")
                           .arg(shown, DatabaseOpenError(error.reason(), shown, error.engineMessage()).message()));
    }
    // A trigger or view would run inside the shop's ledger from then on.
    if (!foreign.isEmpty())
        throw AppError(QStringLiteral("所选文件不是可用的账本：%1\n\n其中有账本以外的内容：%2")
                           .arg(shown, foreign.join(QStringLiteral("，"))));
}

void refuseWhenPresent(const QString &folder)
{
    if (LedgerSetup::hasLedger(folder))
        throw AppError(QStringLiteral("文件夹中已有账本：%1").arg(QDir::toNativeSeparators(folder)));
}

} // namespace

namespace LedgerSetup {

QString ledgerPath(const QString &folder)
{
    return QDir(folder).filePath(QString::fromLatin1(Schema::kDatabaseFileName));
}

bool hasLedger(const QString &folder)
{
    const QDir dir(folder);
    return QFileInfo::exists(ledgerPath(folder)) || QFileInfo::exists(dir.filePath(kServerSetting));
}

void createLedger(const QString &folder)
{
    refuseWhenPresent(folder);
    DatabaseTool::createDatabase(ledgerPath(folder));
}

void copyLedger(const QString &source, const QString &folder, const KeyAsker &askKey)
{
    refuseWhenPresent(folder);
    QFile input(source);
    if (!QFileInfo(source).isFile() || !input.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("无法读取文件：%1").arg(QDir::toNativeSeparators(source)));

    // Copied under a temporary name beside the ledger and renamed once it has been
    // checked, so a half copy or a file that is no ledger never bears the name that
    // start-up opens.
    QTemporaryFile copy(QDir(folder).filePath(QStringLiteral(".data.mdb.XXXXXX")));
    if (!copy.open())
        throw AppError(QStringLiteral("无法在文件夹中写入文件：%1").arg(QDir::toNativeSeparators(folder)));
    while (!input.atEnd()) {
        const QByteArray block = input.read(1 << 20);
        if (input.error() != QFileDevice::NoError || copy.write(block) != block.size())
            throw AppError(QStringLiteral("复制文件失败：%1").arg(QDir::toNativeSeparators(source)));
    }
    if (!copy.flush())
        throw AppError(QStringLiteral("复制文件失败：%1").arg(QDir::toNativeSeparators(source)));
    copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    checkLedger(copy.fileName(), QFileInfo(source).absoluteFilePath(), askKey);
    copy.close();

    // A plain rename would replace a ledger that appeared meanwhile; QFile::rename
    // refuses an existing target.
    copy.setAutoRemove(false);
    const QString copied = copy.fileName();
    if (!QFile::rename(copied, ledgerPath(folder))) {
        QFile::remove(copied);
        refuseWhenPresent(folder);
        throw AppError(QStringLiteral("复制文件失败：%1").arg(QDir::toNativeSeparators(source)));
    }
}

} // namespace LedgerSetup
