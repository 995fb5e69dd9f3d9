#include "admingate.h"
#include "backupwindow.h"
#include "changeswindow.h"
#include "clock.h"
#include "connection.h"
#include "datamodule.h"
#include "dataset.h"
#include "ledgerbackup.h"
#include "mainform.h"
#include "recyclebinwindow.h"
#include "restorewindow.h"
#include "restoreatstart.h"
#include "salejournal.h"
#include "schema.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QtTest>

namespace {

const QDateTime kNow(QDate(2024, 5, 6), QTime(9, 15, 0));

void addSale(Connection &connection, const QString &name, double total)
{
    connection.execute(QStringLiteral("insert into data (a, b, \"1\", \"2\", \"3\", \"6\", \"4\", \"5\", e, day1) "
                                      "values ('服装', ?, 10, ?, 1, ?, ?, 0, '王芳', ?)"),
                       {name, total, total, total - 10, QDate(2024, 5, 1)});
}

// Makes the ledger's current row the sale named `name`.
void goTo(Dataset &ledger, const QString &name)
{
    for (int row = 0; row < ledger.recordCount(); ++row) {
        ledger.setCurrentRow(row);
        if (ledger.value(QStringLiteral("b")).toString() == name)
            return;
    }
    QFAIL(qPrintable(QStringLiteral("no sale named ") + name));
}

QStringList rowTexts(QTableWidget *table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

QStringList headers(QTableWidget *table)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << table->horizontalHeaderItem(column)->text();
    return texts;
}

void unlock(AdminGate *gate, const QString &password)
{
    gate->passwordBox->setText(password);
    QTest::mouseClick(gate->unlockButton, Qt::LeftButton);
}

// A window of this kind that the menu opened.
template<typename Window>
Window *openedWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

// The backups of the engine under test: copies of the file, or the server's dumps.
QString extension()
{
    return TestWorkspace::onServer() ? QStringLiteral("dump") : QStringLiteral("mdb");
}

void keepPicture(QWidget *window, const QString &name)
{
    QDir().mkpath(QStringLiteral(ARTIFACTS_DIR));
    window->grab().save(QStringLiteral(ARTIFACTS_DIR "/recovery-%1%2.png")
                            .arg(name, TestWorkspace::onServer() ? QStringLiteral("-server") : QString()));
}

} // namespace

class RecoveryWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_boxes = &ScriptedMessageBoxes::install();
        m_workspace = std::make_unique<TestWorkspace>();
        m_module = std::make_unique<Tdmfm>(m_workspace->dataSource());
        m_module->setOperatorName(QStringLiteral("收银员"));
        Clock::setFixedNow(kNow);
        m_form = std::make_unique<TMainForm>();
        m_form->setRestarter([this](const QString &path) { m_restarts << path; });
    }
    void cleanup()
    {
        for (const MessageBoxRequest &box : m_boxes->unexpected)
            qWarning("unexpected box: %s", qPrintable(box.text));
        QVERIFY(m_boxes->unexpected.isEmpty());
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget != m_form.get() && widget->testAttribute(Qt::WA_DeleteOnClose))
                widget->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_form.reset();
        Clock::setFixedNow(std::nullopt);
        m_module.reset();
        m_workspace.reset();
        m_restarts.clear();
    }

    void windowsStayLockedUntilThePassword_data();
    void windowsStayLockedUntilThePassword();
    void recycleBinPutsADeletedSaleBack();
    void changesShowEachSalesHistory();
    void backupFromTheMenu();
    void restoreFromTheMenuRestarts();
    void windowsOpenCentredWithColumnsWhole_data();
    void windowsOpenCentredWithColumnsWhole();
    void restoreAtStart();

private:
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_module;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_restarts;
};

void RecoveryWindowsTest::windowsStayLockedUntilThePassword_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("回收站") << "recycleBinAction";
    QTest::newRow("修改记录") << "changesAction";
    QTest::newRow("恢复数据") << "restoreAction";
    QTest::newRow("备份数据") << "backupAction";
}

void RecoveryWindowsTest::windowsStayLockedUntilThePassword()
{
    QFETCH(QString, action);
    QAction *item = m_form->findChild<QAction *>(action);
    QVERIFY(item);
    item->trigger();
    QWidget *window = QApplication::activeWindow();
    AdminGate *gate = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget != m_form.get() && (gate = widget->findChild<AdminGate *>()))
            break;
    }
    QVERIFY(gate);
    window = gate->window();
    QVERIFY(window->windowTitle().endsWith(QStringLiteral("—(管理员专用)")));
    // Even a logged-in cashier needs the super administrator's password.
    m_boxes->expect(QMessageBox::Ok);
    unlock(gate, QStringLiteral("948"));
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("密码不对！"));
    QVERIFY(!gate->isUnlocked());
    for (QTableWidget *table : window->findChildren<QTableWidget *>())
        QVERIFY(!table->isEnabled());
    QVERIFY(!QDir(m_workspace->filePath(QStringLiteral("backups"))).exists());

    m_boxes->expect(QMessageBox::Ok);
    if (action == QLatin1String("backupAction"))
        m_boxes->expect(QMessageBox::Ok); // the backup's own report
    unlock(gate, QStringLiteral("947"));
    QCOMPARE(m_boxes->asked.at(1).request.text, QStringLiteral("超级管理员登录成功！"));
    QVERIFY(gate->isUnlocked());
    for (QTableWidget *table : window->findChildren<QTableWidget *>())
        QVERIFY(table->isEnabled());
}

void RecoveryWindowsTest::recycleBinPutsADeletedSaleBack()
{
    Connection &connection = *m_module->ADOConnection1;
    addSale(connection, QStringLiteral("速干T恤"), 59.9);
    addSale(connection, QStringLiteral("跑步鞋"), 399.8);
    addSale(connection, QStringLiteral("篮球"), 120);
    Dataset &ledger = *m_module->ADOQuery15;
    ledger.open();
    goTo(ledger, QStringLiteral("跑步鞋"));
    ledger.deleteCurrent();
    Clock::setFixedNow(kNow.addSecs(300));
    m_module->setOperatorName(QStringLiteral("店长"));
    goTo(ledger, QStringLiteral("篮球"));
    ledger.deleteCurrent();
    // The main window opens the ledger itself, as at start-up.
    ledger.close();
    m_form->showStep();
    m_form->showAllRecords();
    QCOMPARE(m_form->DBGridEh1->view()->model()->rowCount(), 1);

    m_form->recycleBinAction->trigger();
    RecycleBinWindow *bin = openedWindow<RecycleBinWindow>();
    QVERIFY(bin);
    QCOMPARE(bin->deletedSales->rowCount(), 0);
    m_boxes->expect(QMessageBox::Ok);
    unlock(bin->gate, QStringLiteral("947"));
    QCOMPARE(bin->deletedSales->rowCount(), 2);
    const QStringList titles = headers(bin->deletedSales);
    QCOMPARE(titles.mid(0, 3), (QStringList{"删除时间", "操作员", "终端"}));
    QVERIFY2(titles.contains(QStringLiteral("商品名称")) || titles.contains(QStringLiteral("b")), qPrintable(titles.join(',')));
    // Newest first, with who deleted it, when, and on which terminal.
    const QString terminal = QSysInfo::machineHostName();
    QVERIFY(!terminal.isEmpty());
    QCOMPARE(rowTexts(bin->deletedSales, 0).mid(0, 3), (QStringList{"2024-05-06 09:20:00", "店长", terminal}));
    QVERIFY(rowTexts(bin->deletedSales, 0).contains(QStringLiteral("篮球")));
    QCOMPARE(rowTexts(bin->deletedSales, 1).mid(0, 3), (QStringList{"2024-05-06 09:15:00", "收银员", terminal}));
    QVERIFY(rowTexts(bin->deletedSales, 1).contains(QStringLiteral("399.8")));
    keepPicture(bin, QStringLiteral("recyclebin"));

    // Nothing chosen; then a choice the confirmation cancels.
    m_boxes->expect(QMessageBox::Ok);
    bin->deletedSales->clearSelection();
    bin->deletedSales->setCurrentCell(-1, -1);
    QTest::mouseClick(bin->putBackButton, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("请先在列表中选择要恢复的记录！"));
    bin->deletedSales->selectRow(1);
    m_boxes->expect(QMessageBox::Cancel);
    QTest::mouseClick(bin->putBackButton, Qt::LeftButton);
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), 1);

    bin->deletedSales->selectRow(1);
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(bin->putBackButton, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("记录已恢复到账本中。"));
    QCOMPARE(connection.scalar(QStringLiteral("select \"6\" from data where b='跑步鞋'")).toDouble(), 399.8);
    QCOMPARE(bin->deletedSales->rowCount(), 1);
    // The main window shows the ledger again, with the sale in it.
    QCOMPARE(m_form->DBGridEh1->view()->model()->rowCount(), 2);
}

void RecoveryWindowsTest::changesShowEachSalesHistory()
{
    Connection &connection = *m_module->ADOConnection1;
    addSale(connection, QStringLiteral("速干T恤"), 59.9);
    addSale(connection, QStringLiteral("跑步鞋"), 399.8);
    Dataset &ledger = *m_module->ADOQuery15;
    ledger.open();
    goTo(ledger, QStringLiteral("跑步鞋"));
    ledger.edit();
    ledger.setValue(QStringLiteral("6"), 380.0);
    ledger.post();
    Clock::setFixedNow(kNow.addSecs(60));
    ledger.edit();
    ledger.setValue(QStringLiteral("e"), QStringLiteral("李雷"));
    ledger.post();

    m_form->changesAction->trigger();
    ChangesWindow *changes = openedWindow<ChangesWindow>();
    QVERIFY(changes);
    m_boxes->expect(QMessageBox::Ok);
    unlock(changes->gate, QStringLiteral("947"));
    QCOMPARE(changes->changedSales->rowCount(), 1);
    const QStringList sale = rowTexts(changes->changedSales, 0);
    QCOMPARE(sale.mid(0, 2), (QStringList{"2024-05-06 09:16:00", "2"}));
    QVERIFY(sale.contains(QStringLiteral("李雷")) && sale.contains(QStringLiteral("380")));
    QCOMPARE(changes->history->rowCount(), 2);
    const QStringList newest = rowTexts(changes->history, 0);
    const QStringList oldest = rowTexts(changes->history, 1);
    QCOMPARE(headers(changes->history).mid(0, 3), (QStringList{"修改时间", "操作员", "终端"}));
    QCOMPARE(newest.mid(0, 3), (QStringList{"2024-05-06 09:16:00", "收银员", QSysInfo::machineHostName()}));
    QVERIFY(newest.contains(QStringLiteral("王芳")) && newest.contains(QStringLiteral("380")));
    QVERIFY(oldest.contains(QStringLiteral("王芳")) && oldest.contains(QStringLiteral("399.8")));
    keepPicture(changes, QStringLiteral("changes"));
}

void RecoveryWindowsTest::backupFromTheMenu()
{
    addSale(*m_module->ADOConnection1, QStringLiteral("跑步鞋"), 399.8);
    m_form->backupAction->trigger();
    BackupWindow *window = openedWindow<BackupWindow>();
    QVERIFY(window);
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    unlock(window->gate, QStringLiteral("947"));
    const QString made = m_workspace->filePath(QStringLiteral("backups/data-20240506-091500.") + extension());
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("数据已备份到：\n") + made);
    QCOMPARE(LedgerBackup::forSource(m_module->dataSource(), m_module->dataFolder())->check(made), 1);
    keepPicture(window, QStringLiteral("backup"));

    // "复制到其他位置…": the newest backup onto a stick, checked there; a stick that
    // is gone is said so.
    const QString stick = m_workspace->filePath(QStringLiteral("stick"));
    QDir().mkpath(stick);
    QString chosen = stick;
    BackupWindow::setFolderChooser([&chosen](QWidget *) { return chosen; });
    auto forget = qScopeGuard([] { BackupWindow::setFolderChooser({}); });
    QVERIFY(window->copyButton->isEnabled());
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(window->copyButton, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.icon, QMessageBox::Information);
    QVERIFY2(m_boxes->asked.last().request.text.contains(QFileInfo(made).fileName()), qPrintable(m_boxes->asked.last().request.text));
    QCOMPARE(LedgerBackup::forSource(m_module->dataSource(), m_module->dataFolder())->check(QDir(stick).filePath(QFileInfo(made).fileName())), 1);
    chosen = m_workspace->filePath(QStringLiteral("gone"));
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(window->copyButton, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.icon, QMessageBox::Critical);
    QVERIFY(m_boxes->asked.last().request.text.startsWith(QStringLiteral("复制备份失败：")));
}

void RecoveryWindowsTest::restoreFromTheMenuRestarts()
{
    const auto backups = LedgerBackup::forSource(m_module->dataSource(), m_module->dataFolder());
    Clock::setFixedNow(kNow.addDays(-1));
    const QString good = backups->backup(m_module->ADOConnection1.get());
    addSale(*m_module->ADOConnection1, QStringLiteral("跑步鞋"), 399.8);
    Clock::setFixedNow(kNow);
    const QString later = backups->backup(m_module->ADOConnection1.get());
    // A backup that was damaged on the disk since.
    const QString damaged = m_workspace->filePath(QStringLiteral("backups/data-20240501-180000.") + extension());
    QVERIFY(QFile::copy(later, damaged));
    {
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        file.write(QByteArray(512, '\x5a'));
    }

    m_form->restoreAction->trigger();
    RestoreWindow *window = openedWindow<RestoreWindow>();
    QVERIFY(window);
    m_boxes->expect(QMessageBox::Ok);
    unlock(window->gate, QStringLiteral("947"));
    QCOMPARE(window->backupList->rowCount(), 3);
    QCOMPARE(rowTexts(window->backupList, 0).at(0), QStringLiteral("2024-05-06 09:15:00"));
    QCOMPARE(rowTexts(window->backupList, 0).at(2), QStringLiteral("1"));
    QCOMPARE(rowTexts(window->backupList, 1).at(2), QStringLiteral("0"));
    QCOMPARE(rowTexts(window->backupList, 2).at(3), QFileInfo(damaged).fileName());
    keepPicture(window, QStringLiteral("restore"));
    if (!TestWorkspace::onServer()) {
        // One made with a key this machine does not know is told apart from damage.
        const QString foreign = m_workspace->filePath(QStringLiteral("backups/data-20240401-180000.mdb"));
        {
            Connection other(foreign, QByteArrayLiteral("another shop's key"), Connection::OpenMode::CreateFile);
            Schema::createTables(other);
        }
        window->refresh();
        QCOMPARE(window->backupList->rowCount(), 4);
        QCOMPARE(rowTexts(window->backupList, 3).at(2), QStringLiteral("无法打开（已损坏或密钥不同）"));
        QFile::remove(foreign);
        window->refresh();
    }

    // The damaged one is refused before anything happens.
    window->backupList->selectRow(2);
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(window->restoreButton, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.icon, QMessageBox::Critical);
    QVERIFY(m_boxes->asked.last().request.text.startsWith(QStringLiteral("这个备份不能使用，数据没有改变。")));
    // A good one, not confirmed; then confirmed: the program restarts with it.
    window->backupList->selectRow(1);
    m_boxes->expect(QMessageBox::Cancel);
    QTest::mouseClick(window->restoreButton, Qt::LeftButton);
    QVERIFY(m_restarts.isEmpty());
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(window->restoreButton, Qt::LeftButton);
    QVERIFY(m_boxes->asked.last().request.text.contains(QStringLiteral("2024-05-05 09:15:00")));
    QCOMPARE(m_restarts, QStringList{good});
}

void RecoveryWindowsTest::windowsOpenCentredWithColumnsWhole_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("回收站") << "recycleBinAction";
    QTest::newRow("修改记录") << "changesAction";
    QTest::newRow("恢复数据") << "restoreAction";
}

void RecoveryWindowsTest::windowsOpenCentredWithColumnsWhole()
{
    QFETCH(QString, action);
    Connection &connection = *m_module->ADOConnection1;
    addSale(connection, QStringLiteral("防风外套（加厚款）"), 123456789.5);
    addSale(connection, QStringLiteral("跑步鞋"), 399.8);
    Dataset &ledger = *m_module->ADOQuery15;
    ledger.open();
    goTo(ledger, QStringLiteral("防风外套（加厚款）"));
    ledger.edit();
    ledger.setValue(QStringLiteral("5"), 98765432.25);
    ledger.post();
    goTo(ledger, QStringLiteral("跑步鞋"));
    ledger.deleteCurrent();
    LedgerBackup::forSource(m_module->dataSource(), m_module->dataFolder())->backup(&connection);
    ledger.close();
    m_form->setGeometry(40, 40, 720, 480);
    m_form->show();

    m_form->findChild<QAction *>(action)->trigger();
    AdminGate *gate = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget != m_form.get() && (gate = widget->findChild<AdminGate *>()))
            break;
    }
    QVERIFY(gate);
    QWidget *window = gate->window();
    auto offCentre = [&] { return window->frameGeometry().center() - m_form->frameGeometry().center(); };
    QVERIFY2(offCentre().manhattanLength() <= 8, qPrintable(QStringLiteral("%1,%2").arg(offCentre().x()).arg(offCentre().y())));
    m_boxes->expect(QMessageBox::Ok);
    unlock(gate, QStringLiteral("947"));
    QVERIFY2(offCentre().manhattanLength() <= 8, qPrintable(QStringLiteral("%1,%2").arg(offCentre().x()).arg(offCentre().y())));

    const QRect screen = window->screen()->availableGeometry();
    for (QTableWidget *table : window->findChildren<QTableWidget *>()) {
        QVERIFY(table->rowCount() > 0);
        QHeaderView *header = table->horizontalHeader();
        // Every title and value fits its column, with the cell's margins.
        for (int column = 0; column < table->columnCount(); ++column) {
            int wanted = header->sectionSizeHint(column);
            for (int row = 0; row < table->rowCount(); ++row) {
                if (table->item(row, column))
                    wanted = std::max(wanted, table->fontMetrics().horizontalAdvance(table->item(row, column)->text()) + 4);
            }
            QVERIFY2(header->sectionSize(column) >= wanted,
                     qPrintable(QStringLiteral("%1 is %2 wide for %3").arg(table->horizontalHeaderItem(column)->text())
                                    .arg(header->sectionSize(column)).arg(wanted)));
        }
        // All of them side by side, unless the screen is narrower than they are.
        QVERIFY2(header->length() <= table->viewport()->width() || window->width() >= screen.width() - 16,
                 qPrintable(QStringLiteral("%1 of %2").arg(table->viewport()->width()).arg(header->length())));
    }
    keepPicture(window, QStringLiteral("placed-") + action);
}

void RecoveryWindowsTest::restoreAtStart()
{
    const auto backups = LedgerBackup::forSource(m_module->dataSource(), m_module->dataFolder());
    const QString taken = backups->backup(m_module->ADOConnection1.get());
    addSale(*m_module->ADOConnection1, QStringLiteral("跑步鞋"), 399.8);
    QCOMPARE(RestoreAtStart::restartArguments({"/usr/bin/quillmora", "--data-folder", "--restore-backup", "old"}, taken),
             (QStringList{"--restore-backup", taken, "--data-folder"}));
    const QStringList arguments{QStringLiteral("quillmora"), QStringLiteral("--restore-backup"), taken};

    // The old program still has the ledger: the restore gives up, says so, changes nothing.
    m_boxes->expect(QMessageBox::Ok);
    QVERIFY(!RestoreAtStart::run(arguments, 300));
    QVERIFY(m_boxes->asked.last().request.text.startsWith(QStringLiteral("数据恢复失败，数据没有改变。")));
    QCOMPARE(m_module->ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 1);

    m_form.reset();
    m_module.reset();
    m_boxes->expect(QMessageBox::Ok);
    QVERIFY(RestoreAtStart::run(arguments, 300));
    QVERIFY2(m_boxes->asked.last().request.text.startsWith(QStringLiteral("数据已从备份 %1 恢复。").arg(QFileInfo(taken).fileName())),
             qPrintable(m_boxes->asked.last().request.text));
    Tdmfm restored(m_workspace->dataSource());
    QCOMPARE(restored.ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    QVERIFY(RestoreAtStart::run({QStringLiteral("quillmora")}));
}

QTEST_MAIN(RecoveryWindowsTest)
#include "tst_recoverywindows.moc"
