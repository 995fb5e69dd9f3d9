#include "clock.h"
#include "datamodule.h"
#include "dataset.h"
#include "salesbarchart.h"
#include "scriptedmessageboxes.h"
#include "statsform.h"
#include "testworkspace.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QComboBox>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QDir>
#include <QToolTip>
#include <QValueAxis>
#include <QtTest>
#include <memory>

using Bars = QList<QPointF>;

class StatsFormTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void monthlyChart_data();
    void monthlyChart();
    void dailyChart_data();
    void dailyChart();
    void textThatIsNoNumberReportsAndEmptiesTheChart_data();
    void textThatIsNoNumberReportsAndEmptiesTheChart();
    void showingResetsBoxesAndRunsBothQueries();
    void barsAreDrawnAtTheirValuesOnFixedAxes();
    void markTexts_data();
    void markTexts();
    void crowdedMarksNeverOverlap();

private:
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<TForm4> m_form;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void StatsFormTest::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
    struct Sale
    {
        const char *day;
        QVariant profit;
    };
    // Two sales carry a time of day, as those of the Windows version do, on the last day
    // of a month and of a year: they count for that day.
    const Sale sales[] = {
        {"2014-01-01", 10.0},       {"2014-01-01", 5.0},   {"2014-01-31 18:05:00", 20.5}, {"2014-03-10", -7.0},
        {"2014-02-14", QVariant()}, {"2013-01-15", 100.0}, {"2015-01-01", 1.0},           {"2015-12-31 23:59:59", 3.0},
    };
    for (const Sale &sale : sales)
        m_data->ADOConnection1->execute(QStringLiteral("insert into data (a, day1, \"4\") values ('x', ?, ?)"),
                                        {QString::fromLatin1(sale.day), sale.profit});
    m_form = std::make_unique<TForm4>();
    m_boxes = &ScriptedMessageBoxes::install();
    Clock::setFixedNow(QDateTime(QDate(2014, 1, 20), QTime(9, 30)));
}

void StatsFormTest::cleanup()
{
    QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    Clock::setFixedNow(std::nullopt);
    m_form.reset();
    m_data.reset();
    m_workspace.reset();
}

void StatsFormTest::monthlyChart_data()
{
    QTest::addColumn<QString>("year");
    QTest::addColumn<Bars>("bars");
    // January's three sales on the 1st and 31st make one bar; February's only sale has
    // no profit and draws nothing; the negative March stays negative.
    QTest::newRow("2014") << "2014" << Bars{{1, 35.5}, {3, -7}};
    QTest::newRow("other year, same months") << "2013" << Bars{{1, 100}};
    QTest::newRow("first and last month") << "2015" << Bars{{1, 1}, {12, 3}};
    QTest::newRow("year without sales") << "2016" << Bars{};
    QTest::newRow("blanks around") << " 2014 " << Bars{{1, 35.5}, {3, -7}};
    QTest::newRow("fraction matches no year") << "2014.5" << Bars{};
}

void StatsFormTest::monthlyChart()
{
    QFETCH(QString, year);
    QFETCH(Bars, bars);
    m_form->ComboBox1->setEditText(year);
    m_form->Button1->click();
    QCOMPARE(m_form->DBChart1->bars(), bars);
    QVERIFY(m_form->ADOQuery1->isOpen());
}

void StatsFormTest::dailyChart_data()
{
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("year");
    QTest::addColumn<Bars>("bars");
    QTest::newRow("1st and 31st of January") << "1" << "2014" << Bars{{1, 15}, {31, 20.5}};
    QTest::newRow("other years excluded") << "1" << "2013" << Bars{{15, 100}};
    QTest::newRow("negative sum") << "3" << "2014" << Bars{{10, -7}};
    QTest::newRow("only a blank profit") << "2" << "2014" << Bars{};
    QTest::newRow("last day of the year") << "12" << "2015" << Bars{{31, 3}};
    QTest::newRow("leading zero") << "01" << "2014" << Bars{{1, 15}, {31, 20.5}};
    QTest::newRow("negative month") << "-1" << "2014" << Bars{};
    QTest::newRow("month 13") << "13" << "2014" << Bars{};
}

void StatsFormTest::dailyChart()
{
    QFETCH(QString, month);
    QFETCH(QString, year);
    QFETCH(Bars, bars);
    m_form->ComboBox2->setEditText(month);
    m_form->ComboBox3->setEditText(year);
    m_form->Button2->click();
    QCOMPARE(m_form->DBChart3->bars(), bars);
}

void StatsFormTest::textThatIsNoNumberReportsAndEmptiesTheChart_data()
{
    QTest::addColumn<bool>("daily");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::newRow("monthly, letters") << false << "abc" << "1";
    QTest::newRow("monthly, empty") << false << "" << "1";
    QTest::newRow("monthly, quote") << false << "2014'" << "1";
    QTest::newRow("daily, month letters") << true << "2014" << "Jan";
    QTest::newRow("daily, empty year") << true << "" << "1";
}

void StatsFormTest::textThatIsNoNumberReportsAndEmptiesTheChart()
{
    QFETCH(bool, daily);
    QFETCH(QString, year);
    QFETCH(QString, month);
    // Bars from a good query first, so emptying is visible.
    m_form->ComboBox1->setEditText(QStringLiteral("2014"));
    m_form->ComboBox2->setEditText(QStringLiteral("1"));
    m_form->ComboBox3->setEditText(QStringLiteral("2014"));
    m_form->Button1->click();
    m_form->Button2->click();

    m_boxes->expect(QMessageBox::Ok);
    SalesBarChart *chart = daily ? m_form->DBChart3 : m_form->DBChart1;
    SalesBarChart *other = daily ? m_form->DBChart1 : m_form->DBChart3;
    const Bars otherBars = other->bars();
    (daily ? m_form->ComboBox3 : m_form->ComboBox1)->setEditText(year);
    m_form->ComboBox2->setEditText(month);
    (daily ? m_form->Button2 : m_form->Button1)->click();

    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &box = m_boxes->asked.first().request;
    QCOMPARE(box.caption, QStringLiteral("Quillmora"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, QStringLiteral("Data type mismatch in criteria expression."));
    QVERIFY(chart->bars().isEmpty());
    QVERIFY(chart->barShapes().isEmpty());
    QVERIFY(!(daily ? m_form->ADOQuery2 : m_form->ADOQuery1)->isOpen());
    QCOMPARE(other->bars(), otherBars);
}

void StatsFormTest::showingResetsBoxesAndRunsBothQueries()
{
    QVERIFY(m_form->isHidden());
    m_form->ComboBox1->setEditText(QStringLiteral("1999"));
    m_form->show();
    QCOMPARE(m_form->windowTitle(), QStringLiteral("销售统计"));
    QCOMPARE(m_form->PageControl1->currentWidget(), m_form->TabSheet2);
    QCOMPARE(m_form->PageControl1->tabText(0), QStringLiteral("月销售报表"));
    QCOMPARE(m_form->PageControl1->tabText(1), QStringLiteral("日销售报表"));
    QCOMPARE(m_form->ComboBox1->currentText(), QStringLiteral("2014"));
    QCOMPARE(m_form->ComboBox2->currentText(), QStringLiteral("1"));
    QCOMPARE(m_form->ComboBox3->currentText(), QStringLiteral("2014"));
    QCOMPARE(m_form->DBChart1->bars(), (Bars{{1, 35.5}, {3, -7}}));
    QCOMPARE(m_form->DBChart3->bars(), (Bars{{1, 15}, {31, 20.5}}));

    // Closing only hides; the next showing starts again from today, on the page left open.
    m_form->PageControl1->setCurrentWidget(m_form->TabSheet1);
    QVERIFY(m_form->close());
    QVERIFY(m_form->isHidden());
    QVERIFY(!m_form->ADOQuery1->isOpen());
    Clock::setFixedNow(QDateTime(QDate(2015, 12, 5), QTime(0, 0)));
    m_form->ComboBox2->setEditText(QStringLiteral("7"));
    m_form->show();
    QCOMPARE(m_form->PageControl1->currentWidget(), m_form->TabSheet1);
    QCOMPARE(m_form->ComboBox1->currentText(), QStringLiteral("2015"));
    QCOMPARE(m_form->ComboBox2->currentText(), QStringLiteral("12"));
    QCOMPARE(m_form->DBChart1->bars(), (Bars{{1, 1}, {12, 3}}));
    QCOMPARE(m_form->DBChart3->bars(), (Bars{{31, 3}}));
}

void StatsFormTest::barsAreDrawnAtTheirValuesOnFixedAxes()
{
    struct Expected
    {
        SalesBarChart *chart;
        QString title;
        double end;
        QString unit;
        int lastLabel;
    };
    m_form->show();
    for (const Expected &e : {Expected{m_form->DBChart1, QStringLiteral("月销售报表统计"), 13, QStringLiteral("月"), 12},
                              Expected{m_form->DBChart3, QStringLiteral("日销售报表统计"), 32, QStringLiteral("日"), 31}}) {
        QCOMPARE(e.chart->chart()->title(), e.title);
        QCOMPARE(e.chart->horizontalAxis()->min(), 0.0);
        QCOMPARE(e.chart->horizontalAxis()->max(), e.end);
        QStringList labels;
        for (int value = 1; value <= e.lastLabel; ++value)
            labels << QString::number(value) + e.unit;
        // The labels of the two ends of the range are left out.
        QCOMPARE(e.chart->horizontalAxis()->categoriesLabels(), labels);
        QStringList shown;
        for (const QGraphicsSimpleTextItem *label : e.chart->axisLabels()) {
            shown << label->text();
            QVERIFY(e.chart->chart()->rect().contains(label->sceneBoundingRect()));
        }
        QCOMPARE(shown, labels);
        QVERIFY(!e.chart->chart()->legend()->isVisible());

        const Bars bars = e.chart->bars();
        QCOMPARE(e.chart->barShapes().size(), bars.size());
        for (int i = 0; i < bars.size(); ++i) {
            const QList<QPointF> top = e.chart->barShapes().at(i)->upperSeries()->points();
            QCOMPARE(top.first().y(), bars.at(i).y());
            QVERIFY(top.first().x() < bars.at(i).x() && bars.at(i).x() < top.last().x());
            QCOMPARE(e.chart->barShapes().at(i)->color(), QColor(Qt::red));
        }
        // Each bar carries its value, above a rising bar and below a falling one.
        QCOMPARE(e.chart->marks().size(), bars.size());
        for (int i = 0; i < bars.size(); ++i) {
            QGraphicsSimpleTextItem *mark = e.chart->marks().at(i);
            QCOMPARE(mark->text(), QLocale::c().toString(bars.at(i).y()));
            const QPointF end = e.chart->chart()->mapToPosition(bars.at(i), e.chart->valueSeries());
            if (bars.at(i).y() >= 0)
                QVERIFY(mark->sceneBoundingRect().bottom() < end.y());
            else
                QVERIFY(mark->sceneBoundingRect().top() > end.y());
        }
    }
    // The vertical axis takes in the negative March bar.
    QVERIFY(m_form->DBChart1->verticalAxis()->min() <= -7);
    QVERIFY(m_form->DBChart1->verticalAxis()->max() >= 35.5);
}

void StatsFormTest::markTexts_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("to the cent") << 7391.7574 << "7391.76";
    QTest::newRow("no trailing zeros") << 20.5 << "20.5";
    QTest::newRow("whole") << 7470.0 << "7470";
    QTest::newRow("negative") << -7.0 << "-7";
    QTest::newRow("large") << 1234567.891 << "1234567.89";
    QTest::newRow("rounds to zero") << -0.004 << "0";
}

void StatsFormTest::markTexts()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(SalesBarChart::markText(value), text);
}

void StatsFormTest::crowdedMarksNeverOverlap()
{
    // A busy May: every day has sales, with profits of four digits and more.
    for (int day = 1; day <= 31; ++day) {
        const double profit = (day % 3 == 0 ? -1 : 1) * (7391.7574 + day * 123.456);
        m_data->ADOConnection1->execute(QStringLiteral("insert into data (a, day1, \"4\") values ('x', ?, ?)"),
                                        {QDate(2014, 5, day), profit});
    }
    m_form->show();
    m_form->ComboBox2->setEditText(QStringLiteral("5"));
    m_form->ComboBox3->setEditText(QStringLiteral("2014"));
    m_form->Button2->click();
    QTest::qWait(50);
    SalesBarChart *chart = m_form->DBChart3;
    // For a look by eye: the page as the operator sees it.
    const QString artifacts = qEnvironmentVariable("QUILLMORA_ARTIFACTS");
    if (!artifacts.isEmpty() && QDir().mkpath(artifacts))
        QVERIFY(m_form->grab().save(QDir(artifacts).filePath(QStringLiteral("stats-daily-crowded.png"))));
    QCOMPARE(chart->bars().size(), 31);
    QCOMPARE(chart->verticalAxis()->titleText(), QStringLiteral("利润"));
    QVERIFY(chart->verticalAxis()->isTitleVisible());

    QList<QRectF> shown;
    for (int i = 0; i < 31; ++i) {
        QGraphicsSimpleTextItem *mark = chart->marks().at(i);
        QCOMPARE(mark->text(), SalesBarChart::markText(chart->bars().at(i).y()));
        if (!mark->isVisible())
            continue;
        const QRectF rect = mark->sceneBoundingRect();
        QVERIFY(chart->chart()->rect().contains(rect));
        for (const QRectF &other : std::as_const(shown))
            QVERIFY2(!rect.intersects(other), qPrintable(mark->text()));
        shown << rect;
    }
    // Too many for the width: some stand back, and their bars tell them on hover.
    QVERIFY(shown.size() >= 10);
    QVERIFY(shown.size() < 31);
    const int hidden = int(std::find_if(chart->marks().cbegin(), chart->marks().cend(),
                                        [](const QGraphicsSimpleTextItem *mark) { return !mark->isVisible(); })
                           - chart->marks().cbegin());
    emit chart->barShapes().at(hidden)->hovered(chart->bars().at(hidden), true);
    const QString expected = QStringLiteral("%1日 利润：%2").arg(hidden + 1).arg(QString::number(chart->bars().at(hidden).y(), 'g', 15));
    QCOMPARE(chart->shownHoverText(), expected);
    QCOMPARE(QToolTip::text(), expected);
    emit chart->barShapes().at(hidden)->hovered(chart->bars().at(hidden), false);
    QCOMPARE(chart->shownHoverText(), QString());

}

QTEST_MAIN(StatsFormTest)
#include "tst_statsform.moc"
