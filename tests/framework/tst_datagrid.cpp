#include "datagrid.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

namespace {

QList<GridColumn> columns(const QList<int> &widths)
{
    QList<GridColumn> result;
    for (int i = 0; i < widths.size(); ++i) {
        GridColumn column;
        column.field = QStringLiteral("f%1").arg(i);
        column.title = QStringLiteral("T%1").arg(i);
        column.defaultWidth = widths[i];
        result << column;
    }
    return result;
}

int visibleWidthSum(const DataGrid &grid)
{
    int sum = 0;
    for (int position = 0; position < grid.columnCount(); ++position) {
        if (grid.isColumnVisibleAt(position))
            sum += grid.columnWidthAt(position);
    }
    return sum;
}

} // namespace

class TestDataGrid : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_grid = std::make_unique<DataGrid>();
        m_model = std::make_unique<QStandardItemModel>(3, 4);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 4; ++column)
                m_model->setItem(row, column, new QStandardItem(QStringLiteral("r%1c%2").arg(row).arg(column)));
        m_grid->setColumns(columns({100, 50, 50, 200}));
        m_grid->setModel(m_model.get());
        m_grid->resize(812, 300);
        m_grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    }

    void cleanup()
    {
        m_grid.reset();
        m_model.reset();
    }

    void widthsFillTheGridInProportion()
    {
        const int available = m_grid->view()->viewport()->width();
        QCOMPARE(visibleWidthSum(*m_grid), available);
        QVERIFY(qAbs(m_grid->columnWidthAt(3) - 4 * m_grid->columnWidthAt(1)) <= 2);
        QCOMPARE(m_grid->view()->horizontalScrollBar()->isVisible(), false);

        // A hidden column gives its share to the others and takes it back when shown.
        const int before = m_grid->columnWidthAt(0);
        m_grid->setColumnVisibleAt(3, false);
        QCOMPARE(visibleWidthSum(*m_grid), available);
        QVERIFY(m_grid->columnWidthAt(0) >= 2 * before - 1);
        m_grid->setColumnVisibleAt(3, true);
        QVERIFY(qAbs(m_grid->columnWidthAt(0) - before) <= 1);

        // A wider grid widens every column.
        m_grid->resize(1212, 300);
        QCOMPARE(visibleWidthSum(*m_grid), m_grid->view()->viewport()->width());
        QVERIFY(m_grid->columnWidthAt(0) > before);
    }

    void draggedBorderKeepsLeftColumnsAndRefitsRightOnes()
    {
        const int available = m_grid->view()->viewport()->width();
        const int first = m_grid->columnWidthAt(0);
        m_grid->titleHeader()->resizeSection(m_grid->logicalIndexAt(1), 150);
        QCOMPARE(m_grid->columnWidthAt(0), first);
        QCOMPARE(m_grid->columnWidthAt(1), 150);
        QCOMPARE(visibleWidthSum(*m_grid), available);
        // The remaining two keep their 1:4 proportion.
        QVERIFY(qAbs(m_grid->columnWidthAt(3) - 4 * m_grid->columnWidthAt(2)) <= 2);
    }

    void fittingOffRestoresBaseWidthsAndOnAdoptsCurrentOnes()
    {
        m_grid->setAutoFitColumns(false);
        QCOMPARE(m_grid->columnWidthAt(0), 100);
        QCOMPARE(m_grid->columnWidthAt(3), 200);
        m_grid->setColumnWidthAt(0, 300);
        m_grid->setColumnWidthAt(1, 300);
        m_grid->setAutoFitColumns(true);
        QCOMPARE(m_grid->baseWidthAt(0), 300);
        QCOMPARE(visibleWidthSum(*m_grid), m_grid->view()->viewport()->width());
        QVERIFY(qAbs(m_grid->columnWidthAt(0) - m_grid->columnWidthAt(1)) <= 1);
        QVERIFY(qAbs(m_grid->columnWidthAt(0) - 6 * m_grid->columnWidthAt(2)) <= 6);
    }

    void positionsFollowMovedColumns()
    {
        m_grid->moveColumn(3, 0);
        QCOMPARE(m_grid->fieldAt(0), QStringLiteral("f3"));
        QCOMPARE(m_grid->fieldAt(1), QStringLiteral("f0"));
        QCOMPARE(m_grid->positionOfField(QStringLiteral("f2")), 3);
        QCOMPARE(m_grid->cellText(1, 0), QStringLiteral("r1c3"));
        m_grid->setColumnVisibleAt(0, false);
        QVERIFY(m_grid->titleHeader()->isSectionHidden(3));
        QVERIFY(!m_grid->titleHeader()->isSectionHidden(0));
    }

    void markerCycle_data()
    {
        QTest::addColumn<SortMarker>("before");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<SortMarker>("after");
        QTest::newRow("none") << SortMarker::None << false << SortMarker::Down;
        QTest::newRow("down") << SortMarker::Down << false << SortMarker::Up;
        QTest::newRow("up") << SortMarker::Up << false << SortMarker::Down;
        QTest::newRow("ctrl none") << SortMarker::None << true << SortMarker::Down;
        QTest::newRow("ctrl down") << SortMarker::Down << true << SortMarker::Up;
        QTest::newRow("ctrl up clears") << SortMarker::Up << true << SortMarker::None;
    }

    void markerCycle()
    {
        QFETCH(SortMarker, before);
        QFETCH(bool, ctrl);
        QFETCH(SortMarker, after);
        m_grid->setSortMarkerAt(2, before);
        QList<SortMarker> reported;
        connect(m_grid.get(), &DataGrid::titleClicked, this,
                [&](int position, SortMarker marker, Qt::KeyboardModifiers) {
                    QCOMPARE(position, 2);
                    reported << marker;
                });
        // A real mouse click on the title, with or without Ctrl.
        QHeaderView *header = m_grid->titleHeader();
        const int logical = m_grid->logicalIndexAt(2);
        const QPoint centre(header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, ctrl ? Qt::ControlModifier : Qt::NoModifier, centre);
        QCOMPARE(reported, QList<SortMarker>{before});
        QCOMPARE(m_grid->sortMarkerAt(2), after);
        QCOMPARE(m_grid->sortRankAt(2), after == SortMarker::None ? 0 : 1);
    }

    void oneMarkerAtATimeAndRejectedClicksKeepIt()
    {
        m_grid->clickTitle(0);
        m_grid->clickTitle(1);
        QCOMPARE(m_grid->sortMarkerAt(0), SortMarker::None);
        QCOMPARE(m_grid->sortRankAt(0), 0);
        QCOMPARE(m_grid->sortMarkerAt(1), SortMarker::Down);

        connect(m_grid.get(), &DataGrid::titleClicked, this, [this] { m_grid->rejectTitleClick(); });
        m_grid->clickTitle(1);
        m_grid->clickTitle(3);
        QCOMPARE(m_grid->sortMarkerAt(1), SortMarker::Down);
        QCOMPARE(m_grid->sortMarkerAt(3), SortMarker::None);
    }

    void looksAndFooters()
    {
        QList<GridColumn> design = columns({60, 60, 60, 60});
        design[1].titleBackground = QColor(0x80, 0, 0);
        design[1].titleColor = Qt::white;
        design[2].footerBackground = QColor(0, 0x80, 0x80);
        design[2].footerText = QStringLiteral("fixed");
        design[3].cellColor = Qt::red;
        m_grid->setColumns(design);
        m_grid->setTitleBackground(QColor(0xA6, 0xCA, 0xF0));
        m_grid->setFooterBackground(QColor(0xFF, 0xB3, 0xB3));
        m_grid->setRowColors(Qt::white, QColor(0xEE, 0xEE, 0xEE));
        m_grid->setFooterText(QStringLiteral("f0"), QStringLiteral("live"));

        QCOMPARE(m_grid->titleLook(0).background, QColor(0xA6, 0xCA, 0xF0));
        QCOMPARE(m_grid->titleLook(1).background, QColor(0x80, 0, 0));
        QCOMPARE(m_grid->titleLook(1).foreground, QColor(Qt::white));
        QCOMPARE(m_grid->footerLook(0).background, QColor(0xFF, 0xB3, 0xB3));
        QCOMPARE(m_grid->footerLook(2).background, QColor(0, 0x80, 0x80));
        QCOMPARE(m_grid->cellLook(0, 3).foreground, QColor(Qt::red));
        QCOMPARE(m_grid->rowBackground(0), QColor(Qt::white));
        QCOMPARE(m_grid->rowBackground(1), QColor(0xEE, 0xEE, 0xEE));
        QCOMPARE(m_grid->footerTextAt(0), QStringLiteral("live"));
        QCOMPARE(m_grid->footerTextAt(2), QStringLiteral("fixed"));
        QCOMPARE(m_grid->footerTextAt(3), QString());

        // The footer cells are drawn under their columns, also after a move.
        m_grid->moveColumn(2, 0);
        QApplication::processEvents();
        const QImage footer = m_grid->footerBar()->grab().toImage();
        const int x = m_grid->view()->viewport()->mapTo(m_grid.get(), QPoint(0, 0)).x() + m_grid->columnWidthAt(0) / 2;
        QCOMPARE(footer.pixelColor(x, 2), QColor(0, 0x80, 0x80));
        const int x2 = x + m_grid->columnWidthAt(0);
        QCOMPARE(footer.pixelColor(x2, 2), QColor(0xFF, 0xB3, 0xB3));
    }

private:
    std::unique_ptr<DataGrid> m_grid;
    std::unique_ptr<QStandardItemModel> m_model;
};

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
