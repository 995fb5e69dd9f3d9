#include "clock.h"
#include "customerdebtsmodel.h"
#include "customerdebtswindow.h"
#include "datagrid.h"
#include "datamodule.h"
#include "ledgerfixture.h"
#include "mainform.h"
#include "quickquerypanel.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

// The ledger grid and quick query as the main window wires them.
class TestMainFormLedger : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_workspace = std::make_unique<TestWorkspace>();
        m_boxes = &ScriptedMessageBoxes::install();
        Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(9, 0)));
        m_form = std::make_unique<TMainForm>();
        m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
        addSale(*m_data->ADOConnection1, {"运动鞋", "跑步鞋", 10.0, 2.0, 0.0});
        addSale(*m_data->ADOConnection1, {"鞋类配件", "鞋垫", 5.0, 1.0, 0.0});
        m_form->showStep();
    }

    void cleanup()
    {
        QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
        m_form.reset();
        m_data.reset();
        Clock::setFixedNow(std::nullopt);
        m_workspace.reset();
    }

    // Another terminal's sale shows as a note in place of the last status panel, the
    // grid untouched; a click on the note reads the ledger again and the note goes.
    void changeNoteShowsAndRefreshesOnAClick()
    {
        DataGrid *grid = m_form->findChild<DataGrid *>(QStringLiteral("DBGridEh1"));
        QVERIFY(grid);
        m_form->Button12->click();
        QCOMPARE(grid->rowCount(), 2);
        QVERIFY(m_form->changeNote->isHidden());

        Tdmfm otherTerminal(m_workspace->dataSource());
        otherTerminal.openAppendTable();
        Dataset &table = *otherTerminal.ADOTable5;
        table.append();
        table.setValue(QStringLiteral("b"), QStringLiteral("袜子"));
        table.post();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->changeNote->isHidden(), 3000);
        QCOMPARE(m_form->changeNote->text(), QStringLiteral("其他终端新增 1 笔，点此刷新"));
        QVERIFY(m_form->statusPanels[3]->isHidden());
        QCOMPARE(grid->rowCount(), 2);

        QTest::mouseClick(m_form->changeNote, Qt::LeftButton);
        QCOMPARE(grid->rowCount(), 3);
        QVERIFY(m_form->changeNote->isHidden());
        QVERIFY(!m_form->statusPanels[3]->isHidden());
    }

    void gridQueryAndHideOptions()
    {
        DataGrid *grid = m_form->findChild<DataGrid *>(QStringLiteral("DBGridEh1"));
        QVERIFY(grid);
        QCOMPARE(m_form->GroupBox5->DBDateTimeEditEh2->date(), QDate(2014, 3, 12));
        QVERIFY(m_form->GroupBox5->findChild<QPushButton *>(QStringLiteral("Button4")));
        QVERIFY(!m_form->Button12->isVisibleTo(m_form.get()));

        m_form->Button12->click();
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->currentRow(), 1);
        QCOMPARE(grid->footerTextAt(7), QStringLiteral("15"));

        m_form->GroupBox5->CheckBox2->setChecked(true);
        m_form->GroupBox5->Edit23->setText(QStringLiteral("垫"));
        m_form->GroupBox5->Button2->click();
        QCOMPARE(grid->rowCount(), 1);

        m_form->CheckBox5->click();
        QVERIFY(!grid->isColumnVisibleAt(4) && !grid->isColumnVisibleAt(8));
        QVERIFY(grid->isColumnVisibleAt(11));
        m_form->CheckBox6->click();
        QVERIFY(!grid->isColumnVisibleAt(11) && !grid->isColumnVisibleAt(13));
        m_form->CheckBox5->click();
        QVERIFY(grid->isColumnVisibleAt(4) && grid->isColumnVisibleAt(8));
        QVERIFY(!grid->isColumnVisibleAt(12));

        // The grid's hint reaches the first status panel.
        QStatusTipEvent tip(grid->view()->viewport()->statusTip());
        QApplication::sendEvent(m_form.get(), &tip);
        QCOMPARE(m_form->statusPanels[0]->text(), QStringLiteral("点列标题进行排序，双击记录进行修改"));
    }

    // "欠 款" opens one debts window over the main window's data and grid; a second
    // click brings the same window back with its list read afresh.
    void debtsButtonOpensOneWindow()
    {
        addSale(*m_data->ADOConnection1, {"运动鞋", "球鞋", 8.0, 1.0, 7.5});
        m_form->debtsButton->click();
        auto debtsWindows = [] {
            QList<CustomerDebtsWindow *> windows;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *window = qobject_cast<CustomerDebtsWindow *>(widget); window && window->isVisible())
                    windows << window;
            }
            return windows;
        };
        const QList<CustomerDebtsWindow *> windows = debtsWindows();
        QCOMPARE(windows.size(), 1);
        CustomerDebtsWindow *window = windows.first();
        QVERIFY(window->isVisible());
        QCOMPARE(window->model()->shownCount(), 1);
        QCOMPARE(window->model()->shownAt(0).listName(), QStringLiteral("（未填客户）"));

        addSale(*m_data->ADOConnection1, {"运动鞋", "拖鞋", 3.0, 1.0, 2.5});
        m_form->debtsButton->click();
        QCOMPARE(debtsWindows().size(), 1);
        QCOMPARE(window->model()->shownAt(0).owedText(), QStringLiteral("10"));

        window->showChosenSales();
        DataGrid *grid = m_form->DBGridEh1;
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->footerTextAt(grid->positionOfField(QStringLiteral("5"))), QStringLiteral("10"));
        // The window goes with the main window.
        QPointer<CustomerDebtsWindow> alive(window);
        m_form.reset();
        QVERIFY(!alive);
    }

private:
    std::unique_ptr<TestWorkspace> m_workspace;
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::unique_ptr<TMainForm> m_form;
    std::unique_ptr<Tdmfm> m_data;
};

QTEST_MAIN(TestMainFormLedger)
#include "tst_mainformledger.moc"
