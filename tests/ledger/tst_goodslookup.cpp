#include "connection.h"
#include "datamodule.h"
#include "entrycommands.h"
#include "entrypanel.h"
#include "goodsautofill.h"
#include "goodslookup.h"
#include "ledgeractions.h"
#include "pinyininitials.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(GoodsDetails)

namespace {

// One earlier sale: category, name, code, model, purchase, sale price, unit.
struct Sold
{
    const char *category;
    const char *name;
    const char *code;
    const char *model;
    double purchase;
    double price;
    const char *unit;
};

const Sold kSales[] = {
    {"球类", "足球", "690001", "5号", 80, 120, "个"},
    {"球类", "篮球", "690002", "7号", 90, 150, "个"},
    {"球类", "足球", "690001", "5号比赛", 85, 128, "只"}, // the latest sale of 690001
    {"鞋类", "运动鞋", "SH-42", "42码", 200, 299.5, "双"},
    {"服装", "T恤", "", "L", 20, 39, "件"},
};

GoodsDetails goods(const char *category, const char *name, const char *model, const char *unit, const char *purchase,
                   const char *price)
{
    return {QString::fromUtf8(category), QString::fromUtf8(name), QString::fromUtf8(model),
            QString::fromUtf8(unit),     QString::fromUtf8(purchase), QString::fromUtf8(price)};
}

} // namespace

// Goods filled in from what the ledger sold before, on both engines.
class TestGoodsLookup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void latestByCode_data();
    void latestByCode();
    void pinyinInitials_data();
    void pinyinInitials();
    void namesOffered_data();
    void namesOffered();
    void scannedCodeFillsThePanel();
    void chosenNameFillsThePanel();
    void noHistoryChangesNothing();
    void closingPanelFillsNothing();

private:
    void addSales();
    void openPanel();

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<QWidget> m_window;
    EntryPanel *m_panel = nullptr;
    EntryCommands *m_commands = nullptr;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestGoodsLookup::init()
{
    m_boxes = &ScriptedMessageBoxes::install();
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
}

void TestGoodsLookup::cleanup()
{
    if (m_boxes)
        QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    m_window.reset();
    m_data.reset();
    m_workspace.reset();
    MessageBoxService::install(nullptr);
}

void TestGoodsLookup::addSales()
{
    for (const Sold &sale : kSales) {
        m_data->ADOConnection1->execute(
            QStringLiteral("insert into data (a,b,c,d,\"1\",\"2\",\"3\",\"6\",\"4\",\"5\",e,f,h,z,day1,o) "
                           "values (?,?,?,?,?,?,1,?,?,0,'','',?,'',?,'1')"),
            {QString::fromUtf8(sale.category), QString::fromUtf8(sale.name), QString::fromUtf8(sale.code),
             QString::fromUtf8(sale.model), sale.purchase, sale.price, sale.price, sale.price - sale.purchase,
             QString::fromUtf8(sale.unit), QDate(2026, 12, 1)});
    }
}

void TestGoodsLookup::openPanel()
{
    m_data->openAppendTable();
    m_window = std::make_unique<QWidget>();
    m_window->resize(929, 640);
    m_panel = new EntryPanel(m_window.get());
    m_commands = new EntryCommands(m_panel, new QToolButton(m_window.get()), m_window.get());
    m_commands->setDatasets(m_data->ADOTable5, m_data->ADOQuery15);
    showAllRecords(*m_data->ADOQuery15);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_commands->newEntry();
    m_panel->Edit21->setText(QStringLiteral("2"));
    m_panel->Edit28->setText(QStringLiteral("王芳"));
    m_panel->Edit17->setText(QStringLiteral("10"));
    m_panel->Edit22->setText(QStringLiteral("会员"));
}

void TestGoodsLookup::latestByCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("found");
    QTest::addColumn<GoodsDetails>("expected");

    QTest::newRow("the latest of several sales") << "690001" << true
                                                 << goods("球类", "足球", "5号比赛", "只", "85", "128");
    QTest::newRow("a single sale") << "SH-42" << true << goods("鞋类", "运动鞋", "42码", "双", "200", "299.5");
    QTest::newRow("typed with blanks") << "  690002 " << true << goods("球类", "篮球", "7号", "个", "90", "150");
    QTest::newRow("unknown code") << "999" << false << GoodsDetails{};
    QTest::newRow("no code at all") << "" << false << GoodsDetails{};
    QTest::newRow("a prefix is no match") << "69000" << false << GoodsDetails{};
}

void TestGoodsLookup::latestByCode()
{
    QFETCH(QString, code);
    QFETCH(bool, found);
    addSales();
    const auto result = GoodsLookup(*m_data->ADOConnection1).latestByCode(code);
    QCOMPARE(result.has_value(), found);
    if (found)
        QTEST(*result, "expected");
}

void TestGoodsLookup::pinyinInitials_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("initials");

    QTest::newRow("足球") << "足球" << "zq";
    QTest::newRow("运动鞋") << "运动鞋" << "ydx";
    QTest::newRow("乒乓球拍") << "乒乓球拍" << "ppqp";
    QTest::newRow("Latin and digits kept") << "T恤2号" << "tx2h";
    QTest::newRow("every initial") << "阿八擦大饿发个哈鸡卡拉吗那哦怕七人三他哇西压咋" << "abcdefghjklmnopqrstwxyz";
    QTest::newRow("same syllable, several characters") << "嗒搭哒他它塌挖哇" << "dddtttww";
    QTest::newRow("punctuation dropped") << "（羽毛球）" << "ymq";
}

void TestGoodsLookup::pinyinInitials()
{
    QFETCH(QString, text);
    QTEST(PinyinInitials::of(text), "initials");
}

void TestGoodsLookup::namesOffered_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("offered");

    QTest::newRow("by text") << "足" << QStringList{"足球"};
    QTest::newRow("by initials") << "zq" << QStringList{"足球"};
    QTest::newRow("initials in upper case") << "LQ" << QStringList{"篮球"};
    QTest::newRow("first letter, pinyin order") << "y" << QStringList{"运动鞋"};
    QTest::newRow("Latin text first") << "t" << QStringList{"T恤"};
    QTest::newRow("nothing typed") << "" << QStringList{};
    QTest::newRow("no such name") << "qq" << QStringList{};
}

void TestGoodsLookup::namesOffered()
{
    QFETCH(QString, typed);
    addSales();
    const QStringList names = GoodsLookup(*m_data->ADOConnection1).soldNames();
    QCOMPARE(names.size(), 4); // each name once
    QTEST(GoodsNameMatcher(names).matching(typed), "offered");
}

void TestGoodsLookup::scannedCodeFillsThePanel()
{
    addSales();
    openPanel();
    m_panel->Edit10->setFocus();
    // A scanner types the code and Enter as fast as key events go.
    QTest::keyClicks(m_panel->Edit10, QStringLiteral("690001"));
    QTest::keyClick(m_panel->Edit10, Qt::Key_Return);

    QCOMPARE(m_panel->Edit12->text(), QStringLiteral("球类"));
    QCOMPARE(m_panel->Edit13->text(), QStringLiteral("足球"));
    QCOMPARE(m_panel->Edit14->text(), QStringLiteral("5号比赛"));
    QCOMPARE(m_panel->Edit8->text(), QStringLiteral("只"));
    QCOMPARE(m_panel->Edit15->text(), QStringLiteral("85"));
    QCOMPARE(m_panel->Edit9->text(), QStringLiteral("128"));
    // The sums follow; what the operator typed for this sale stays.
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("256"));
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("86"));
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("2"));
    QCOMPARE(m_panel->Edit28->text(), QStringLiteral("王芳"));
    QCOMPARE(m_panel->Edit17->text(), QStringLiteral("10"));
    QCOMPARE(m_panel->Edit22->text(), QStringLiteral("会员"));
    QCOMPARE(m_panel->Edit10->text(), QStringLiteral("690001"));

    // Leaving the box with a code sold before fills as well.
    m_panel->Edit10->setFocus();
    m_panel->Edit10->setText(QStringLiteral("SH-42"));
    m_panel->Edit28->setFocus();
    QCOMPARE(m_panel->Edit13->text(), QStringLiteral("运动鞋"));
    QCOMPARE(m_panel->Edit9->text(), QStringLiteral("299.5"));

    // An unknown code leaves the goods boxes as they are.
    m_panel->Edit10->setFocus();
    m_panel->Edit10->setText(QStringLiteral("000"));
    QTest::keyClick(m_panel->Edit10, Qt::Key_Return);
    QCOMPARE(m_panel->Edit13->text(), QStringLiteral("运动鞋"));
}

void TestGoodsLookup::chosenNameFillsThePanel()
{
    addSales();
    openPanel();
    m_panel->Edit13->setFocus();
    QTest::keyClicks(m_panel->Edit13, QStringLiteral("zq"));
    QCompleter *completer = m_panel->Edit13->completer() ? m_panel->Edit13->completer()
                                                         : m_commands->findChild<GoodsAutofill *>()->nameCompleter();
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(completer->completionModel()->rowCount(), 1);
    const QModelIndex first = completer->popup()->model()->index(0, 0);
    QCOMPARE(first.data().toString(), QStringLiteral("足球"));
    completer->popup()->setCurrentIndex(first);
    QTest::keyClick(completer->popup(), Qt::Key_Return);

    QCOMPARE(m_panel->Edit13->text(), QStringLiteral("足球"));
    QCOMPARE(m_panel->Edit14->text(), QStringLiteral("5号比赛"));
    QCOMPARE(m_panel->Edit9->text(), QStringLiteral("128"));
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("256"));
    QCOMPARE(m_panel->Edit28->text(), QStringLiteral("王芳"));
}

void TestGoodsLookup::noHistoryChangesNothing()
{
    openPanel();
    QVERIFY(GoodsLookup(*m_data->ADOConnection1).soldNames().isEmpty());
    m_panel->Edit13->setFocus();
    QTest::keyClicks(m_panel->Edit13, QStringLiteral("zq"));
    auto *autofill = m_commands->findChild<GoodsAutofill *>();
    QVERIFY(!autofill->nameCompleter()->popup()->isVisible());
    m_panel->Edit10->setFocus();
    QTest::keyClicks(m_panel->Edit10, QStringLiteral("690001"));
    QTest::keyClick(m_panel->Edit10, Qt::Key_Return);
    QCOMPARE(m_panel->Edit13->text(), QStringLiteral("zq"));
    QCOMPARE(m_panel->Edit12->text(), QString());
}

// The panel destroyed while the code box holds a code sold before and has the focus:
// the box's last focus-out comes while the panel is half destroyed, and must not fill
// its boxes (some of them already deleted).
void TestGoodsLookup::closingPanelFillsNothing()
{
    addSales();
    openPanel();
    m_panel->Edit10->setFocus();
    QVERIFY(m_panel->Edit10->hasFocus());
    m_panel->Edit10->setText(QStringLiteral("690001"));
    QSignalSpy model(m_panel->Edit14, &QLineEdit::textChanged);
    QSignalSpy price(m_panel->Edit9, &QLineEdit::textChanged);
    delete m_panel;
    m_panel = nullptr;
    QCOMPARE(model.count(), 0);
    QCOMPARE(price.count(), 0);
}

QTEST_MAIN(TestGoodsLookup)
#include "tst_goodslookup.moc"
