#include "datagrid.h"
#include "datamodule.h"
#include "ledgerfixture.h"
#include "ledgergrid.h"
#include "ledgerqueries.h"
#include "mylib.h"
#include "quickquerypanel.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(QuickQueryInput)

namespace {

QuickQueryInput byName(const QString &text)
{
    QuickQueryInput input;
    input.byName = true;
    input.name = text;
    return input;
}

QuickQueryInput byCategory(const QString &text)
{
    QuickQueryInput input;
    input.byCategory = true;
    input.category = text;
    return input;
}

QuickQueryInput byDates(QDate from, QDate to)
{
    QuickQueryInput input;
    input.byDate = true;
    input.from = from;
    input.to = to;
    return input;
}

} // namespace

class TestLedgerQueries : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_workspace = std::make_unique<TestWorkspace>();
        m_boxes = &ScriptedMessageBoxes::install();
        m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
        Connection &db = *m_data->ADOConnection1;
        // Names and categories that tell "contains" from "ends with".
        addSale(db, {"运动鞋", "运动鞋", 1.0, 1.0, 0.0, QDate(2014, 3, 1), "1", "SP01", "42码"});
        addSale(db, {"鞋垫", "鞋垫", 1.0, 1.0, 0.0, QDate(2014, 3, 12), "1", "XSP0", "通用"});
        addSale(db, {"服装", "O'Neil", 1.0, 1.0, 0.0, QDate(2014, 3, 13), "1", "A_1", "L"});
        addSale(db, {"服装", "100%棉", 1.0, 1.0, 0.0, QDate(2014, 2, 28), "1", "A21", "XL"});
        addSale(db, {"运动鞋", "旧运动鞋", 1.0, 1.0, 0.0, QDate(2014, 3, 5), "0", "SP01", "42码"});
        m_grid = std::make_unique<DataGrid>();
        LedgerGrid::configure(*m_grid);
        m_controller = std::make_unique<LedgerController>(*m_grid);
        m_controller->attach(m_data->ADOQuery15);
    }

    void cleanup()
    {
        QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
        m_controller.reset();
        m_grid.reset();
        m_data.reset();
        m_workspace.reset();
    }

    void statements_data()
    {
        QTest::addColumn<QuickQueryInput>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("scanDates");
        QTest::addColumn<QVariantList>("parameters");
        const QString base = QStringLiteral("select * from data where o='1' ");
        QTest::newRow("nothing ticked") << QuickQueryInput{} << base << false << QVariantList{};
        QTest::newRow("ticked but empty") << byName(QString()) << base << false << QVariantList{};
        QuickQueryInput all;
        all.byCategory = all.byName = all.byCode = all.byModel = all.byDate = true;
        all.category = QStringLiteral("鞋");
        all.name = QStringLiteral(" x");
        all.code = QStringLiteral("1'");
        all.model = QStringLiteral("%");
        all.from = QDate(2014, 3, 1);
        all.to = QDate(2014, 3, 31);
        QTest::newRow("fixed order, texts as typed")
            << all
            << base + " and a like ? and b like ? and c like ? and d like ? and day1>=? and day1<=?" << false
            << QVariantList{"%鞋%", "% x", "%1'", "%%%", QDate(2014, 3, 1), QDateTime(QDate(2014, 3, 31), QTime(23, 59, 59))};
        QuickQueryInput unticked = all;
        unticked.byCategory = unticked.byCode = unticked.byDate = false;
        QTest::newRow("only ticked boxes") << unticked << base + " and b like ? and d like ?" << true
                                           << QVariantList{"% x", "%%%"};
        QTest::newRow("wide range scans") << byDates(QDate(2014, 1, 1), QDate(2014, 12, 31))
                                          << base + " and +day1>=? and +day1<=?" << true
                                          << QVariantList{QDate(2014, 1, 1), QDateTime(QDate(2014, 12, 31), QTime(23, 59, 59))};
    }

    void statements()
    {
        QFETCH(QuickQueryInput, input);
        QFETCH(QString, text);
        QFETCH(bool, scanDates);
        QFETCH(QVariantList, parameters);
        const SqlStatement statement = LedgerQueries::quickQuery(input, scanDates);
        QCOMPARE(statement.text, text);
        QCOMPARE(statement.parameters, parameters);
    }

    void results_data()
    {
        QTest::addColumn<QuickQueryInput>("input");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("name ends with") << byName("鞋") << QStringList{"运动鞋"};
        QTest::newRow("category contains") << byCategory("鞋") << QStringList{"运动鞋", "鞋垫"};
        QuickQueryInput model;
        model.byModel = true;
        model.model = QStringLiteral("码");
        QTest::newRow("model contains") << model << QStringList{"运动鞋"};
        QuickQueryInput code;
        code.byCode = true;
        code.code = QStringLiteral("SP0");
        QTest::newRow("code ends with") << code << QStringList{"鞋垫"};
        QTest::newRow("typed % is a wildcard") << byName("%") << QStringList{"运动鞋", "鞋垫", "O'Neil", "100%棉"};
        QTest::newRow("typed _ is a wildcard") << byName("_鞋") << QStringList{"运动鞋"};
        QuickQueryInput underscoreCode;
        underscoreCode.byCode = true;
        underscoreCode.code = QStringLiteral("_1");
        QTest::newRow("_ matches any one character") << underscoreCode << QStringList{"O'Neil", "运动鞋", "100%棉"};
        QTest::newRow("a quote is plain text") << byName("'Neil") << QStringList{"O'Neil"};
        QTest::newRow("a blank is part of the pattern") << byName(" 鞋") << QStringList{};
        QTest::newRow("range includes both ends")
            << byDates(QDate(2014, 3, 1), QDate(2014, 3, 12)) << QStringList{"运动鞋", "鞋垫"};
        QTest::newRow("reversed range finds nothing") << byDates(QDate(2014, 3, 12), QDate(2014, 3, 1)) << QStringList{};
        QuickQueryInput both = byCategory("鞋");
        both.byDate = true;
        both.from = QDate(2014, 3, 2);
        both.to = QDate(2014, 3, 31);
        QTest::newRow("conditions combine") << both << QStringList{"鞋垫"};
    }

    void results()
    {
        QFETCH(QuickQueryInput, input);
        QFETCH(QStringList, names);
        m_controller->quickQuery(input);
        QStringList found;
        for (int row = 0; row < m_grid->rowCount(); ++row)
            found << m_grid->cellText(row, 1);
        found.sort();
        names.sort();
        QCOMPARE(found, names);
        QCOMPARE(m_grid->currentRow(), names.isEmpty() ? -1 : 0);
        QCOMPARE(m_grid->footerTextAt(1), QString::number(names.size()));

        // Both ways of writing the date range find the same records.
        for (bool scanDates : {false, true}) {
            const SqlStatement statement = LedgerQueries::quickQuery(input, scanDates);
            mylib::openSql(*m_data->ADOQuery1, statement.text, statement.parameters);
            QStringList direct;
            for (m_data->ADOQuery1->first(); !m_data->ADOQuery1->isEof(); m_data->ADOQuery1->next())
                direct << m_data->ADOQuery1->displayText(QStringLiteral("b"));
            direct.sort();
            QCOMPARE(direct, names);
        }
    }

    // Sales of the Windows version carry a time of day. The grid shows their date
    // alone; a range that ends on that date holds them, and they sort by date.
    void salesWithATimeOfDay_data()
    {
        QTest::addColumn<QuickQueryInput>("input");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("range ends on the day")
            << byDates(QDate(2014, 3, 13), QDate(2014, 3, 31)) << QStringList{"O'Neil", "下午", "午夜"};
        QTest::newRow("range starts on the day") << byDates(QDate(2014, 3, 31), QDate(2014, 4, 30))
                                                 << QStringList{"下午", "午夜"};
        QTest::newRow("one day") << byDates(QDate(2014, 3, 12), QDate(2014, 3, 12)) << QStringList{"鞋垫", "清晨"};
        QTest::newRow("range ends the day before") << byDates(QDate(2014, 3, 13), QDate(2014, 3, 30))
                                                   << QStringList{"O'Neil"};
    }

    void salesWithATimeOfDay()
    {
        QFETCH(QuickQueryInput, input);
        QFETCH(QStringList, names);
        names.sort();
        Connection &db = m_data->ADOQuery15->connection();
        const QVariantList stamps{QDateTime(QDate(2014, 3, 31), QTime(14, 32, 10)),
                                  QDateTime(QDate(2014, 3, 31), QTime(23, 59, 59)),
                                  QDateTime(QDate(2014, 3, 12), QTime(6, 5, 4))};
        const QStringList added{"下午", "午夜", "清晨"};
        for (int i = 0; i < stamps.size(); ++i)
            db.execute(QStringLiteral("insert into data (a, b, \"4\", day1, o) values ('旧', ?, 1, ?, '1')"),
                       {added[i], stamps[i]});

        for (bool scanDates : {false, true}) {
            const SqlStatement statement = LedgerQueries::quickQuery(input, scanDates);
            mylib::openSql(*m_data->ADOQuery1, statement.text, statement.parameters);
            QStringList found;
            for (m_data->ADOQuery1->first(); !m_data->ADOQuery1->isEof(); m_data->ADOQuery1->next())
                found << m_data->ADOQuery1->displayText(QStringLiteral("b"));
            found.sort();
            QCOMPARE(found, names);
        }
        m_controller->quickQuery(input);
        QCOMPARE(m_grid->footerTextAt(1), QString::number(names.size()));
        const int dayColumn = m_grid->positionOfField(QStringLiteral("day1"));
        m_controller->showAllRecords();
        m_data->ADOQuery15->setSort(QStringLiteral("day1"));
        QStringList order, days;
        for (int row = 0; row < m_grid->rowCount(); ++row) {
            order << m_grid->cellText(row, 1);
            days << m_grid->cellText(row, dayColumn);
        }
        // Within a day, sales keep the order they were added in.
        QCOMPARE(order, (QStringList{"100%棉", "运动鞋", "旧运动鞋", "鞋垫", "清晨", "O'Neil", "下午", "午夜"}));
        QCOMPARE(days, (QStringList{"2014-02-28", "2014-03-01", "2014-03-05", "2014-03-12", "2014-03-12",
                                    "2014-03-13", "2014-03-31", "2014-03-31"}));
    }

    void nothingTickedSaysSoThenListsFlaggedRecords()
    {
        m_boxes->expect(QMessageBox::Ok);
        m_controller->quickQuery({});
        QCOMPARE(m_boxes->asked.size(), 1);
        const MessageBoxRequest &box = m_boxes->asked[0].request;
        QCOMPARE(box.text, QStringLiteral("请选择查询条件并在相应的文本框中输入文字或数字"));
        QCOMPARE(box.caption, QStringLiteral("Quillmora"));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(m_grid->rowCount(), 4); // the record flagged "0" is left out
    }

    void showAllListsEveryRecordWithTheLastCurrent()
    {
        m_controller->showAllRecords();
        QCOMPARE(m_grid->rowCount(), 5);
        QCOMPARE(m_grid->currentRow(), 4);
        QCOMPARE(m_data->ADOQuery15->displayText(QStringLiteral("b")), QStringLiteral("旧运动鞋"));
    }

    void sortThenQueryComesBackUnsorted()
    {
        m_controller->showAllRecords();
        m_grid->clickTitle(1);
        m_controller->quickQuery(byCategory(QString()) /* ticked, empty: no condition */);
        QStringList names;
        for (int row = 0; row < m_grid->rowCount(); ++row)
            names << m_grid->cellText(row, 1);
        QCOMPARE(names, (QStringList{"运动鞋", "鞋垫", "O'Neil", "100%棉"}));
        QCOMPARE(m_grid->sortMarkerAt(1), SortMarker::Down);
    }

    void panelRunsTheQueryAndPassesEnterOn()
    {
        QuickQueryPanel panel;
        panel.setController(m_controller.get());
        panel.setDates(QDate(2014, 3, 1));
        QCOMPARE(panel.DBDateTimeEditEh3->text(), QStringLiteral("2014-03-01"));
        QVERIFY(panel.DBDateTimeEditEh2->calendarPopup());
        panel.CheckBox2->setChecked(true);
        panel.Edit23->setText(QStringLiteral("鞋"));
        panel.CheckBox7->setChecked(true);
        panel.DBDateTimeEditEh3->setDate(QDate(2014, 3, 31));
        panel.Button2->click();
        QCOMPARE(m_grid->rowCount(), 1);
        QCOMPARE(m_grid->cellText(0, 1), QStringLiteral("运动鞋"));

        QSignalSpy enter(&panel, &QuickQueryPanel::dateEnterPressed);
        QTest::keyClick(panel.DBDateTimeEditEh2, Qt::Key_Return);
        QTest::keyClick(panel.DBDateTimeEditEh3, Qt::Key_Enter);
        QCOMPARE(enter.size(), 2);
    }

private:
    std::unique_ptr<TestWorkspace> m_workspace;
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<DataGrid> m_grid;
    std::unique_ptr<LedgerController> m_controller;
};

QTEST_MAIN(TestLedgerQueries)
#include "tst_ledgerqueries.moc"
