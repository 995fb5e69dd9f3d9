// Runs the in-place conversion of ./data.mdb as the program does after "Yes", and
// announces each step on standard output. With --pause it waits for a line on
// standard input after each announcement, so a test can kill it at that very point.
#include "apperror.h"
#include "legacyimport.h"
#include "passwordhash.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool pause = app.arguments().contains(QStringLiteral("--pause"));
    QTextStream out(stdout);
    QTextStream in(stdin);
    auto announce = [&](const QString &line) {
        out << line << Qt::endl;
        if (pause)
            in.readLine();
    };
    LegacyImport::Options options;
    options.hashPassword = PasswordHash::hash;
    options.progress = [&](qint64 done, qint64) { announce(QStringLiteral("progress %1").arg(done)); };
    options.stage = [&](LegacyImport::Stage stage) {
        static const char *const names[] = {"writing", "checking", "keeping", "replacing", "done"};
        announce(QStringLiteral("stage %1").arg(QLatin1String(names[int(stage)])));
    };
    try {
        LegacyImport::convertInPlace(QStringLiteral("data.mdb"), options);
    } catch (const std::exception &error) {
        QTextStream(stderr) << errorText(error) << Qt::endl;
        return 1;
    }
    announce(QStringLiteral("finished"));
    return 0;
}
