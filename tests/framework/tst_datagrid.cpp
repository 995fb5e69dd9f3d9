#include "datagrid.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolTip>
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

    // A value wider than its cell is marked where it was cut: a right-aligned one at
    // its start, any other at its end. Its tooltip gives it whole; elsewhere the
    // tooltip is the grid's hint.
    void cutTextsAreMarkedAndWholeInTooltips_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cutAtStart");
        QTest::newRow("centred number") << int(Qt::AlignCenter) << QStringLiteral("2102161.75") << false;
        QTest::newRow("left-aligned text") << int(Qt::AlignLeft) << QStringLiteral("13302037376") << false;
        QTest::newRow("right-aligned number") << int(Qt::AlignRight) << QStringLiteral("650188.65") << true;
    }

    void cutTextsAreMarkedAndWholeInTooltips()
    {
        QFETCH(int, alignment);
        QFETCH(QString, text);
        QFETCH(bool, cutAtStart);
        QList<GridColumn> design = columns({40, 200, 40, 200});
        design[0].alignment = Qt::Alignment(alignment);
        design[0].footerAlignment = Qt::Alignment(alignment);
        m_grid->setColumns(design);
        m_grid->setHint(QStringLiteral("hint"));
        m_grid->setAutoFitColumns(false);
        m_model->setItem(0, 0, new QStandardItem(text));
        m_model->setItem(1, 0, new QStandardItem(QStringLiteral("12")));
        m_grid->setFooterText(QStringLiteral("f0"), text);
        m_grid->setFooterText(QStringLiteral("f1"), text);
        QApplication::processEvents();

        const QString ellipsis(QChar(0x2026));
        for (const QString &shown : {m_grid->shownCellText(0, 0), m_grid->shownFooterText(0)}) {
            QVERIFY2(shown.size() >= 2 && shown.size() < text.size(), qPrintable(shown));
            if (cutAtStart) {
                QVERIFY2(shown.startsWith(ellipsis) && text.endsWith(shown.mid(1)), qPrintable(shown));
            } else {
                QVERIFY2(shown.endsWith(ellipsis) && text.startsWith(shown.chopped(1)), qPrintable(shown));
            }
        }
        // What fits is shown as it is.
        QCOMPARE(m_grid->shownCellText(1, 0), QStringLiteral("12"));
        QCOMPARE(m_grid->shownFooterText(1), text);

        auto tooltipAt = [](QWidget *widget, QPoint pos) {
            QToolTip::hideText();
            QHelpEvent event(QEvent::ToolTip, pos, widget->mapToGlobal(pos));
            QApplication::sendEvent(widget, &event);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QWidget *viewport = m_grid->view()->viewport();
        const QModelIndex cut = m_model->index(0, 0);
        QCOMPARE(tooltipAt(viewport, m_grid->view()->visualRect(cut).center()), text);
        QCOMPARE(tooltipAt(viewport, m_grid->view()->visualRect(m_model->index(1, 0)).center()), QStringLiteral("hint"));
        QWidget *footer = m_grid->footerBar();
        const int origin = viewport->mapTo(m_grid.get(), QPoint(0, 0)).x() - footer->x();
        QCOMPARE(tooltipAt(footer, QPoint(origin + 20, footer->height() / 2)), text);
        QCOMPARE(tooltipAt(footer, QPoint(origin + 40 + 100, footer->height() / 2)), QStringLiteral("hint"));
        QToolTip::hideText();
    }

private:
    std::unique_ptr<DataGrid> m_grid;
    std::unique_ptr<QStandardItemModel> m_model;
};

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
