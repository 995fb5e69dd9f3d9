#include "apperror.h"
#include "datamodule.h"
#include "mylib.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "windowhelpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

class MylibTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_boxes = &ScriptedMessageBoxes::install(); }
    void cleanup() { QVERIFY(m_boxes->unexpected.isEmpty()); }

    void requiredCheck_data();
    void requiredCheck();
    void requiredCheckOnHiddenBoxFailsToFocus();
    void fillFromEmptyTable();
    void fillStopsAtNullGroup();
    void fillListsDistinctValuesInOrder();
    void execClosesPreviousResult();
    void statementKeepsItsBlanks_data();
    void statementKeepsItsBlanks();

private:
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void MylibTest::requiredCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
    QTest::newRow("tab and newline") << "\t\n" << false;
    QTest::newRow("text inside blanks") << " x " << true;
    QTest::newRow("chinese") << "鞋" << true;
}

void MylibTest::requiredCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QWidget window;
    auto *other = new QLineEdit(&window);
    auto *edit = new QLineEdit(&window);
    edit->move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    other->setFocus();
    edit->setText(text);
    if (!passes)
        m_boxes->expect(QMessageBox::Ok);

    QCOMPARE(mylib::checkRequired(edit, QStringLiteral("商品名称必须输入！")), passes);
    QCOMPARE(edit->text(), text); // the box keeps what was typed
    if (passes) {
        QVERIFY(m_boxes->asked.isEmpty());
    } else {
        QCOMPARE(m_boxes->asked.size(), 1);
        QCOMPARE(m_boxes->asked[0].request.text, QStringLiteral("商品名称必须输入！"));
        QCOMPARE(m_boxes->asked[0].request.icon, QMessageBox::Warning);
        QCOMPARE(m_boxes->asked[0].request.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QTRY_VERIFY(edit->hasFocus());
    }
}

void MylibTest::requiredCheckOnHiddenBoxFailsToFocus()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    edit->hide();
    window.show();
    m_boxes->expect(QMessageBox::Ok);
    try {
        mylib::checkRequired(edit, QStringLiteral("进货单价必须输入！"));
        QFAIL("focusing a hidden box must fail");
    } catch (const AppError &error) {
        QCOMPARE(error.message(), QStringLiteral("Cannot focus a disabled or invisible window"));
    }
    QCOMPARE(m_boxes->asked.size(), 1);
}

void MylibTest::fillFromEmptyTable()
{
    TestWorkspace workspace;
    Tdmfm module;
    module.ADOConnection1->execute(QStringLiteral("delete from userdb"));
    QComboBox combo;
    combo.setEditable(true);
    combo.addItem(QStringLiteral("旧"));
    mylib::fillComboBox(&combo, mylib::distinctValues(*module.ADOQuery1, QStringLiteral("username"), QStringLiteral("userdb")));
    QCOMPARE(combo.count(), 0);
    QCOMPARE(combo.currentText(), QString());
    QVERIFY(module.ADOQuery1->isOpen());
}

void MylibTest::fillStopsAtNullGroup()
{
    TestWorkspace workspace;
    Tdmfm module;
    module.ADOConnection1->execute(QStringLiteral("insert into userdb values (null, 'x')"));
    QComboBox combo;
    try {
        mylib::fillComboBox(&combo, mylib::distinctValues(*module.ADOQuery1, QStringLiteral("username"), QStringLiteral("userdb")));
        QFAIL("a null user name must stop the fill");
    } catch (const ConversionError &error) {
        QCOMPARE(error.message(), QStringLiteral("Could not convert variant of type (Null) into type (String)"));
    }
    QCOMPARE(combo.count(), 0);
    QCOMPARE(combo.currentText(), QString());
}

void MylibTest::fillListsDistinctValuesInOrder()
{
    TestWorkspace workspace;
    Tdmfm module;
    for (const char *name : {"bob", "alice", "bob", "O'Neil"})
        module.ADOConnection1->execute(QStringLiteral("insert into userdb values (?, 'x')"), {QString::fromUtf8(name)});
    QComboBox combo;
    mylib::fillComboBox(&combo, mylib::distinctValues(*module.ADOQuery1, QStringLiteral("username"), QStringLiteral("userdb")));
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    QCOMPARE(items, (QStringList{"O'Neil", "alice", "bob", "超级管理员"}));
    QCOMPARE(combo.currentIndex(), -1);
}

void MylibTest::execClosesPreviousResult()
{
    TestWorkspace workspace;
    Tdmfm module;
    Dataset &query = *module.ADOQuery1;
    mylib::openSql(query, QStringLiteral("select * from userdb"));
    QCOMPARE(query.recordCount(), 1);
    mylib::execSql(query, QStringLiteral("insert into userdb values (?, ?)"), {QStringLiteral("it's"), QStringLiteral("x")});
    QVERIFY(!query.isOpen());
    QCOMPARE(module.ADOConnection1->scalar(QStringLiteral("select count(*) from userdb where username=?"), {QStringLiteral("it's")}).toInt(), 1);
}

void MylibTest::statementKeepsItsBlanks_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("value");
    QTest::newRow("two blanks in a literal") << "select 'x  y'" << "select 'x  y'" << "x  y";
    QTest::newRow("tab and trailing blank") << "select 'a\tb '" << "select 'a\tb '" << "a\tb ";
    QTest::newRow("lines joined") << "select\n'x  y'\r\nfrom userdb" << "select 'x  y' from userdb" << "x  y";
    QTest::newRow("break inside a literal") << "select 'x\ry'" << "select 'x y'" << "x y";
}

// The text reaches the engine as given; only its line breaks become blanks.
void MylibTest::statementKeepsItsBlanks()
{
    QFETCH(QString, sql);
    QFETCH(QString, stored);
    QFETCH(QString, value);
    TestWorkspace workspace;
    Tdmfm module;
    Dataset &query = *module.ADOQuery1;
    mylib::openSql(query, sql);
    QCOMPARE(query.sql(), stored);
    QCOMPARE(query.valueAt(0, 0).toString(), value);

    mylib::execSql(query, QStringLiteral("insert into userdb values ('%1', 'x')").arg(sql.section(QLatin1Char('\''), 1, 1)));
    QCOMPARE(module.ADOConnection1->scalar(QStringLiteral("select count(*) from userdb where username=?"), {value}).toInt(), 1);
}

QTEST_MAIN(MylibTest)
#include "tst_mylib.moc"
