#include "appinfo.h"
#include "clock.h"
#include "exportprogresswindow.h"
#include "readback.h"
#include "savedialog.h"
#include "scriptedmessageboxes.h"
#include "spreadsheetexport.h"
#include "urlopener.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <unistd.h>

// The files an export writes, whoever exports: the row limits of each type, and
// writes that fail, which are told and leave nothing behind.
namespace {

// A sheet of `records` rows like the ledger's: a name, a number and a date.
WorksheetContent sheetOf(int records)
{
    WorksheetContent sheet;
    sheet.title = QStringLiteral("销售统计报表");
    sheet.maker = QStringLiteral("Quillmora");
    sheet.madeAt = QDateTime(QDate(2014, 3, 12), QTime(15, 4, 5));
    sheet.titles = {{0, QStringLiteral("商品名称")}, {1, QStringLiteral("销售合计")}, {2, QStringLiteral("销售日期")}};
    sheet.recordCount = records;
    sheet.record = [](int record) {
        return QList<WorksheetCell>{WorksheetCell::fromText(QStringLiteral("商品%1").arg(record)),
                                    WorksheetCell::fromNumber(record + 0.25),
                                    WorksheetCell::fromDate(QDate(2014, 1, 1).addDays(record % 700))};
    };
    sheet.footer = {{0, QStringLiteral("总计")}, {1, QString()}, {2, QString()}};
    sheet.shownFooter = {{0, QStringLiteral("总计")}, {1, QString::number(records)}, {2, QString()}};
    return sheet;
}

// The row of every cell record of a bare worksheet stream, and the first text of the
// last row.
struct StreamRows
{
    int lastRow = -1;
    QList<int> rowsSeen;
};

StreamRows rowsOf(const QByteArray &bytes)
{
    StreamRows result;
    qsizetype at = 0;
    while (at + 4 <= bytes.size()) {
        const quint16 type = qFromLittleEndian<quint16>(bytes.constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(bytes.constData() + at + 2);
        if (type == 0x0204 || type == 0x0203 || type == 0x027E || type == 0x0201) {
            const int row = qFromLittleEndian<quint16>(bytes.constData() + at + 4);
            if (result.rowsSeen.isEmpty() || result.rowsSeen.last() != row)
                result.rowsSeen << row;
            result.lastRow = row;
        }
        at += 4 + length;
    }
    return result;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything in a folder, hidden files included.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool runsAsRoot()
{
    return ::geteuid() == 0;
}

// A small file system of its own, mounted for one test (needs root, as CI runs).
class Mount
{
public:
    bool mount(const QString &folder, const QString &options)
    {
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                         options, QStringLiteral("tmpfs"), folder})
            != 0)
            return false;
        m_folder = folder;
        return true;
    }
    ~Mount()
    {
        if (!m_folder.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {m_folder});
    }

private:
    QString m_folder;
};

enum class Place { SystemFolder, ReadOnlyFolder, FullDisk };

} // namespace

Q_DECLARE_METATYPE(Place)

class ExportFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowLimits_data();
    void rowLimits();
    void xlsAtItsLimitReadBack();
    void failedWrites_data();
    void failedWrites();
    void dialogTypeGivesTheExtension_data();
    void dialogTypeGivesTheExtension();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    ScriptedMessageBoxes *m_boxes = nullptr;
    QList<QUrl> m_opened;
};

void ExportFilesTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_boxes = &ScriptedMessageBoxes::install();
    m_opened.clear();
    UrlOpener::setOpener([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void ExportFilesTest::cleanup()
{
    QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    UrlOpener::setOpener(nullptr);
    SaveDialog::setChooser(nullptr);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<ExportProgressWindow *>(widget));
    m_folder.reset();
}

void ExportFilesTest::rowLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("sheetRows");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("offered");
    // Title, maker and column titles above the records, the footer below: four rows.
    QTest::newRow(".xls one row short of the limit") << "a.xls" << 65535 << true << QString();
    QTest::newRow(".xls at the limit") << "a.xls" << 65536 << true << QString();
    QTest::newRow(".xls one row over") << "a.xls" << 65537 << false << "“Excel 工作簿 (*.xlsx)”或“CSV (*.csv)”";
    QTest::newRow(".XLS in capitals") << "a.XLS" << 65537 << false << "“Excel 工作簿 (*.xlsx)”或“CSV (*.csv)”";
    QTest::newRow("unknown extension: .xls") << "a.txt" << 65537 << false << "“Excel 工作簿 (*.xlsx)”或“CSV (*.csv)”";
    QTest::newRow(".xlsx one row over") << "a.xlsx" << 1048577 << false << "“CSV (*.csv)”";
}

void ExportFilesTest::rowLimits()
{
    QFETCH(QString, name);
    QFETCH(int, sheetRows);
    QFETCH(bool, written);
    QFETCH(QString, offered);
    const QString path = m_folder->filePath(name);
    // A file of that name exists: a refusal comes before the question and leaves it.
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    if (written)
        m_boxes->expect(QMessageBox::Yes);
    else
        m_boxes->expect(QMessageBox::Ok);
    const WorksheetContent sheet = sheetOf(sheetRows - 4);

    const SpreadsheetExport::SaveOutcome outcome = SpreadsheetExport::save(nullptr, sheet, path);

    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &box = m_boxes->asked.first().request;
    if (!written) {
        QCOMPARE(outcome, SpreadsheetExport::SaveOutcome::Refused);
        QCOMPARE(box.caption, applicationTitle());
        QCOMPARE(box.icon, QMessageBox::Warning);
        QVERIFY2(box.text.contains(QLocale::c().toString(sheetRows) + QStringLiteral(" 行")), qPrintable(box.text));
        QVERIFY2(box.text.contains(offered), qPrintable(box.text));
        QCOMPARE(readFile(path), QByteArray("old content"));
        QCOMPARE(entries(m_folder->path()), QStringList{name});
        QVERIFY(m_opened.isEmpty());
        return;
    }
    QCOMPARE(outcome, SpreadsheetExport::SaveOutcome::Written);
    QCOMPARE(box.caption, QStringLiteral("提示"));
    const StreamRows rows = rowsOf(readFile(path));
    // Every row once, in order, none wrapped over the top of the sheet.
    QCOMPARE(rows.rowsSeen.size(), sheetRows);
    QCOMPARE(rows.rowsSeen.first(), 0);
    QCOMPARE(rows.lastRow, sheetRows - 1);
    QVERIFY(std::is_sorted(rows.rowsSeen.cbegin(), rows.rowsSeen.cend()));
    QCOMPARE(entries(m_folder->path()), QStringList{name});
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path)});
}

void ExportFilesTest::xlsAtItsLimitReadBack()
{
    const QString path = m_folder->filePath(QStringLiteral("limit.xls"));
    QCOMPARE(SpreadsheetExport::save(nullptr, sheetOf(65532), path), SpreadsheetExport::SaveOutcome::Written);

    QString error;
    const QList<QStringList> rows = ReadBack::worksheetRows(path, m_folder->path(), &error);
    QVERIFY2(!rows.isEmpty(), qPrintable(error));
    QCOMPARE(rows.size(), 65536);
    QCOMPARE(rows.at(0).value(3), QStringLiteral("销售统计报表"));
    QCOMPARE(rows.at(2).mid(0, 3), (QStringList{"商品名称", "销售合计", "销售日期"}));
    QCOMPARE(rows.at(3).mid(0, 2), (QStringList{"商品0", "0.25"}));
    QCOMPARE(rows.at(65534).mid(0, 2), (QStringList{"商品65531", "65531.25"}));
    QCOMPARE(rows.at(65535).value(0), QStringLiteral("总计"));
}

void ExportFilesTest::failedWrites_data()
{
    QTest::addColumn<Place>("place");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("reason");
    const QString readOnly = runsAsRoot() ? QStringLiteral("该位置只能读取，不能写入") : QStringLiteral("没有写入该位置的权限");
    for (const char *ext : {"xls", "xlsx", "csv"}) {
        const QString extension = QString::fromLatin1(ext);
        QTest::newRow(QByteArray("/proc, .") + ext) << Place::SystemFolder << extension << "该位置不能新建文件";
        QTest::newRow(QByteArray("read-only folder, .") + ext) << Place::ReadOnlyFolder << extension << readOnly;
        QTest::newRow(QByteArray("full disk, .") + ext) << Place::FullDisk << extension << "磁盘空间不足";
    }
}

void ExportFilesTest::failedWrites()
{
    QFETCH(Place, place);
    QFETCH(QString, extension);
    QFETCH(QString, reason);
    const QString folder = place == Place::SystemFolder ? QStringLiteral("/proc") : m_folder->filePath(QStringLiteral("target"));
    Mount mount;
    if (place != Place::SystemFolder)
        QVERIFY(QDir().mkpath(folder));
    QStringList before;
    const QString path = folder + QStringLiteral("/sales.") + extension;
    if (place == Place::ReadOnlyFolder) {
        if (runsAsRoot())
            QVERIFY(mount.mount(folder, QStringLiteral("ro,size=64k")));
        else
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (place == Place::FullDisk) {
        if (!runsAsRoot())
            QSKIP("a small file system of its own needs root (CI runs as root)");
        QVERIFY(mount.mount(folder, QStringLiteral("size=16k")));
        // The file the export is to replace: it stays as it was.
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
        old.close();
        m_boxes->expect(QMessageBox::Yes);
        before << QStringLiteral("sales.") + extension;
    }
    m_boxes->expect(QMessageBox::Ok);

    // Enough rows to fill the small disk in every type, compressed or not.
    const SpreadsheetExport::SaveOutcome outcome = SpreadsheetExport::save(nullptr, sheetOf(20000), path);

    QCOMPARE(outcome, SpreadsheetExport::SaveOutcome::Failed);
    const MessageBoxRequest &box = m_boxes->asked.last().request;
    QCOMPARE(box.caption, applicationTitle());
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::Ok);
    QCOMPARE(box.text, QStringLiteral("导出失败：%1（%2）").arg(reason, path));
    QVERIFY(m_opened.isEmpty());
    if (place != Place::SystemFolder)
        QCOMPARE(entries(folder), before);
    else
        QVERIFY(!QFile::exists(path));
    if (place == Place::FullDisk)
        QCOMPARE(readFile(path), QByteArray("old content"));
    if (place == Place::ReadOnlyFolder && !runsAsRoot())
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void ExportFilesTest::dialogTypeGivesTheExtension_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("old type, bare name") << "Microsoft Excel xls文件 (*.xls)" << "report" << "report.xls";
    QTest::newRow("workbook, bare name") << "Excel 工作簿 (*.xlsx)" << "report" << "report.xlsx";
    QTest::newRow("CSV, bare name") << "CSV (*.csv)" << "report" << "report.csv";
    QTest::newRow("an extension typed stays") << "CSV (*.csv)" << "report.xlsx" << "report.xlsx";
}

void ExportFilesTest::dialogTypeGivesTheExtension()
{
    QFETCH(QString, type);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QStringList offered;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        offered = dialog->nameFilters();
        dialog->setDirectory(m_folder->path());
        dialog->selectNameFilter(type);
        dialog->selectFile(typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const std::optional<QString> name =
        SaveDialog::choose(nullptr, {SpreadsheetExport::kFilter, QStringLiteral("xls")});
    QCOMPARE(offered, (QStringList{"Microsoft Excel xls文件 (*.xls)", "Excel 工作簿 (*.xlsx)", "CSV (*.csv)"}));
    QVERIFY(name);
    QCOMPARE(QFileInfo(*name).fileName(), chosen);
}

QTEST_MAIN(ExportFilesTest)
#include "tst_exportfiles.moc"
