#include "appinfo.h"
#include "connection.h"
#include "datamodule.h"
#include "dateeditor.h"
#include "entrycommands.h"
#include "entrypanel.h"
#include "guardedcommand.h"
#include "ledgeractions.h"
#include "schema.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

// One sales record as the columns of table data hold it: a|b|c|d|1|2|3|6|4|5|e|f|h|z|day1|o.
const char *kRecordColumns = R"(a,b,c,d,"1","2","3","6","4","5",e,f,h,z,day1,o)";

const QString kShoes = QStringLiteral("鞋类|运动鞋|A-1|42码|10|12.5|2|25|5|3|张三|13800000000|双|赠袜子|2014-03-12|1");
const QString kHat = QStringLiteral("帽子|草帽|H-7||4|6|10|60|20|0|李四||顶||2014-02-01|7");

void setQuietly(QLineEdit *box, const QString &text)
{
    // Only the entry commands are under test: keep the live calculation out of it.
    const bool blocked = box->blockSignals(true);
    box->setText(text);
    box->blockSignals(blocked);
}

} // namespace

// The entry commands against a real data.mdb: what they write, what they leave alone,
// and what they ask.
class TestEntryCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newAndClose();
    void addStoresTheRecord();
    void identicalSecondAddAsks_data();
    void identicalSecondAddAsks();
    void failedAddStoresNothing_data();
    void failedAddStoresNothing();
    void load_data();
    void load();
    void loadWithNullLeavesThePanelAlone();
    void modifyWritesTheCurrentRow();
    void modifyAfterMovingWritesThatRow();
    void modifyKeepsATimeOfDayUnlessTheDateChanges_data();
    void modifyKeepsATimeOfDayUnlessTheDateChanges();
    void failedModifyStoresNothing();
    void cancelledConfirmationWritesNothing_data();
    void cancelledConfirmationWritesNothing();
    void deleteRemovesTheCurrentRow();
    void rowRemovedByAnotherTerminal_data();
    void rowRemovedByAnotherTerminal();
    void lostServerConnectionFailsOneCommand();

private:
    void insertRecord(const QString &record);
    QStringList records();
    void fillShoes();
    Dataset &ledger() { return *m_data->ADOQuery15; }
    void verifyAsked(int index, const QString &caption, const QString &text, QMessageBox::Icon icon);

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<QWidget> m_window;
    EntryPanel *m_panel = nullptr;
    QToolButton *m_deleteButton = nullptr;
    EntryCommands *m_commands = nullptr;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestEntryCommands::init()
{
    m_boxes = &ScriptedMessageBoxes::install();
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
    m_data->openAppendTable();

    m_window = std::make_unique<QWidget>();
    m_window->resize(929, 640);
    m_panel = new EntryPanel(m_window.get());
    m_panel->move(152, 201);
    m_panel->hide();
    m_deleteButton = new QToolButton(m_window.get());
    m_deleteButton->setEnabled(false);
    m_commands = new EntryCommands(m_panel, m_deleteButton, m_window.get());
    m_commands->setDatasets(m_data->ADOTable5, m_data->ADOQuery15);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestEntryCommands::cleanup()
{
    if (m_boxes)
        QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    m_window.reset();
    m_data.reset();
    m_workspace.reset();
    MessageBoxService::install(nullptr);
}

void TestEntryCommands::insertRecord(const QString &record)
{
    QVariantList values;
    for (const QString &cell : record.split(QLatin1Char('|')))
        values << (cell == QLatin1String("<null>") ? QVariant() : QVariant(cell));
    m_data->ADOConnection1->execute(
        QStringLiteral("insert into data (%1) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(QLatin1String(kRecordColumns)),
        values);
}

QStringList TestEntryCommands::records()
{
    QStringList rows;
    Statement statement = m_data->ADOConnection1->prepare(
        QStringLiteral("select %1 from data order by rowid").arg(QLatin1String(kRecordColumns)));
    while (statement.step()) {
        QStringList cells;
        for (int i = 0; i < statement.columnCount(); ++i) {
            const QVariant value = statement.value(i);
            cells << (value.isNull() ? QStringLiteral("<null>") : value.toString());
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void TestEntryCommands::fillShoes()
{
    m_panel->Edit12->setText(QStringLiteral("鞋类 "));
    m_panel->Edit13->setText(QStringLiteral(" 运动鞋"));
    m_panel->Edit10->setText(QStringLiteral("A-1"));
    m_panel->Edit14->setText(QStringLiteral("42码"));
    m_panel->Edit15->setText(QStringLiteral("10"));
    m_panel->Edit9->setText(QStringLiteral("12.5"));
    m_panel->Edit21->setText(QStringLiteral("2"));
    m_panel->Edit17->setText(QStringLiteral("3"));
    m_panel->Edit28->setText(QStringLiteral("张三"));
    m_panel->Edit11->setText(QStringLiteral("13800000000"));
    m_panel->Edit8->setText(QStringLiteral("双"));
    m_panel->Edit22->setText(QStringLiteral("赠袜子"));
    m_panel->DBDateTimeEditEh1->setText(QStringLiteral("2014-03-12"));
}

void TestEntryCommands::verifyAsked(int index, const QString &caption, const QString &text, QMessageBox::Icon icon)
{
    QVERIFY(index < m_boxes->asked.size());
    const MessageBoxRequest &request = m_boxes->asked.at(index).request;
    QCOMPARE(request.caption, caption);
    QCOMPARE(request.text, text);
    QCOMPARE(request.icon, icon);
}

void TestEntryCommands::newAndClose()
{
    fillShoes();
    m_panel->Button3->setEnabled(true);
    m_commands->newEntry();
    QVERIFY(m_panel->isVisible());
    QVERIFY(!m_panel->Button3->isEnabled());
    QCOMPARE(m_panel->Edit13->text(), QString());
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("1"));
    QCOMPARE(m_panel->DBDateTimeEditEh1->text(), QStringLiteral("2014-03-12"));

    fillShoes();
    m_panel->Button3->setEnabled(true);
    QTest::mouseClick(m_panel->Image1, Qt::LeftButton);
    QVERIFY(m_panel->isHidden());
    QVERIFY(!m_panel->Button3->isEnabled());
    QCOMPARE(m_panel->Edit13->text(), QString());
    QCOMPARE(m_panel->Edit15->text(), QStringLiteral("0"));
}

void TestEntryCommands::addStoresTheRecord()
{
    insertRecord(kHat);
    showAllRecords(ledger());
    m_commands->newEntry();
    fillShoes();
    m_panel->Edit10->clear();
    m_panel->Edit14->setText(QStringLiteral("  "));
    m_panel->Edit28->clear();
    m_panel->Edit8->clear();
    m_panel->Edit22->clear();
    // Hidden boxes are still written.
    m_panel->CheckBox8->setChecked(true);
    m_deleteButton->setEnabled(true);
    m_panel->Button3->setEnabled(true);

    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();

    QCOMPARE(m_boxes->asked.size(), 1);
    verifyAsked(0, applicationTitle(), QStringLiteral("增加数据成功！"), QMessageBox::Information);
    QCOMPARE(records(), QStringList({kHat, QStringLiteral("鞋类|运动鞋|||10|12.5|2|25|5|3||13800000000|||2014-03-12|1")}));
    // Empty boxes are stored as empty texts, not as nulls.
    QCOMPARE(m_data->ADOConnection1
                 ->scalar(QStringLiteral("select count(*) from data where o='1' and c='' and d='' and e='' and h='' and z=''"))
                 .toInt(),
             1);

    // The ledger holds every record again, the new one current.
    QCOMPARE(ledger().recordCount(), 2);
    QCOMPARE(ledger().currentRow(), 1);
    QCOMPARE(ledger().displayText(QStringLiteral("b")), QStringLiteral("运动鞋"));
    QVERIFY(!m_deleteButton->isEnabled());
    QVERIFY(!m_panel->Button3->isEnabled());
    QVERIFY(m_panel->isVisible());
    QCOMPARE(m_panel->Edit13->text(), QStringLiteral(" 运动鞋"));
}

void TestEntryCommands::identicalSecondAddAsks_data()
{
    QTest::addColumn<QString>("changedRemark");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("records");

    QTest::newRow("yes adds it again") << QString() << int(QMessageBox::Yes) << 2;
    QTest::newRow("no adds nothing") << QString() << int(QMessageBox::No) << 1;
    QTest::newRow("a changed box does not ask") << QStringLiteral("第二双") << int(QMessageBox::NoButton) << 2;
}

void TestEntryCommands::identicalSecondAddAsks()
{
    QFETCH(QString, changedRemark);
    QFETCH(int, answer);
    QFETCH(int, records);

    showAllRecords(ledger());
    m_commands->newEntry();
    fillShoes();
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();
    QCOMPARE(this->records().size(), 1);

    if (!changedRemark.isEmpty())
        m_panel->Edit22->setText(changedRemark);
    const qsizetype before = m_boxes->asked.size();
    if (answer != QMessageBox::NoButton)
        m_boxes->expect(QMessageBox::StandardButton(answer));
    if (records == 2)
        m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();

    QCOMPARE(this->records().size(), records);
    if (answer == QMessageBox::NoButton) {
        QCOMPARE(m_boxes->asked.size(), before + 1);
        QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("增加数据成功！"));
        return;
    }
    verifyAsked(int(before), applicationTitle(), QStringLiteral("与上一笔销售完全相同，确定再增加一笔吗？"),
                QMessageBox::Question);
    const MessageBoxRequest &question = m_boxes->asked.at(before).request;
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(question.defaultButton, QMessageBox::No);
    QCOMPARE(m_boxes->asked.size(), before + (records == 2 ? 2 : 1));
}

void TestEntryCommands::failedAddStoresNothing_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");

    QTest::newRow("blank goods name") << "Edit13" << " " << "商品名称必须输入！" << int(QMessageBox::Warning);
    QTest::newRow("emptied amount owed") << "Edit17" << "" << "'' is not a valid floating point value"
                                         << int(QMessageBox::Critical);
    QTest::newRow("letters in purchase price") << "Edit15" << "1x" << "'1x' is not a valid floating point value"
                                               << int(QMessageBox::Critical);
    QTest::newRow("no such day") << "DBDateTimeEditEh1" << "2014-02-30" << "'2014-02-30' is not a valid date"
                                 << int(QMessageBox::Critical);
}

void TestEntryCommands::failedAddStoresNothing()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, icon);

    insertRecord(kHat);
    showAllRecords(ledger());
    m_commands->newEntry();
    fillShoes();
    auto *target = m_panel->findChild<QLineEdit *>(box);
    const QString good = target->text();
    setQuietly(target, text);

    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text, message);
    QCOMPARE(int(m_boxes->asked.first().request.icon), icon);
    QCOMPARE(records(), QStringList{kHat});

    // A later add stores its own record and nothing of the failed one.
    setQuietly(target, good);
    m_panel->Edit13->setText(QStringLiteral("跑鞋"));
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("增加数据成功！"));
    QString stored = kShoes;
    stored.replace(QStringLiteral("运动鞋"), QStringLiteral("跑鞋"));
    QCOMPARE(records(), QStringList({kHat, stored}));
}

void TestEntryCommands::load_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("firstColumnField");
    QTest::addColumn<bool>("loads");

    QTest::newRow("with a category") << "鞋类" << "a" << true;
    QTest::newRow("empty category") << "" << "a" << false;
    QTest::newRow("goods name moved to the first column") << "" << "b" << true;
}

void TestEntryCommands::load()
{
    QFETCH(QString, category);
    QFETCH(QString, firstColumnField);
    QFETCH(bool, loads);

    // Stored sums that differ from what the panel would work out: the stored ones show.
    QString stored = QStringLiteral("%1|运动鞋|A-1|42码|10|12.5|2|99|7|3|张三|13800000000|双|赠袜子|2014-03-12|1").arg(category);
    insertRecord(kHat);
    insertRecord(stored);
    showAllRecords(ledger());

    m_commands->loadCurrent(firstColumnField);
    QCOMPARE(m_panel->isVisible(), loads);
    QCOMPARE(m_panel->Button3->isEnabled(), loads);
    QVERIFY(!m_deleteButton->isEnabled());
    if (!loads) {
        QCOMPARE(m_panel->Edit13->text(), QString());
        return;
    }
    const SaleEntry expected{category,         QStringLiteral("运动鞋"), QStringLiteral("A-1"),
                             QStringLiteral("42码"), QStringLiteral("10"),     QStringLiteral("12.5"),
                             QStringLiteral("2"),    QStringLiteral("99"),     QStringLiteral("7"),
                             QStringLiteral("3"),    QStringLiteral("张三"),   QStringLiteral("13800000000"),
                             QStringLiteral("双"),   QStringLiteral("赠袜子"), QStringLiteral("2014-03-12")};
    QCOMPARE(m_panel->entry(), expected);

    // With the delete button enabled by a cell click, loading leaves it so.
    m_commands->enableDelete();
    m_commands->loadCurrent(firstColumnField);
    QVERIFY(m_deleteButton->isEnabled());
}

void TestEntryCommands::loadWithNullLeavesThePanelAlone()
{
    insertRecord(QStringLiteral("鞋类|运动鞋|A-1|42码|10|12.5|2|25|5|3|<null>|138|双|赠袜子|2014-03-12|1"));
    showAllRecords(ledger());
    m_commands->newEntry();
    m_panel->Edit13->setText(QStringLiteral("草帽"));

    m_boxes->expect(QMessageBox::Ok);
    runGuarded(m_window.get(), [this] { m_commands->loadCurrent(QStringLiteral("a")); });
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text,
             QStringLiteral("Could not convert variant of type (Null) into type (String)"));
    QCOMPARE(m_panel->Edit13->text(), QStringLiteral("草帽"));
    QCOMPARE(m_panel->Edit12->text(), QString());
    QVERIFY(!m_panel->Button3->isEnabled());
}

void TestEntryCommands::modifyWritesTheCurrentRow()
{
    insertRecord(kHat);
    insertRecord(kShoes);
    showAllRecords(ledger());
    ledger().setCurrentRow(0);
    m_commands->loadCurrent(QStringLiteral("a"));
    m_panel->Edit13->setText(QStringLiteral(" 遮阳帽 "));
    m_panel->Edit21->setText(QStringLiteral("3"));
    m_commands->enableDelete();

    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button3->click();

    QCOMPARE(m_boxes->asked.size(), 2);
    verifyAsked(0, QStringLiteral("警告！"), QStringLiteral("你确实要修改选中资料吗？"), QMessageBox::Warning);
    QCOMPARE(m_boxes->asked.first().request.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(m_boxes->asked.first().request.defaultButton, QMessageBox::Cancel);
    verifyAsked(1, applicationTitle(), QStringLiteral("修改数据成功！"), QMessageBox::Information);

    // The record flag 7 stays; the sale total follows the new quantity.
    QCOMPARE(records(), QStringList({QStringLiteral("帽子|遮阳帽|H-7||4|6|3|18|6|0|李四||顶||2014-02-01|7"), kShoes}));
    QCOMPARE(ledger().recordCount(), 2);
    QCOMPARE(ledger().currentRow(), 1);
    ledger().first();
    QCOMPARE(ledger().displayText(QStringLiteral("b")), QStringLiteral("遮阳帽"));

    QVERIFY(m_panel->isHidden());
    QCOMPARE(m_panel->Edit13->text(), QString());
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("1"));
    QVERIFY(!m_panel->Button3->isEnabled());
    QVERIFY(!m_deleteButton->isEnabled());
}

void TestEntryCommands::modifyAfterMovingWritesThatRow()
{
    insertRecord(kHat);
    insertRecord(kShoes);
    showAllRecords(ledger());
    ledger().setCurrentRow(0);
    m_commands->loadCurrent(QStringLiteral("a"));
    m_panel->Edit22->setText(QStringLiteral("改"));
    ledger().setCurrentRow(1);

    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button3->click();
    QCOMPARE(records(), QStringList({kHat, QStringLiteral("帽子|草帽|H-7||4|6|10|60|20|0|李四||顶|改|2014-02-01|1")}));
}

void TestEntryCommands::modifyKeepsATimeOfDayUnlessTheDateChanges_data()
{
    QTest::addColumn<QString>("dateText"); // typed into the panel; empty: left as loaded
    QTest::addColumn<QString>("stored");
    QTest::newRow("same date") << QString() << QStringLiteral("2014-02-01 14:32:10");
    QTest::newRow("date changed") << QStringLiteral("2014-02-03") << QStringLiteral("2014-02-03");
}

// A sale of the Windows version carries a time of day that the panel does not show.
void TestEntryCommands::modifyKeepsATimeOfDayUnlessTheDateChanges()
{
    QFETCH(QString, dateText);
    QFETCH(QString, stored);
    insertRecord(QString(kHat).replace(QStringLiteral("2014-02-01"), QStringLiteral("2014-02-01 14:32:10")));
    showAllRecords(ledger());
    ledger().setCurrentRow(0);
    m_commands->loadCurrent(QStringLiteral("a"));
    QCOMPARE(m_panel->DBDateTimeEditEh1->text(), QStringLiteral("2014-02-01"));
    m_panel->Edit22->setText(QStringLiteral("改"));
    if (!dateText.isEmpty())
        m_panel->DBDateTimeEditEh1->setText(dateText);

    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button3->click();
    QCOMPARE(m_data->ADOConnection1->scalar(QStringLiteral("select z from data")).toString(), QStringLiteral("改"));
    Statement day = m_data->ADOConnection1->prepare(QStringLiteral("select day1 from data"));
    QVERIFY(day.step());
    QCOMPARE(Dataset::displayTextOf(day.exactValue(0), FieldType::DateTime), stored);
}

void TestEntryCommands::failedModifyStoresNothing()
{
    insertRecord(kHat);
    insertRecord(kShoes);
    showAllRecords(ledger());
    m_commands->loadCurrent(QStringLiteral("a"));
    m_panel->Edit13->setText(QStringLiteral("皮鞋"));
    m_panel->Edit17->setText(QStringLiteral("abc"));

    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button3->click();
    QCOMPARE(m_boxes->asked.size(), 2);
    verifyAsked(1, applicationTitle(), QStringLiteral("'abc' is not a valid floating point value"),
                QMessageBox::Critical);
    QCOMPARE(records(), QStringList({kHat, kShoes}));
    QVERIFY(m_panel->isVisible());
    QCOMPARE(ledger().state(), Dataset::State::Browse);

    // Neither moving on nor a later add stores the failed change.
    ledger().setCurrentRow(0);
    m_panel->Edit17->setText(QStringLiteral("0"));
    m_panel->Edit12->setText(QStringLiteral("皮具"));
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();
    QCOMPARE(records(), QStringList({kHat, kShoes,
                                     QStringLiteral("皮具|皮鞋|A-1|42码|10|12.5|2|25|5|0|张三|13800000000|双|赠袜子|2014-03-12|1")}));
}

void TestEntryCommands::cancelledConfirmationWritesNothing_data()
{
    QTest::addColumn<bool>("modify");
    QTest::newRow("modify") << true;
    QTest::newRow("delete") << false;
}

void TestEntryCommands::cancelledConfirmationWritesNothing()
{
    QFETCH(bool, modify);
    insertRecord(kHat);
    insertRecord(kShoes);
    showAllRecords(ledger());
    m_commands->loadCurrent(QStringLiteral("a"));
    m_panel->Edit13->setText(QStringLiteral("皮鞋"));
    m_commands->enableDelete();

    m_boxes->expect(QMessageBox::Cancel);
    if (modify)
        m_panel->Button3->click();
    else
        m_commands->deleteCurrent();
    QCOMPARE(m_boxes->asked.size(), 1);
    verifyAsked(0, QStringLiteral("警告！"),
                modify ? QStringLiteral("你确实要修改选中资料吗？") : QStringLiteral("你真的要删除选中资料吗？"),
                QMessageBox::Warning);
    QCOMPARE(m_boxes->asked.first().request.defaultButton, QMessageBox::Cancel);
    QCOMPARE(records(), QStringList({kHat, kShoes}));
    QCOMPARE(ledger().recordCount(), 2);
    QVERIFY(m_panel->isVisible());
    QVERIFY(m_panel->Button3->isEnabled());
    QVERIFY(m_deleteButton->isEnabled());
}

void TestEntryCommands::deleteRemovesTheCurrentRow()
{
    const QString third = QStringLiteral("袜子|棉袜|S-2||1|3|5|15|10|0|||双||2014-03-13|1");
    insertRecord(kHat);
    insertRecord(kShoes);
    insertRecord(third);
    showAllRecords(ledger());
    ledger().setCurrentRow(1);
    m_commands->enableDelete();

    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_commands->deleteCurrent();
    verifyAsked(0, QStringLiteral("警告！"), QStringLiteral("你真的要删除选中资料吗？"), QMessageBox::Warning);
    verifyAsked(1, applicationTitle(), QStringLiteral("删除数据成功！"), QMessageBox::Information);
    QCOMPARE(records(), QStringList({kHat, third}));
    QVERIFY(!m_deleteButton->isEnabled());
    // The row after the deleted one is current; nothing was reloaded.
    QCOMPARE(ledger().recordCount(), 2);
    QCOMPARE(ledger().displayText(QStringLiteral("b")), QStringLiteral("棉袜"));

    // At the end, the row before becomes current.
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_commands->deleteCurrent();
    QCOMPARE(records(), QStringList{kHat});
    QCOMPARE(ledger().displayText(QStringLiteral("b")), QStringLiteral("草帽"));

    // An empty ledger has nothing to delete: the error is reported, no success message.
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_commands->deleteCurrent();
    QCOMPARE(records(), QStringList());
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    const int before = int(m_boxes->asked.size());
    runGuarded(m_window.get(), [this] { m_commands->deleteCurrent(); });
    QCOMPARE(m_boxes->asked.size(), before + 2);
    QVERIFY(m_boxes->asked.last().request.text.endsWith(
        QStringLiteral("Cannot perform this operation on an empty dataset")));
}

void TestEntryCommands::rowRemovedByAnotherTerminal_data()
{
    QTest::addColumn<bool>("modify");
    QTest::addColumn<bool>("otherProcess");
    QTest::newRow("modify, second connection") << true << false;
    QTest::newRow("modify, second process") << true << true;
    QTest::newRow("delete, second connection") << false << false;
    QTest::newRow("delete, second process") << false << true;
}

// This terminal shows the ledger and loads a record; another terminal deletes that
// record; then this one modifies or deletes it. Nothing can be stored, and the
// operator must not be told otherwise.
void TestEntryCommands::rowRemovedByAnotherTerminal()
{
    QFETCH(bool, modify);
    QFETCH(bool, otherProcess);
    insertRecord(kHat);
    insertRecord(kShoes);
    showAllRecords(ledger());
    ledger().setCurrentRow(1);
    m_commands->loadCurrent(QStringLiteral("a"));
    m_panel->Edit21->setText(QStringLiteral("5"));
    m_commands->enableDelete();

    const QString deleteShoes = QStringLiteral("delete from data where b=?");
    if (otherProcess) {
        QProcess other;
        other.start(QCoreApplication::applicationDirPath() + QStringLiteral("/otherterminal"),
                    {m_workspace->dataSource().location(), deleteShoes, QStringLiteral("运动鞋")});
        QVERIFY(other.waitForFinished(30000));
        QVERIFY2(other.exitStatus() == QProcess::NormalExit && other.exitCode() == 0,
                 other.readAllStandardError().constData());
        QCOMPARE(other.readAllStandardOutput().trimmed(), QByteArray("1"));
    } else {
        Connection other(m_workspace->dataSource());
        QCOMPARE(other.execute(deleteShoes, {QStringLiteral("运动鞋")}), 1);
    }

    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    if (modify)
        m_panel->Button3->click();
    else
        runGuarded(m_window.get(), [this] { m_commands->deleteCurrent(); });

    QCOMPARE(m_boxes->asked.size(), 2);
    verifyAsked(1, applicationTitle(),
                QStringLiteral("Row cannot be located for updating. "
                               "Some values may have been changed since it was last read."),
                QMessageBox::Critical);
    QCOMPARE(m_boxes->asked.at(1).request.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // Nothing was written back, not even as a new row.
    QCOMPARE(records(), QStringList{kHat});
    // As after any failed write: no reload, the row still current, the commands and
    // the panel as they were, the typed change still in its box.
    QCOMPARE(ledger().recordCount(), 2);
    QCOMPARE(ledger().currentRow(), 1);
    QVERIFY(m_deleteButton->isEnabled());
    QVERIFY(m_panel->isVisible());
    QVERIFY(m_panel->Button3->isEnabled());
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("5"));

    // This terminal goes on working: a fresh view shows the other terminal's deletion.
    showAllRecords(ledger());
    QCOMPARE(ledger().recordCount(), 1);
}

void TestEntryCommands::lostServerConnectionFailsOneCommand()
{
    if (!TestWorkspace::onServer())
        QSKIP("a connection to a database server");
    fillShoes();
    // The server ends this terminal's connection, as a restart or a network fault does.
    Connection admin(m_workspace->dataSource());
    const QVariant backend = m_data->ADOConnection1->scalar(QStringLiteral("select pg_backend_pid()"));
    QVERIFY(admin.scalar(QStringLiteral("select pg_terminate_backend(?, 10000)"), {backend}).toBool());

    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();
    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest failure = m_boxes->asked.first().request;
    QCOMPARE(failure.caption, applicationTitle());
    QCOMPARE(failure.icon, QMessageBox::Critical);
    QVERIFY2(failure.text.contains(QStringLiteral("terminating connection due to administrator command")),
             qPrintable(failure.text));
    QCOMPARE(admin.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);

    // The next command connects again by itself and stores the sale once.
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Button1->click();
    QCOMPARE(m_boxes->asked.size(), 2);
    verifyAsked(1, applicationTitle(), QStringLiteral("增加数据成功！"), QMessageBox::Information);
    QCOMPARE(admin.scalar(QStringLiteral("select count(*) from data")).toInt(), 1);
    QCOMPARE(ledger().recordCount(), 1);
    QVERIFY(admin.scalar(QStringLiteral("select pg_backend_pid()")) != backend);
}

QTEST_MAIN(TestEntryCommands)
#include "tst_entrycommands.moc"
