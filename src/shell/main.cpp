#include "application.h"
#include "apperror.h"
#include "datamodule.h"
#include "firststart.h"
#include "appinfo.h"
#include "ledgerbackup.h"
#include "ledgerkey.h"
#include "legacyconversion.h"
#include "login.h"
#include "mainform.h"
#include "messageboxservice.h"
#include "openerror.h"
#include "releasekey.h"
#include "restoreatstart.h"
#include "schema.h"
#include "skinengine.h"
#include "statsform.h"
#include "upUpgrader.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QTextStream>
#include <memory>

namespace {

bool askForShopKey(const QString &ledger)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool given = false;
        const QString key = QInputDialog::getText(
            nullptr, applicationTitle() + QStringLiteral(" - 账本密钥"),
            attempt == 0 ? QStringLiteral("账本无法用这台电脑已知的密钥打开。\n如果本店设置过自己的账本密钥，请输入它：")
                         : QStringLiteral("密钥不对，请再输入一次："),
            QLineEdit::Password, QString(), &given);
        if (!given || key.isEmpty())
            return false;
        if (LedgerKey::adoptIfItOpens(ledger, key.trimmed().toUtf8()))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (LegacyConversion::isWorkerCall(argc, argv))
        return LegacyConversion::runWorker(argc, argv);
    Application app(argc, argv);
    // Upgrades must be signed with the key this build was configured with; a build
    // without one has none.
    TupUpgrader::setDefaultReleaseKey(QString::fromLatin1(QUILLMORA_RELEASE_PUBLIC_KEY));
    // The default look is in force until the remembered skin is restored.
    SkinEngine::applyDefault();
    // Started from the menu: the user's data folder, with a ledger set up on first use.
    if (const auto start = FirstStart::prepare(app.arguments()); start != FirstStart::Outcome::Continue)
        return start == FirstStart::Outcome::Quit ? 0 : 1;

    // A folder still holding the Windows version's Access file is offered the
    // conversion before anything opens it.
    switch (LegacyConversion::offer(QString::fromLatin1(Schema::kDatabaseFileName))) {
    case LegacyConversion::Outcome::Declined:
        return 0;
    case LegacyConversion::Outcome::Failed:
        return 1;
    default:
        break;
    }

    // Started again by "恢复数据": the backup goes in place before the ledger is opened.
    RestoreAtStart::run(app.arguments());

    auto mainForm = std::make_unique<TMainForm>();
    auto login = std::make_unique<Tloginfm>(mainForm.get());
    std::unique_ptr<Tdmfm> dataModule;
    try {
        try {
            dataModule = std::make_unique<Tdmfm>();
        } catch (const DatabaseOpenError &error) {
            // A ledger brought from another machine with the shop's own key: asked for
            // once, kept when it opens the ledger.
            if (error.reason() != DatabaseOpenError::Reason::WrongPassword || !askForShopKey(error.path()))
                throw;
            dataModule = std::make_unique<Tdmfm>();
        }
    } catch (const std::exception &error) {
        // The box speaks to the shop; the log keeps what the engine said.
        const auto *openError = dynamic_cast<const DatabaseOpenError *>(&error);
        QTextStream(stderr) << "quillmora: "
                            << (openError ? openError->path() + QStringLiteral(": ") + openError->engineMessage()
                                          : errorText(error))
                            << Qt::endl;
        MessageBoxes::reportError(nullptr, error);
        return 1;
    }
    // The ledger and backups of an earlier version may still be open to other accounts.
    LedgerBackup::forSource(dataModule->dataSource(), dataModule->dataFolder())->protectFiles();
    auto statistics = std::make_unique<TForm4>();
    mainForm->setLoginWindow(login.get());
    mainForm->setStatisticsWindow(statistics.get());
    // For timing the start-up (the bench): the first login's user name and password are
    // the first two lines of standard input, so nothing else sees the password.
    if (app.arguments().contains(QStringLiteral("--login-from-stdin"))) {
        QTextStream input(stdin);
        const QString user = input.readLine();
        mainForm->setScriptedLogin(user, input.readLine());
    }

    mainForm->show();
    const int status = app.exec();
    statistics.reset();
    login.reset();
    mainForm.reset();
    dataModule.reset();
    return status;
}
