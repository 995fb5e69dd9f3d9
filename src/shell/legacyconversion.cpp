#include "legacyconversion.h"

#include "apperror.h"
#include "appinfo.h"
#include "datasource.h"
#include "exportprogresswindow.h"
#include "legacydatabase.h"
#include "legacyimport.h"
#include "messageboxservice.h"
#include "passwordhash.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr const char *kWorkerArgument = "--convert-legacy-data";

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

namespace LegacyConversion {

bool isWorkerCall(int argc, char *argv[])
{
    return argc == 4 && qstrcmp(argv[1], kWorkerArgument) == 0;
}

int runWorker(int argc, char *argv[])
{
    // Killed with the program: a conversion nobody waits for must not go on and
    // rename files behind the next start's back.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (QByteArray(argv[3]).toLongLong() != qint64(::getppid()))
        return 1;
    QCoreApplication app(argc, argv);
    LegacyImport::Options options;
    options.hashPassword = PasswordHash::hash;
    options.progress = [](qint64 done, qint64 total) { say("progress " + QByteArray::number(done) + ' ' + QByteArray::number(total)); };
    options.stage = [](LegacyImport::Stage stage) { say("stage " + QByteArray::number(int(stage))); };
    try {
        LegacyImport::convertInPlace(QFile::decodeName(argv[2]), options);
    } catch (const std::exception &error) {
        say("error " + errorText(error).toUtf8().toPercentEncoding());
        return 1;
    }
    say("done");
    return 0;
}

Outcome offer(const QString &path, const QString &workerProgram)
{
    if (!LegacyDatabase::isAccessFile(path))
        return Outcome::NotNeeded;
    // A terminal pointed at a server does not work on the folder's data.mdb.
    try {
        if (DataSource::choose(QCoreApplication::arguments()).isServer())
            return Outcome::NotNeeded;
    } catch (const std::exception &) {
        // A database.conf naming no server is reported where the ledger is opened.
    }

    MessageBoxRequest question;
    question.caption = applicationTitle();
    question.text = QStringLiteral("发现旧版本的数据文件 data.mdb，是否转换为新格式？原文件将保留为 data.mdb.old。");
    question.icon = QMessageBox::Question;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::Yes;
    if (MessageBoxes::ask(nullptr, question) != QMessageBox::Yes)
        return Outcome::Declined;

    ExportProgressWindow window(1);
    window.setObjectName(QStringLiteral("LegacyConversionWindow"));
    auto show = [&window](const QString &text) {
        window.label()->setText(text);
        window.label()->adjustSize();
        window.label()->repaint();
    };
    show(QStringLiteral("正在转换旧数据，请稍候......"));
    window.showNow();

    QProcess worker;
    worker.setProgram(workerProgram.isEmpty() ? QCoreApplication::applicationFilePath() : workerProgram);
    worker.setArguments({QString::fromLatin1(kWorkerArgument), path, QString::number(QCoreApplication::applicationPid())});
    worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bool done = false;
    QString error;
    auto handle = [&](const QByteArray &line) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.value(0) == "progress" && words.size() == 3) {
            const qint64 finished = words[1].toLongLong(), total = words[2].toLongLong();
            window.bar()->setMaximum(int(std::max<qint64>(total, 1)));
            window.setProgress(int(std::min(finished, total)));
            show(QStringLiteral("正在转换销售记录：%1 / %2").arg(finished).arg(total));
        } else if (words.value(0) == "stage" && words.value(1).toInt() == int(LegacyImport::Stage::Checking)) {
            show(QStringLiteral("正在核对转换结果......"));
        } else if (words.value(0) == "error") {
            error = QString::fromUtf8(QByteArray::fromPercentEncoding(words.value(1)));
        } else if (words.value(0) == "done") {
            done = true;
        }
    };
    worker.start();
    if (worker.waitForStarted()) {
        for (;;) {
            while (worker.canReadLine()) {
                handle(worker.readLine());
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
            if (worker.state() == QProcess::NotRunning)
                break;
            worker.waitForReadyRead(50);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        handle(worker.readAll());
    } else {
        error = QStringLiteral("无法启动转换：%1").arg(worker.errorString());
    }
    const bool converted = done && worker.exitStatus() == QProcess::NormalExit && worker.exitCode() == 0;
    window.hide();
    if (converted)
        return Outcome::Converted;

    // A worker that crashed left at most its unfinished temporary file.
    LegacyImport::discardUnfinished(path);
    if (error.isEmpty())
        error = QStringLiteral("转换程序意外终止，旧数据文件可能已损坏。");
    QTextStream(stderr) << "quillmora: " << error << Qt::endl;
    MessageBoxes::reportError(nullptr, QStringLiteral("旧数据文件没有转换，原文件未作改动。\n%1").arg(error));
    return Outcome::Failed;
}

} // namespace LegacyConversion
