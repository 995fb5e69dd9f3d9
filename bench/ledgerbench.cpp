// Times the ledger's actions on a shop's whole history, in the encrypted file and, given
// a server, on the database server, and prints one Markdown table: the median of
// repeated runs, the ratio to the engine's own count-and-sum scan of the same ledger,
// and the peak resident memory of each action. Ledgers are made once by the database
// tool's demo generator and cached as files; the server gets the same rows copied in.
//
//   ledgerbench [--records 100000,1000000] [--data-dir DIR] [--runs N] [--server URI]
//               [--engines embedded,server] [--only TEXT]

#include "connection.h"
#include "customerdebts.h"
#include "customerdebtsmodel.h"
#include "customerdebtswindow.h"
#include "dayendreport.h"
#include "databasetool.h"
#include "datagrid.h"
#include "datamodule.h"
#include "datasource.h"
#include "goodslookup.h"
#include "ledgergrid.h"
#include "ledgerqueries.h"
#include "ledgerrecords.h"
#include "ledgerreport.h"
#include "reportpageview.h"
#include "reportpreviewdialog.h"
#include "spreadsheetexport.h"
#include "worksheetfile.h"
#include "mylib.h"
#include "saleschartqueries.h"
#include "schema.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTextStream>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

QTextStream out(stdout);

struct Row
{
    QString engine;
    QString action;
    qint64 records;
    double medianMs;
    double floorMs;
    double peakMb;
};

// The kernel's high-water mark of resident memory, reset before each action so
// every action reports its own peak.
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (!refs.open(QIODevice::WriteOnly))
        return false;
    return refs.write("5") == 1;
}

// A memory figure of a process's status file (the kernel gives kB), in MB.
double statusMb(const QString &statusFile, const QByteArray &field)
{
    QFile status(statusFile);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double peakMb()
{
    return statusMb(QStringLiteral("/proc/self/status"), "VmHWM:");
}

// The resident memory now, in MB.
double residentMb()
{
    return statusMb(QStringLiteral("/proc/self/status"), "VmRSS:");
}

// Only the actions whose name holds this text run (the floor always does); empty: all.
QString onlyActions;
// The folder the program is started in for the start-up rows.
QString startUpFolder;

bool wanted(const QString &action)
{
    return onlyActions.isEmpty() || action.contains(onlyActions);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Bump when the schema or the demo generator changes, so stale ledgers are not reused.
constexpr int kLedgerVersion = 2;

QString cachedLedger(const QString &dataDir, qint64 records)
{
    QDir().mkpath(dataDir);
    const QString path =
        QDir(dataDir).filePath(QStringLiteral("ledger-v%1-%2.mdb").arg(kLedgerVersion).arg(records));
    if (QFileInfo::exists(path))
        return path;
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    QElapsedTimer timer;
    timer.start();
    DatabaseTool::createDatabase(partial);
    {
        Connection connection(partial, Schema::databaseKey());
        DatabaseTool::addDemoSales(connection, records);
    }
    QFile::rename(partial, path);
    QTextStream(stderr) << "generated " << path << " in " << timer.elapsed() / 1000.0 << " s\n";
    return path;
}

// Actions slower than this run once, whatever --runs says.
constexpr double kRepeatBelowMs = 10000;

class Bench
{
public:
    Bench(QString engine, qint64 records, int runs)
        : m_engine(std::move(engine)), m_records(records), m_runs(runs)
    {
    }

    // Runs `prepare` (untimed) and `action` (timed) `runs` times.
    void measure(const QString &name, const std::function<void()> &action,
                 const std::function<void()> &prepare = {})
    {
        if (!wanted(name) && !name.startsWith(QLatin1String("floor")))
            return;
        std::vector<double> times;
        const bool perAction = resetPeak();
        for (int i = 0; i < m_runs; ++i) {
            if (prepare)
                prepare();
            QElapsedTimer timer;
            timer.start();
            action();
            times.push_back(timer.nsecsElapsed() / 1e6);
            // On the largest ledgers an export or a full layout takes minutes: one run
            // of that tells as much as five, and keeps the tier's run within an hour.
            if (times.back() > kRepeatBelowMs)
                break;
        }
        const double ms = median(times);
        rows.push_back({m_engine, name, m_records, ms, m_floorMs, perAction ? peakMb() : peakMb()});
        QTextStream(stderr) << m_engine << ": " << name << " @" << m_records << ": " << ms << " ms\n";
    }

    // A row of times taken elsewhere (another process's), with its peak memory.
    void add(const QString &name, const std::vector<double> &times, double peak)
    {
        const double ms = median(times);
        rows.push_back({m_engine, name, m_records, ms, m_floorMs, peak});
        QTextStream(stderr) << m_engine << ": " << name << " @" << m_records << ": " << ms << " ms\n";
    }

    void setFloor(double ms) { m_floorMs = ms; }
    // A row that reports a memory figure rather than a time.
    void note(const QString &name, double mb)
    {
        rows.push_back({m_engine, name, m_records, 0, m_floorMs, mb});
        QTextStream(stderr) << m_engine << ": " << name << " @" << m_records << ": " << mb << " MB\n";
    }

    std::vector<Row> rows;

private:
    QString m_engine;
    qint64 m_records;
    int m_runs;
    double m_floorMs = 0;
};

// The server's copy of a cached ledger: a schema of its own, filled once with the
// file's rows (the same rows in the same order) and reused while it holds them.
QString serverLedger(const QString &server, const QString &ledgerFile, qint64 records)
{
    const QString schema = QStringLiteral("bench_v%1_%2").arg(kLedgerVersion).arg(records);
    const QString separator = server.contains(QLatin1Char('?')) ? QStringLiteral("&") : QStringLiteral("?");
    const QString address = server + separator + QStringLiteral("options=")
                            + QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("-c search_path=") + schema));
    Connection connection(DataSource::server(server));
    const bool present = connection.scalar(QStringLiteral("select count(*) from pg_namespace where nspname = ?"), {schema}).toInt() > 0;
    if (present) {
        Connection ledger(DataSource::server(address));
        if (ledger.tableNames().contains(QStringLiteral("data"))
            && ledger.scalar(QStringLiteral("select count(*) from data")).toLongLong() == records)
            return address;
        connection.execute(QStringLiteral("drop schema %1 cascade").arg(schema));
    }
    QElapsedTimer timer;
    timer.start();
    connection.execute(QStringLiteral("create schema %1").arg(schema));
    {
        Connection from(ledgerFile, Schema::databaseKey());
        Connection to(DataSource::server(address));
        DatabaseTool::copyLedger(from, to);
        // What the server's autovacuum does soon after a load: statistics for the
        // planner and the visibility map that lets the charts read the index alone.
        to.execute(QStringLiteral("vacuum analyze data"));
    }
    QTextStream(stderr) << "copied " << ledgerFile << " to the server in " << timer.elapsed() / 1000.0 << " s\n";
    return address;
}

// The export of every record to each of the newer types, and the print preview: its
// first page, and the memory it gives back when it closes.
void measureOutput(Bench &bench, DataGrid &grid, Dataset &ledger, const std::function<void()> &showAll)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("ledgerbench-output"));
    QDir().mkpath(folder);
    showAll();
    for (const auto &[name, format] : {std::pair{QStringLiteral("xlsx"), WorksheetFormat::Xlsx},
                                       std::pair{QStringLiteral("csv"), WorksheetFormat::Csv}}) {
        const QString path = QDir(folder).filePath(QStringLiteral("sales.") + name);
        const WorksheetContent content = SpreadsheetExport::content(SpreadsheetExport::columnsOf(grid), ledger);
        if (!WorksheetFormats::fits(format, content)) {
            // The program refuses this export before touching a file; so does the bench.
            QTextStream(stderr) << "." << name << " export: refused, more rows than the format holds\n";
            continue;
        }
        bench.measure(QStringLiteral("export .%1 of all records").arg(name), [&] {
            const std::clock_t cpu = std::clock();
            WorksheetFile::write(SpreadsheetExport::content(SpreadsheetExport::columnsOf(grid), ledger), path, format);
            // The machine may be shared: the processor time tells the work apart from the wait.
            QTextStream(stderr) << "." << name << " export: " << double(std::clock() - cpu) / CLOCKS_PER_SEC << " s of processor time\n";
        });
        QTextStream(stderr) << "." << name << " file: " << QFileInfo(path).size() / 1048576.0 << " MB\n";
        QFile::remove(path);
    }
    QDir().rmdir(folder);

    const double before = residentMb();
    bench.measure(QStringLiteral("print preview: first page shown"), [&] {
        std::unique_ptr<ReportPreviewDialog> preview(LedgerReport::preview(nullptr, grid, &ledger, QString()));
        preview->setAttribute(Qt::WA_DeleteOnClose, false);
        preview->pageView()->viewport()->grab();
    });
    // The preview laying out every page, as it does while the operator looks.
    if (!wanted(QStringLiteral("print preview: peak while laying out all pages")))
        return;
    std::unique_ptr<ReportPreviewDialog> preview(LedgerReport::preview(nullptr, grid, &ledger, QString()));
    preview->setAttribute(Qt::WA_DeleteOnClose, false);
    QElapsedTimer whole;
    whole.start();
    const bool perAction = resetPeak();
    while (!preview->isLayoutComplete())
        QApplication::processEvents();
    const double layoutMs = double(whole.elapsed());
    const double peak = perAction ? peakMb() : 0;
    QTextStream(stderr) << "preview: " << preview->pageCount() << " pages laid out in " << layoutMs << " ms\n";
    bench.note(QStringLiteral("print preview: peak while laying out all %1 pages (%2 s)")
                   .arg(preview->pageCount())
                   .arg(layoutMs / 1000.0, 0, 'f', 1),
               peak);
    preview.reset();
    bench.note(QStringLiteral("print preview: resident after closing (before opening: %1 MB)").arg(before, 0, 'f', 0),
               residentMb());
}

// The peak resident memory of another process, in MB.
double peakMbOf(qint64 pid)
{
    return statusMb(QStringLiteral("/proc/%1/status").arg(pid), "VmHWM:");
}

// Start-up as the shop sees it: the real program started in a folder of the ledger,
// logged in through its scripted login (--login-from-stdin) as the super
// administrator, timed until it says that the window shows the last row after the
// login. The folder's backups are removed before each run, so each login is the
// first of a day and starts the daily backup; how long that backup takes to be
// published, from the program's start, is a row of its own. The program is then ended.
void measureStartUp(Bench &bench, const DataSource &store, int runs)
{
    const QString folder = startUpFolder;
    const QString startUp = QStringLiteral("start-up: program start to the last row shown after login (daily backup included)");
    const QString dailyBackup = QStringLiteral("start-up: daily backup published in the background, from program start");
    if (!wanted(startUp) && !wanted(dailyBackup))
        return;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/home"));
    if (store.isServer()) {
        QFile setting(QDir(folder).filePath(QStringLiteral("database.conf")));
        if (!setting.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(setting.fileName()));
        setting.write("[database]\nurl=" + store.location().toUtf8() + "\n");
    } else if (!QFile::link(QFileInfo(store.location()).absoluteFilePath(), QDir(folder).filePath(QStringLiteral("data.mdb")))) {
        qFatal("cannot link the ledger into %s", qPrintable(folder));
    }
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quillmora");
    const QString backups = QDir(folder).filePath(QStringLiteral("backups"));
    std::vector<double> shown, backedUp;
    double peak = 0;
    for (int run = 0; run < runs; ++run) {
        QDir(backups).removeRecursively();
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Settings the program keeps go to the folder, not the user's.
        environment.insert(QStringLiteral("HOME"), folder + QStringLiteral("/home"));
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setReadChannel(QProcess::StandardError);
        QElapsedTimer timer;
        timer.start();
        process.start(program, {QStringLiteral("--login-from-stdin")});
        process.write("超级管理员\n947\n");
        QByteArray said;
        while (!said.contains("quillmora: logged in") && process.state() != QProcess::NotRunning && timer.elapsed() < 120000) {
            process.waitForReadyRead(100);
            said += process.readAllStandardError();
        }
        const double loggedIn = timer.nsecsElapsed() / 1e6;
        // "quillmora: logged in, row N of M current": the last row, every record there.
        const QList<QByteArray> words = said.mid(said.indexOf("logged in")).split('\n').value(0).split(' ');
        if (words.size() < 7 || words[3] != words[5] || words[5].toLongLong() < 1)
            qFatal("the program did not show the last row after the login: %s", said.constData());
        shown.push_back(loggedIn);
        // A server's ledger has no daily backup of the program's.
        bool published = store.isServer();
        while (!published && process.state() != QProcess::NotRunning && timer.elapsed() < 600000) {
            published = !QDir(backups).entryList({QStringLiteral("data-*.mdb")}, QDir::Files).isEmpty();
            if (!published)
                process.waitForFinished(20);
        }
        if (!store.isServer()) {
            if (!published)
                qFatal("no daily backup was made: %s", (said + process.readAllStandardError()).constData());
            backedUp.push_back(timer.nsecsElapsed() / 1e6);
        }
        peak = std::max(peak, peakMbOf(process.processId()));
        process.kill();
        process.waitForFinished();
        QTextStream(stderr) << "start-up run " << run + 1 << ": last row shown at " << loggedIn << " ms\n";
    }
    bench.add(startUp, shown, peak);
    if (!backedUp.empty())
        bench.add(dailyBackup, backedUp, peak);
    QDir(folder).removeRecursively();
}

void run(const QString &engine, const DataSource &store, qint64 records, int runs, std::vector<Row> &rows)
{
    Bench bench(engine, records, runs);
    {
        Tdmfm data(store);
        Connection &db = *data.ADOConnection1;

        // The floor: the engine's own count and sums over the same ledger.
        bench.measure(QStringLiteral("floor: engine count + 3 sums"), [&] {
            Statement statement = db.prepare(
                QStringLiteral("select count(*), sum(\"6\"), sum(\"4\"), sum(\"5\") from data"));
            statement.step();
        });
        bench.setFloor(bench.rows.back().medianMs);
        bench.rows.back().floorMs = bench.rows.back().medianMs;

        // The dataset alone, to tell the engine's share from the grid's.
        data.ADOQuery15->setPrefetchedNumberFields(LedgerGrid::summedFields());
        bench.measure(QStringLiteral("show all records: dataset only, no grid"), [&] {
            mylib::openSql(*data.ADOQuery15, QStringLiteral("select * from data "));
            data.ADOQuery15->last();
        });
        data.ADOQuery15->close();

        DataGrid grid;
        LedgerGrid::configure(grid);
        LedgerController ledger(grid);
        ledger.attach(data.ADOQuery15);
        grid.resize(929, 497);
        grid.show();
        QApplication::processEvents();
        // Drawing the grid fetches the rows it shows, as the screen would.
        auto draw = [&] { grid.view()->viewport()->grab(); };

        bench.measure(QStringLiteral("show all records (footers, last row drawn)"), [&] {
            ledger.showAllRecords();
            draw();
        });

        QuickQueryInput query;
        query.byCategory = true;
        query.category = QStringLiteral("鞋");
        query.byDate = true;
        query.from = QDate(2020, 1, 1);
        query.to = QDate(2020, 12, 31);
        bench.measure(QStringLiteral("quick query: category + one year"), [&] {
            ledger.quickQuery(query);
            draw();
        });

        constexpr int kProfit = 8;
        constexpr int kName = 1;
        auto showAll = [&] { ledger.showAllRecords(); };
        if (db.engine() == Connection::Engine::Server) {
            // A ledger made without the sort indexes gets a field's index at its first
            // sort, once; later sorts count and read through it.
            bench.measure(QStringLiteral("sort by profit in a ledger without its index (makes it, once)"), [&] {
                grid.clickTitle(kProfit);
                draw();
            }, [&] {
                db.execute(QStringLiteral("drop index if exists data_sort_4"));
                showAll();
            });
        }
        bench.measure(QStringLiteral("sort by profit (number)"), [&] {
            grid.clickTitle(kProfit);
            draw();
        }, showAll);
        bench.measure(QStringLiteral("sort by goods name (text, pinyin)"), [&] {
            grid.clickTitle(kName);
            draw();
        }, showAll);

        bench.measure(QStringLiteral("sort by goods name after a sort by profit"), [&] {
            grid.clickTitle(kName);
            draw();
        }, [&] {
            showAll();
            grid.clickTitle(kProfit);
            draw();
        });

        bench.measure(QStringLiteral("scroll to the middle (draw a screenful)"), [&] {
            QScrollBar *bar = grid.view()->verticalScrollBar();
            bar->setValue(bar->value() == bar->maximum() / 2 ? bar->maximum() / 3 : bar->maximum() / 2);
            draw();
        }, showAll);

        measureOutput(bench, grid, *data.ADOQuery15, showAll);

        data.openAppendTable();
        // The commit alone, so the file system's share of an add can be told apart.
        bench.measure(QStringLiteral("add: post of one record alone (commit)"), [&] {
            Dataset &table = *data.ADOTable5;
            table.append();
            table.setValue(QStringLiteral("b"), QStringLiteral("跑步鞋"));
            table.setValue(QStringLiteral("o"), QStringLiteral("0"));
            table.post();
        });
        bench.measure(QStringLiteral("add one record (post, reload, recount)"), [&] {
            Dataset &table = *data.ADOTable5;
            table.append();
            table.setValue(QStringLiteral("a"), QStringLiteral("运动鞋"));
            table.setValue(QStringLiteral("b"), QStringLiteral("跑步鞋"));
            table.setValue(QStringLiteral("c"), QStringLiteral("SP1001"));
            table.setValue(QStringLiteral("d"), QStringLiteral("42码"));
            table.setValue(QStringLiteral("1"), 168.0);
            table.setValue(QStringLiteral("2"), 199.0);
            table.setValue(QStringLiteral("3"), 1.0);
            table.setValue(QStringLiteral("6"), 199.0);
            table.setValue(QStringLiteral("4"), 31.0);
            table.setValue(QStringLiteral("5"), 0.0);
            table.setValue(QStringLiteral("e"), QString());
            table.setValue(QStringLiteral("f"), QString());
            table.setValue(QStringLiteral("o"), QStringLiteral("1"));
            table.setValue(QStringLiteral("h"), QStringLiteral("双"));
            table.setValue(QStringLiteral("z"), QString());
            table.setValue(QStringLiteral("day1"), QDate(2026, 12, 31));
            table.post();
            ledger.showAllRecords();
            draw();
        });

        // What "修  改" does to the record loaded into the entry panel: the write that
        // checks the row still holds what was read, then the reload it is followed by.
        SaleEntry loaded;
        RowVersion asRead;
        bool remarked = false;
        bench.measure(QStringLiteral("modify one record (post, refresh)"), [&] {
            LedgerRecords::modifyCurrent(*data.ADOQuery15, loaded, asRead);
            ledger.showAllRecords();
            draw();
        }, [&] {
            showAll();
            draw();
            loaded = LedgerRecords::currentEntry(*data.ADOQuery15);
            asRead = data.ADOQuery15->currentVersion();
            remarked = !remarked;
            loaded.remarks = remarked ? QStringLiteral("改过备注") : QString();
        });

        // What "删 除" does to the current record: the delete that checks the row still
        // holds what was read, the footers recounted and the grid drawn (no reload). The
        // last record is one this run added, so the ledger stays as it was made.
        bench.measure(QStringLiteral("delete one record (delete, recount)"), [&] {
            data.ADOQuery15->deleteCurrent();
            draw();
        }, [&] {
            showAll();
            draw();
        });

        // The customer debts window: the engine groups and counts, the amounts are
        // summed by the footer's rule, the list is ordered and its first screen drawn.
        {
            CustomerDebtsWindow debts(nullptr, db, &ledger, QString());
            auto drawDebts = [&] { debts.debtsGrid->view()->viewport()->grab(); };
            bench.measure(QStringLiteral("customer debts: open the list (group, sum, order, draw)"), [&] {
                debts.reload();
                drawDebts();
            });
            QTextStream(stderr) << "customer debts list: " << debts.model()->debts().size() << " customers\n";
            // Search as the operator types: one more letter, then one letter less.
            bool longer = false;
            auto keystroke = [&] {
                longer = !longer;
                debts.searchEdit->setText(longer ? QStringLiteral("张三") : QStringLiteral("张"));
                drawDebts();
            };
            bench.measure(QStringLiteral("customer debts: one search keystroke over the whole list"), keystroke);
            QList<CustomerDebt> many;
            for (int i = 0; i < 10000; ++i) {
                many.append({{QStringLiteral("%1%2").arg(i % 3 ? QStringLiteral("张") : QStringLiteral("李")).arg(i),
                              QStringLiteral("13%1").arg(100000000 + i * 7919)},
                             qint64(10000 + i),
                             1 + i % 5,
                             QDate(2020, 1, 1).addDays(i % 700),
                             QDate(2021, 1, 1).addDays(i % 300)});
            }
            debts.searchEdit->clear();
            debts.model()->setDebts(many);
            bench.measure(QStringLiteral("customer debts: one search keystroke over 10,000 customers"), keystroke);
        }

        bench.measure(QStringLiteral("chart query: profit per month of a year"), [&] {
            SalesChartQueries::open(*data.ADOQuery1, SalesChartQueries::monthly(QStringLiteral("2020")));
        });
        bench.measure(QStringLiteral("chart query: profit per day of a month"), [&] {
            SalesChartQueries::open(*data.ADOQuery1, SalesChartQueries::daily(QStringLiteral("3"), QStringLiteral("2020")));
        });

        // The day-end report of a day and of a year. Demo sales carry no operator: the
        // year's sales get one of three, as a shop's would, so the join has rows to find.
        if (wanted(QStringLiteral("day-end report"))) {
            if (db.scalar(QStringLiteral("select count(*) from sale_origins")).toLongLong() == 0) {
                db.execute(QStringLiteral("insert into sale_origins (sale_key, sold_by, sold_on, sold_at) "
                                          "select rowid, case rowid % 3 when 0 then ? when 1 then ? else ? end, 'bench', day1 "
                                          "from data where day1 >= ? and day1 < ?"),
                           {QStringLiteral("小王"), QStringLiteral("小李"), QStringLiteral("店长"), QDate(2020, 1, 1),
                            QDate(2021, 1, 1)});
            }
            DayEndReport::Report report;
            bench.measure(QStringLiteral("day-end report: one day, all operators"), [&] {
                report = DayEndReport::compute(db, {QDate(2020, 6, 15), QDate(2020, 6, 15), true, {}});
            });
            QTextStream(stderr) << "day-end report of a day: " << report.total.sales << " sales\n";
            bench.measure(QStringLiteral("day-end report: one year, all operators"), [&] {
                report = DayEndReport::compute(db, {QDate(2020, 1, 1), QDate(2020, 12, 31), true, {}});
            });
            QTextStream(stderr) << "day-end report of a year: " << report.total.sales << " sales\n";
            bench.measure(QStringLiteral("day-end report: one year, one operator"), [&] {
                report = DayEndReport::compute(db, {QDate(2020, 1, 1), QDate(2020, 12, 31), false, QStringLiteral("小李")});
            });
        }

        // The entry panel's goods look-ups, each as one keystroke (Enter) or one choice.
        {
            GoodsLookup lookup(db);
            bench.measure(QStringLiteral("goods look-up: latest sale of a scanned code"), [&] {
                if (!lookup.latestByCode(QStringLiteral("SP1001")))
                    throw AppError(QStringLiteral("no sale of SP1001"));
            });
            bench.measure(QStringLiteral("goods look-up: latest sale of a chosen name"), [&] {
                if (!lookup.latestByName(QStringLiteral("跑步鞋")))
                    throw AppError(QStringLiteral("no sale of 跑步鞋"));
            });
            GoodsNameMatcher names;
            bench.measure(QStringLiteral("goods names: the list read once per show-all"), [&] {
                names = GoodsNameMatcher(lookup.soldNames());
            });
            bench.measure(QStringLiteral("goods names: offered for one keystroke (pinyin initials)"), [&] {
                names.matching(QStringLiteral("pb"));
            });
        }
    }
    measureStartUp(bench, store, runs);
    rows.insert(rows.end(), bench.rows.begin(), bench.rows.end());
}

void runOnFile(const QString &ledgerFile, const QString &workFile, qint64 records, int runs, std::vector<Row> &rows)
{
    QFile::remove(workFile);
    if (!QFile::copy(ledgerFile, workFile))
        qFatal("cannot copy %s", qPrintable(ledgerFile));
    run(QStringLiteral("embedded"), DataSource::embeddedFile(workFile), records, runs, rows);
    QFile::remove(workFile);
}

void runOnServer(const QString &address, qint64 records, int runs, std::vector<Row> &rows)
{
    // The adds of a run are taken away again, so the ledger stays the file's.
    const qint64 lastKey = Connection(DataSource::server(address)).scalar(QStringLiteral("select max(rowid) from data")).toLongLong();
    run(QStringLiteral("server"), DataSource::server(address), records, runs, rows);
    Connection(DataSource::server(address)).execute(QStringLiteral("delete from data where rowid > ?"), {lastKey});
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<qint64> sizes{100000, 1000000};
    QString dataDir = QStringLiteral("bench-data");
    int runs = 5;
    QString server;
    QStringList engines{QStringLiteral("embedded"), QStringLiteral("server")};
    const QStringList arguments = app.arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--records")) {
            sizes.clear();
            for (const QString &size : arguments[i + 1].split(QLatin1Char(',')))
                sizes << size.toLongLong();
        } else if (arguments[i] == QLatin1String("--data-dir")) {
            dataDir = arguments[i + 1];
        } else if (arguments[i] == QLatin1String("--runs")) {
            runs = std::max(1, arguments[i + 1].toInt());
        } else if (arguments[i] == QLatin1String("--server")) {
            server = arguments[i + 1];
        } else if (arguments[i] == QLatin1String("--engines")) {
            engines = arguments[i + 1].split(QLatin1Char(','));
        } else if (arguments[i] == QLatin1String("--only")) {
            onlyActions = arguments[i + 1];
        }
    }
    if (server.isEmpty())
        engines.removeAll(QStringLiteral("server"));
    startUpFolder = QDir(dataDir).absoluteFilePath(QStringLiteral("start-up"));

    std::vector<Row> rows;
    for (qint64 records : sizes) {
        const QString ledger = cachedLedger(dataDir, records);
        if (engines.contains(QStringLiteral("embedded")))
            runOnFile(ledger, QDir(dataDir).filePath(QStringLiteral("work-%1.mdb").arg(records)), records, runs, rows);
        if (engines.contains(QStringLiteral("server")))
            runOnServer(serverLedger(server, ledger, records), records, runs, rows);
    }

    out << "\n| engine | action | records | median ms | × floor | peak MB |\n|---|---|---:|---:|---:|---:|\n";
    for (const Row &row : rows) {
        out << "| " << row.engine << " | " << row.action << " | " << row.records << " | " << QString::number(row.medianMs, 'f', 1) << " | "
            << QString::number(row.floorMs > 0 ? row.medianMs / row.floorMs : 0, 'f', 2) << " | "
            << QString::number(row.peakMb, 'f', 0) << " |\n";
    }
    out.flush();
    return 0;
}
