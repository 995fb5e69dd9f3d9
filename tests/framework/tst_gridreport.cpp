// Printed rows show all of their text: a cell whose text is wider than its column
// grows in height, and a word that alone is wider than the column is broken inside.
// Checked on the rendered page (pdftoppm), since the extracted text of a PDF also
// holds characters that were clipped away.
#include "fonts.h"
#include "gridreport.h"

#include <QDir>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Cell texts are printed in this colour; the table's lines are black, so the text's
// ink can be told from everything else on the page.
const QColor kInk(0xff, 0x00, 0x00);

ReportCell cell(const QString &text)
{
    ReportCell cell;
    cell.text = text;
    cell.foreground = kInk;
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(14);
    cell.font = font;
    return cell;
}

// One row of texts under plain titles, each column `width` wide.
ReportTable table(const QStringList &texts, int width)
{
    ReportTable result;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        ReportCell title;
        title.text = QStringLiteral("T%1").arg(i);
        result.columns.append({title, width});
    }
    result.rowCount = 1;
    result.row = [texts](int) {
        QList<ReportCell> cells;
        for (const QString &text : texts)
            cells << cell(text);
        return cells;
    };
    return result;
}

// The first page of the PDF as pdftoppm draws it.
QImage renderedPage(const QString &pdf)
{
    const QString stem = pdf + QStringLiteral("-page");
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, stem});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QImage(stem + QStringLiteral(".png"));
}

// How much red ink the page carries: the sum over its pixels of how far each one is
// from white towards pure red (black lines and grey text count nothing).
double redInk(const QImage &page)
{
    double ink = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 128 && c.red() - c.green() > 40)
                ink += (255 - c.green()) / 255.0;
        }
    }
    return ink;
}

} // namespace

class TestGridReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installChineseFontSubstitutions();
        QApplication::setFont(applicationFont());
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty(),
                 "pdftoppm is missing (scripts/setup installs poppler-utils)");
    }

    void narrowColumnsPrintEveryCharacter_data();
    void narrowColumnsPrintEveryCharacter();
    void pagesBreakWhereTheNextElementNoLongerFits_data();
    void pagesBreakWhereTheNextElementNoLongerFits();

private:
    // Prints the table at its own widths (not fitted, so the text keeps its size) and
    // returns the rendered first page.
    QImage print(const ReportTable &table, const QString &name)
    {
        const QString path = m_dir.filePath(name + QStringLiteral(".pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        ReportSettings settings;
        settings.fitToPageWidth = false;
        settings.printFontFamily.clear();
        GridReport(settings, table).print(&printer);
        return renderedPage(path);
    }

    QTemporaryDir m_dir;
};

void TestGridReport::narrowColumnsPrintEveryCharacter_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("narrow");
    // Single words wider than their column: they must be broken inside.
    QTest::newRow("mobile number") << QStringList{QStringLiteral("13302037376")} << 40;
    QTest::newRow("date") << QStringList{QStringLiteral("2014-03-12")} << 36;
    QTest::newRow("number and date side by side")
        << QStringList{QStringLiteral("2102161.75"), QStringLiteral("2014-03-12")} << 30;
    // Several words: broken between them, and a long one inside as well.
    QTest::newRow("words") << QStringList{QStringLiteral("pay on 2014-03-12 by card")} << 44;
    QTest::newRow("chinese remark") << QStringList{QStringLiteral("客户要求送货上门并开具发票")} << 50;
}

void TestGridReport::narrowColumnsPrintEveryCharacter()
{
    QFETCH(QStringList, texts);
    QFETCH(int, narrow);
    const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    // The same texts in columns wide enough for one line are the measure of their ink.
    const QImage whole = print(table(texts, 400), name + QStringLiteral("-wide"));
    const QImage cut = print(table(texts, narrow), name + QStringLiteral("-narrow"));
    QVERIFY(!whole.isNull() && !cut.isNull());
    const QString artifacts = QCoreApplication::applicationDirPath() + QStringLiteral("/../test-artifacts/gridreport");
    QDir().mkpath(artifacts);
    cut.save(artifacts + QLatin1Char('/') + name + QStringLiteral(".png"));

    const double expected = redInk(whole);
    const double printed = redInk(cut);
    QVERIFY(expected > 0);
    // Glyphs land on other sub-pixel positions when wrapped, which moves the sum by a
    // little; a missing digit takes away a tenth of an eleven-digit number.
    QVERIFY2(printed > 0.96 * expected && printed < 1.04 * expected,
             qPrintable(QStringLiteral("ink %1 of %2 printed whole").arg(printed).arg(expected)));
}

void TestGridReport::pagesBreakWhereTheNextElementNoLongerFits_data()
{
    // A page's body runs from 0 to 100; repeated column titles take 10 of it.
    QTest::addColumn<QList<double>>("heights");
    QTest::addColumn<bool>("underTitles");
    QTest::addColumn<QList<int>>("pageStarts"); // the elements that start a new page

    QTest::newRow("filled to the last unit") << QList<double>{50, 50, 1} << false << QList<int>{2};
    QTest::newRow("one unit over") << QList<double>{50, 51, 49} << false << QList<int>{1};
    QTest::newRow("rows without titles") << QList<double>(9, 25) << false << QList<int>{4, 8};
    // Pages after the first hold three rows under the titles, not four.
    QTest::newRow("rows under repeated titles") << QList<double>(9, 25) << true << QList<int>{4, 7};
    QTest::newRow("titles and rows fill a page exactly") << QList<double>(8, 30) << true << QList<int>{3, 6};
    // Higher than a page: alone on its page, never an empty page before it.
    QTest::newRow("first element taller than a page") << QList<double>{150, 20} << false << QList<int>{1};
    QTest::newRow("element taller than a page") << QList<double>{20, 150, 20} << false << QList<int>{1, 2};
    QTest::newRow("nothing") << QList<double>{} << false << QList<int>{};
}

void TestGridReport::pagesBreakWhereTheNextElementNoLongerFits()
{
    QFETCH(QList<double>, heights);
    QFETCH(bool, underTitles);
    QFETCH(QList<int>, pageStarts);
    PageBreaks breaks(0, 100, 10);
    QList<int> starts;
    for (int element = 0; element < heights.size(); ++element) {
        if (breaks.place(heights.at(element), underTitles))
            starts << element;
    }
    QCOMPARE(starts, pageStarts);
}

QTEST_MAIN(TestGridReport)
#include "tst_gridreport.moc"
