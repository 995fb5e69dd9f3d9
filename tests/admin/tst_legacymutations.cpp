#include "connection.h"
#include "schema.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

namespace {

constexpr int kMutations = 1000;
constexpr int kAtOnce = 2;
constexpr int kPage = 4096;
// Longer than any import of these small files takes, and than the command's own
// watch on a reader that stopped moving (set below).
constexpr int kBoundMs = 30000;

struct Mutation
{
    QString name;
    QByteArray bytes;
};

QByteArray fixture(const QString &name)
{
    QFile file(qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/data/legacy/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The same files every run: flipped bytes, cut lengths and zeroed pages of the old
// ledgers. The reader shrugs off most single flips (free space, values it reads as
// other values), and every ledger that imports costs the hashing of its passwords, so
// flips are one in five, half of them in the pages that describe the tables; cuts and
// zeroed pages (of pages in use) reach the deeper paths more often. One in 25 changes
// a count at the head of the list of tables, where the reading library crashes.
QList<Mutation> mutations()
{
    const QStringList names{QStringLiteral("legacy-small.mdb"), QStringLiteral("legacy-variant.mdb"),
                            QStringLiteral("legacy-many.mdb")};
    QList<QByteArray> originals;
    QList<QList<int>> usedPages, definitionPages;
    for (const QString &name : names) {
        const QByteArray bytes = fixture(name);
        originals << bytes;
        QList<int> used, definitions;
        for (int page = 1; page < bytes.size() / kPage; ++page) {
            const char kind = bytes.at(page * kPage);
            if (kind != 0)
                used << page;
            if (kind == 2)
                definitions << page;
        }
        usedPages << used;
        definitionPages << definitions;
    }
    std::mt19937 random(20141231);
    const auto pick = [&random](const QList<int> &from) { return from.at(int(random() % from.size())); };
    QList<Mutation> result;
    for (int i = 0; i < kMutations; ++i) {
        // The large file costs most to import whole: one in twenty.
        const int which = i % 20 == 19 ? 2 : i % 2;
        QByteArray bytes = originals.at(which);
        QString how;
        if (i % 25 == 12) {
            // The counts at the head of the list of tables (page 2), which the reading
            // library trusts: some values make it crash.
            const int at = 2 * kPage + 52 + int(random() % 4);
            bytes[at] = char(random() % 256);
            result.append({QStringLiteral("#%1 %2 set@%3").arg(i).arg(names.at(which)).arg(at), bytes});
            continue;
        }
        switch (i % 5) {
        case 0: {
            const int count = 1 + int(random() % 3);
            for (int n = 0; n < count; ++n) {
                const int page = random() % 2 ? pick(definitionPages.at(which)) : int(random() % (bytes.size() / kPage));
                const int at = page * kPage + int(random() % kPage);
                bytes[at] = char(bytes.at(at) ^ char(1 + random() % 255));
                how += QStringLiteral(" flip@%1").arg(at);
            }
            break;
        }
        case 1:
        case 2: {
            const int length = int(random() % bytes.size());
            bytes.truncate(length);
            how = QStringLiteral(" cut@%1").arg(length);
            break;
        }
        default: {
            const int page = pick(usedPages.at(which));
            bytes.replace(page * kPage, kPage, QByteArray(kPage, '\0'));
            how = QStringLiteral(" zero page %1").arg(page);
            break;
        }
        }
        result.append({QStringLiteral("#%1 %2%3").arg(i).arg(names.at(which), how), bytes});
    }
    return result;
}

struct Run
{
    Mutation mutation;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<QProcess> process;
    QElapsedTimer clock;
};

} // namespace

// quillmora-admin import-legacy on a thousand damaged old ledgers: the command never
// dies by a signal, never runs past a bound, and leaves a complete, checked ledger or
// none at all.
class LegacyMutationsTest : public QObject
{
    Q_OBJECT

private slots:
    void damagedFilesNeverCrashOrHalfImport();

private:
    void judge(Run &run, bool finished);
    int m_made = 0;
    int m_refused = 0;
    int m_opened = 0;
    int m_readerDied = 0; // the reading process crashed or hung; the command went on
};

void LegacyMutationsTest::judge(Run &run, bool finished)
{
    const QString what = run.mutation.name;
    QVERIFY2(finished, qPrintable(what + QStringLiteral(": still running after the bound")));
    QVERIFY2(run.process->exitStatus() == QProcess::NormalExit,
             qPrintable(what + QStringLiteral(": died by a signal")));
    const QString output = QString::fromUtf8(run.process->readAllStandardOutput() + run.process->readAllStandardError());
    const QDir folder(run.folder->path());
    const QStringList files = folder.entryList({QStringLiteral("data.mdb*")}, QDir::Files | QDir::Hidden);
    const int status = run.process->exitCode();
    if (status == 0) {
        ++m_made;
        QVERIFY2(files == QStringList{QStringLiteral("data.mdb")}, qPrintable(what + QLatin1Char('\n') + output));
        // The command checked the ledger against the old file before keeping it.
        static const QRegularExpression counts(QStringLiteral(R"(^(\w+): (\d+) rows read, (\d+) rows written$)"),
                                               QRegularExpression::MultilineOption);
        int tables = 0;
        qint64 sales = -1;
        for (auto match = counts.globalMatch(output); match.hasNext();) {
            const auto line = match.next();
            QVERIFY2(line.captured(2) == line.captured(3), qPrintable(what + QLatin1Char('\n') + output));
            if (line.captured(1) == QLatin1String("data"))
                sales = line.captured(3).toLongLong();
            ++tables;
        }
        QVERIFY2(tables == 3, qPrintable(what + QLatin1Char('\n') + output));
        // Now and then the ledger itself is opened and counted.
        if (m_made % 25 == 1) {
            Connection ledger(folder.filePath(QStringLiteral("data.mdb")), Schema::databaseKey());
            QCOMPARE(ledger.scalar(QStringLiteral("select count(*) from data")).toLongLong(), sales);
            ++m_opened;
        }
    } else {
        ++m_refused;
        if (output.contains(QStringLiteral("the file is damaged (table ")))
            ++m_readerDied;
        QVERIFY2(status == 1, qPrintable(what + QLatin1Char('\n') + output));
        QVERIFY2(files.isEmpty(), qPrintable(what + QStringLiteral(": left ") + files.join(QLatin1Char(' '))));
        // The reading library may have written its own complaints before the command's.
        QVERIFY2(output.contains(QStringLiteral("\nquillmora-admin: ")) || output.startsWith(QStringLiteral("quillmora-admin: ")),
                 qPrintable(what + QLatin1Char('\n') + output));
    }
}

void LegacyMutationsTest::damagedFilesNeverCrashOrHalfImport()
{
    const QList<Mutation> all = mutations();
    QCOMPARE(all.size(), kMutations);
    const QString admin = qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora-admin");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLMORA_IMPORT_STALL_SECONDS"), QStringLiteral("10"));

    std::vector<Run> running;
    int next = 0;
    while (next < all.size() || !running.empty()) {
        while (next < all.size() && int(running.size()) < kAtOnce) {
            Run run;
            run.mutation = all.at(next++);
            run.folder = std::make_unique<QTemporaryDir>();
            QVERIFY(run.folder->isValid());
            const QString old = QDir(run.folder->path()).filePath(QStringLiteral("old.mdb"));
            QFile file(old);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(run.mutation.bytes), run.mutation.bytes.size());
            file.close();
            run.process = std::make_unique<QProcess>();
            run.process->setWorkingDirectory(run.folder->path());
            run.process->setProcessEnvironment(environment);
            run.process->start(admin, {QStringLiteral("import-legacy"), QStringLiteral("old.mdb")});
            QVERIFY2(run.process->waitForStarted(), qPrintable(run.process->errorString()));
            run.clock.start();
            running.push_back(std::move(run));
        }
        for (auto it = running.begin(); it != running.end();) {
            const bool done = it->process->state() == QProcess::NotRunning || it->process->waitForFinished(5);
            const bool late = it->clock.elapsed() > kBoundMs;
            if (!done && !late) {
                ++it;
                continue;
            }
            if (!done) {
                it->process->kill();
                it->process->waitForFinished();
            }
            judge(*it, done);
            if (QTest::currentTestFailed()) {
                for (Run &other : running) {
                    other.process->kill();
                    other.process->waitForFinished();
                }
                return;
            }
            it = running.erase(it);
        }
    }
    // Both outcomes occur: the mutations reach the reader, and not every one is fatal.
    qInfo("%d ledgers made, %d files refused (%d of them after the reader crashed or hung), %d ledgers opened "
          "and counted",
          m_made, m_refused, m_readerDied, m_opened);
    QVERIFY(m_made > 0);
    QVERIFY(m_refused > 0);
    QVERIFY(m_readerDied > 0);
}

QTEST_GUILESS_MAIN(LegacyMutationsTest)
#include "tst_legacymutations.moc"
