#include "importlegacycommand.h"

#include "apperror.h"
#include "datasource.h"
#include "legacyimport.h"
#include "passwordhash.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace ImportLegacyCommand {

namespace {

// Without a sign of life for this long the reader is taken to be caught in a damaged
// file; reading rows reports every few hundred of them.
constexpr int kDefaultStallSeconds = 60;

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray encoded(const QString &text)
{
    return text.toUtf8().toPercentEncoding();
}

QString decoded(const QByteArray &word)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(word));
}

int stallSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("QUILLMORA_IMPORT_STALL_SECONDS", &ok);
    return ok && seconds > 0 ? seconds : kDefaultStallSeconds;
}

// The worker's command line: this program's own arguments with the command swapped,
// so the worker finds the same ledger (--database, database.conf, data.mdb here).
QStringList workerArguments()
{
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const qsizetype at = arguments.indexOf(QLatin1String(kName));
    if (at >= 0)
        arguments[at] = QLatin1String(kWorkerName);
    arguments << QString::number(QCoreApplication::applicationPid());
    return arguments;
}

} // namespace

int run(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err)
{
    if (arguments.size() != 1) {
        err << "usage: " << kUsage << "\n";
        return 2;
    }
    const QString source = arguments.first();

    // The reading library can crash or hang on a damaged file; in a process of its own
    // that ends in a message, and the ledger it was making is never kept.
    QProcess worker;
    worker.setProgram(QCoreApplication::applicationFilePath());
    worker.setArguments(workerArguments());
    worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList reportLines;
    QString error;
    QString table;
    bool done = false;
    auto handle = [&](const QByteArray &line) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        const QByteArray &kind = words.value(0);
        if (kind == "reading")
            table = decoded(words.value(1));
        else if (kind == "line")
            reportLines << decoded(words.value(1));
        else if (kind == "error")
            error = decoded(words.value(1));
        else if (kind == "done")
            done = true;
    };
    const int stall = stallSeconds();
    bool stalled = false;
    worker.start();
    if (!worker.waitForStarted()) {
        err << "quillmora-admin: cannot start the import: " << worker.errorString() << "\n";
        return 1;
    }
    QDeadlineTimer quiet(stall * 1000);
    for (;;) {
        while (worker.canReadLine()) {
            handle(worker.readLine());
            quiet.setRemainingTime(stall * 1000);
        }
        if (worker.state() == QProcess::NotRunning)
            break;
        if (quiet.hasExpired()) {
            stalled = true;
            worker.kill();
            worker.waitForFinished(-1);
            break;
        }
        worker.waitForReadyRead(100);
    }
    while (worker.canReadLine())
        handle(worker.readLine());
    handle(worker.readAll());

    const bool crashed = worker.exitStatus() != QProcess::NormalExit || stalled;
    if (crashed || !done || worker.exitCode() != 0) {
        // Whatever the worker left of a ledger file goes; a server's transaction ended
        // with the worker's connection.
        if (!store.isServer())
            LegacyImport::discardUnfinished(store.location());
        if (crashed || error.isEmpty()) {
            // Before any table of the ledger, the reader was in the file's own list of
            // tables.
            err << "quillmora-admin: " << source << ": the file is damaged (table "
                << (table.isEmpty() ? QStringLiteral("MSysObjects, the list of tables") : table)
                << "); no ledger was made\n";
        } else {
            err << "quillmora-admin: " << error << "\n";
        }
        return 1;
    }
    for (const QString &line : std::as_const(reportLines))
        out << line << "\n";
    out << "created " << store.displayName() << " from " << source << "\n";
    return 0;
}

int runWorker(const QStringList &arguments, const DataSource &store)
{
    // Dies with the command that started it, so nothing goes on behind its back.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (arguments.size() != 2 || arguments.at(1).toLongLong() != qint64(::getppid()))
        return 2;
    // A crash on a damaged file is expected here and leaves no core file behind.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);

    const QString source = arguments.first();
    LegacyImport::Options options;
    options.hashPassword = PasswordHash::hash;
    options.reading = [](const QString &table, qint64 row) {
        say("reading " + encoded(table) + ' ' + QByteArray::number(row));
    };
    try {
        const LegacyImport::Report report = store.isServer()
            ? LegacyImport::importToServer(source, store, options)
            : LegacyImport::importToNewFile(source, store.location(), options);
        for (const QString &line : report.lines())
            say("line " + encoded(line));
        for (const QString &column : report.extraColumns)
            say("line " + encoded(QStringLiteral("carried into a new column: ") + column));
        for (const QString &note : report.notes)
            say("line " + encoded(note));
    } catch (const std::exception &error) {
        say("error " + encoded(errorText(error)));
        return 1;
    }
    say("done");
    return 0;
}

} // namespace ImportLegacyCommand
