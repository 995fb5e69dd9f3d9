// A small program that upgrades itself through the upgrade component, for the
// end-to-end test. It needs no clicks: the message boxes are answered from the
// environment and the wizard's OK is pressed once it reaches its completion page.
//
//   QUILLMORA_PROBE_LOG       file to append a line per event to
//   QUILLMORA_PROBE_INFO_URL  the information file
//   QUILLMORA_PROBE_ANSWERS   answers to the message boxes, in order ("Yes,No")
//   QUILLMORA_PROBE_WIZARD    "1" shows the wizard
//   QUILLMORA_PROBE_CA_FILE   an authority to trust for HTTPS besides the system's
//   QUILLMORA_PROBE_VERSION   the running release number
//
// Like a release build, it checks upgrades against the release key it was built with.

#include "messageboxservice.h"
#include "releasekey.h"
#include "upMessages.h"
#include "upUpgrader.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

void log(const QString &line)
{
    QFile file(qEnvironmentVariable("QUILLMORA_PROBE_LOG"));
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write(line.toUtf8() + '\n');
}

class AnsweringBoxes : public MessageBoxService
{
public:
    QMessageBox::StandardButton ask(QWidget *, const MessageBoxRequest &request) override
    {
        QStringList answers = qEnvironmentVariable("QUILLMORA_PROBE_ANSWERS").split(QLatin1Char(','), Qt::SkipEmptyParts);
        const QString answer = m_next < answers.size() ? answers.at(m_next) : QStringLiteral("No");
        ++m_next;
        QString text = request.text;
        text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        log(QStringLiteral("box %1|%2|%3").arg(request.caption, text, answer));
        return answer == QLatin1String("Yes") ? QMessageBox::Yes : (answer == QLatin1String("Ok") ? QMessageBox::Ok : QMessageBox::No);
    }

private:
    qsizetype m_next = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    log(QStringLiteral("started [%1] in %2").arg(QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')),
                                                 QDir::currentPath()));
    MessageBoxService::install(std::make_unique<AnsweringBoxes>());

    TupUpgrader::setDefaultReleaseKey(QString::fromLatin1(QUILLMORA_RELEASE_PUBLIC_KEY));
    QWidget mainWindow;
    mainWindow.setObjectName(QStringLiteral("ProbeMainForm"));
    auto *upgrader = new TupUpgrader(&mainWindow);
    upgrader->InfoFileURL = qEnvironmentVariable("QUILLMORA_PROBE_INFO_URL");
    upgrader->CAFile = qEnvironmentVariable("QUILLMORA_PROBE_CA_FILE");
    upgrader->VersionNumber = qEnvironmentVariable("QUILLMORA_PROBE_VERSION");
    upgrader->VersionDate = QStringLiteral("03/12/2014");
    upgrader->ShowMessages = Upgrade::mLostFile | Upgrade::mConnLost | Upgrade::mNoUpdateAvailable;
    upgrader->Wizard.Enabled = qEnvironmentVariable("QUILLMORA_PROBE_WIZARD") == QLatin1String("1");

    auto quitWith = [&](const QString &line) {
        log(line);
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    };
    bool restarted = false;
    upgrader->OnAfterRestart = [&](QObject *) {
        restarted = true;
        quitWith(QStringLiteral("afterrestart"));
    };
    upgrader->OnNoUpdateAvailable = [&](QObject *) { quitWith(QStringLiteral("nonewer")); };
    upgrader->OnNoInfoFile = [&](QObject *) { quitWith(QStringLiteral("noinfofile")); };
    upgrader->OnHostUnreachable = [&](QObject *, const QString &, const QString &) { quitWith(QStringLiteral("unreachable")); };
    upgrader->OnConnLost = [&](QObject *) { quitWith(QStringLiteral("connlost")); };
    upgrader->OnAborted = [&](QObject *) { quitWith(QStringLiteral("aborted")); };
    upgrader->OnLaterUpgrade = [&](QObject *) { quitWith(QStringLiteral("later")); };
    upgrader->OnBeginUpgrade = [&](QObject *, const QString &message, Upgrade::TupUpgradeMethod, const QStringList &files, bool &) {
        log(QStringLiteral("begin %1 files, message %2").arg(files.size()).arg(message));
    };
    upgrader->OnLostFile = [&](QObject *, const QString &url, int code, bool &) {
        log(QStringLiteral("lostfile %1 %2").arg(url).arg(code));
    };
    upgrader->OnFileDone = [&](QObject *, const QString &name) { log(QStringLiteral("filedone %1").arg(name)); };
    upgrader->OnEndUpgrade = [&](QObject *) { log(QStringLiteral("endupgrade")); };
    upgrader->Loaded();

    // Presses OK once the wizard shows its completion page.
    QTimer wizardWatch;
    QObject::connect(&wizardWatch, &QTimer::timeout, &app, [&] {
        if (upUpgraderWizardForm && upUpgraderWizardForm->completed()) {
            wizardWatch.stop();
            log(QStringLiteral("wizard %1|%2").arg(upUpgraderWizardForm->WizardTitle->text(),
                                                   upUpgraderWizardForm->FinishBtn->text()));
            upUpgraderWizardForm->FinishBtn->click();
        }
    });
    wizardWatch.start(20);

    if (!restarted)
        QTimer::singleShot(0, upgrader, [upgrader] { upgrader->CheckUpdate(); });
    QTimer::singleShot(60000, &app, [&] { quitWith(QStringLiteral("timeout")); });
    mainWindow.show();
    const int status = app.exec();
    log(QStringLiteral("exit"));
    return status;
}
