#include "appinfo.h"
#include "dateeditor.h"
#include "entrypanel.h"
#include "scriptedmessageboxes.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

// The entry panel on its own, in a window of the main window's size: typing, the
// live sums, the keys, the hide option, dragging, and the required checks.
class TestEntryPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void liveCalculationAsTyped();
    void unreadableNumberKeepsTheSums();
    void setTextShowsItsBeginning();
    void clearRoutine();
    void characterFilter_data();
    void characterFilter();
    void quantityArrowsAndKeys();
    void enterChain_data();
    void enterChain();
    void enterOnAddButtonPressesIt();
    void otherDateEditorsShareTheEnterAction();
    void tabOrder();
    void saleDateCalendar();
    void hideOption();
    void dragByFreeArea();
    void closePicture();
    void requiredChecks_data();
    void requiredChecks();

private:
    QLineEdit *box(const QString &name) const { return m_panel->findChild<QLineEdit *>(name); }
    void fillRecord();

    std::unique_ptr<QWidget> m_window;
    EntryPanel *m_panel = nullptr;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestEntryPanel::init()
{
    m_boxes = &ScriptedMessageBoxes::install();
    m_window = std::make_unique<QWidget>();
    m_window->resize(929, 640);
    m_panel = new EntryPanel(m_window.get());
    m_panel->move(152, 201);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestEntryPanel::cleanup()
{
    if (m_boxes)
        QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    m_window.reset();
    MessageBoxService::install(nullptr);
}

namespace {

// Types each character as a key press with that text, Chinese characters included.
void typeText(QWidget *target, const QString &text)
{
    for (const QChar c : text) {
        const int key = c.unicode() < 128 ? QChar(c).toUpper().unicode() : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
}

} // namespace

void TestEntryPanel::fillRecord()
{
    m_panel->Edit12->setText(QStringLiteral("鞋类"));
    m_panel->Edit13->setText(QStringLiteral("运动鞋"));
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

void TestEntryPanel::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("panel") << "Panel3" << QRect(152, 201, 569, 216);
    QTest::newRow("category") << "Edit12" << QRect(88, 21, 88, 22);
    QTest::newRow("purchase price") << "Edit15" << QRect(88, 137, 88, 22);
    QTest::newRow("sale price") << "Edit9" << QRect(264, 21, 75, 22);
    QTest::newRow("quantity") << "Edit21" << QRect(264, 50, 57, 22);
    QTest::newRow("arrows") << "UpDown1" << QRect(321, 50, 16, 22);
    QTest::newRow("profit") << "Edit27" << QRect(264, 137, 75, 22);
    QTest::newRow("customer") << "Edit28" << QRect(423, 21, 78, 22);
    QTest::newRow("remarks") << "Edit22" << QRect(423, 108, 112, 22);
    QTest::newRow("sale date") << "DBDateTimeEditEh1" << QRect(422, 137, 91, 22);
    QTest::newRow("close picture") << "Image1" << QRect(536, 11, 17, 17);
}

void TestEntryPanel::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QWidget *widget = name == QLatin1String("Panel3") ? m_panel : m_panel->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);

    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("1"));
    QVERIFY(m_panel->Edit16->isReadOnly());
    QVERIFY(m_panel->Edit27->isReadOnly());
    QVERIFY(m_panel->Button9->isHidden());
    QCOMPARE(m_panel->Label15->text(), QStringLiteral("进货单价："));
    QCOMPARE(m_panel->Label10->text(), QStringLiteral("利  润："));
    QCOMPARE(m_panel->Edit9->font().family(), QStringLiteral("宋体"));
    QCOMPARE(m_panel->Edit9->font().pixelSize(), 14);
    QCOMPARE(m_panel->Label15->palette().color(QPalette::WindowText), QColor(0x00, 0x80, 0x80));
}

void TestEntryPanel::liveCalculationAsTyped()
{
    m_panel->Edit15->clear();
    m_panel->Edit27->setText(QStringLiteral("earlier"));
    m_panel->Edit21->clear();
    QTest::keyClicks(m_panel->Edit9, QStringLiteral("3"));
    QTest::keyClicks(m_panel->Edit21, QStringLiteral("1.5"));
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("4.5"));
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("earlier"));

    QTest::keyClicks(m_panel->Edit15, QStringLiteral("2"));
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("1.5"));
    QTest::keyClick(m_panel->Edit15, Qt::Key_Backspace);
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("0"));
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("4.5"));

    // Set by the application, not typed: the sums follow as well.
    m_panel->Edit9->setText(QStringLiteral("12.5"));
    m_panel->Edit21->setText(QStringLiteral("2"));
    m_panel->Edit15->setText(QStringLiteral("10"));
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("25"));
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("5"));
}

void TestEntryPanel::setTextShowsItsBeginning()
{
    auto showsItsBeginning = [](QLineEdit *box) {
        // Meaningful only for a text longer than the box.
        if (box->fontMetrics().horizontalAdvance(box->text()) <= box->width())
            return false;
        box->grab(); // the scroll offset is laid out when the box paints
        return box->cursorPosition() == 0 && box->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < box->width() / 4;
    };
    m_panel->Edit15->setText(QStringLiteral("0.000001"));
    m_panel->Edit21->setText(QStringLiteral("7"));
    m_panel->Edit9->setText(QStringLiteral("123456789.123456"));
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("864197523.864185"));
    QVERIFY(showsItsBeginning(m_panel->Edit27));
    QVERIFY(showsItsBeginning(m_panel->Edit16));

    SaleEntry entry = m_panel->entry();
    entry.remarks = QStringLiteral("会员 %1").arg(QString(80, QLatin1Char('x')));
    m_panel->showEntry(entry);
    QVERIFY(showsItsBeginning(m_panel->Edit22));
}

void TestEntryPanel::unreadableNumberKeepsTheSums()
{
    m_panel->Edit15->setText(QStringLiteral("10"));
    m_panel->Edit9->setText(QStringLiteral("12.5"));
    m_panel->Edit21->setText(QStringLiteral("2"));
    m_panel->Edit9->clear();

    m_boxes->expect(QMessageBox::Ok);
    QTest::keyClicks(m_panel->Edit9, QStringLiteral("."));
    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest report = m_boxes->asked.first().request;
    QCOMPARE(report.caption, applicationTitle());
    QCOMPARE(report.icon, QMessageBox::Critical);
    QCOMPARE(report.text, QStringLiteral("'.' is not a valid floating point value"));
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("25"));
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("5"));

    m_panel->Edit9->setText(QStringLiteral("12.5"));
    m_boxes->expect(QMessageBox::Ok);
    m_panel->Edit15->setText(QStringLiteral("abc"));
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("'abc' is not a valid floating point value"));
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("25"));
}

void TestEntryPanel::clearRoutine()
{
    fillRecord();
    m_panel->clear();
    for (const char *empty : {"Edit12", "Edit13", "Edit10", "Edit14", "Edit9", "Edit16", "Edit27", "Edit28",
                              "Edit11", "Edit8", "Edit22"})
        QVERIFY2(box(QLatin1String(empty))->text().isEmpty(), empty);
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("1"));
    QCOMPARE(m_panel->Edit17->text(), QStringLiteral("0"));
    QCOMPARE(m_panel->Edit15->text(), QStringLiteral("0"));
    QCOMPARE(m_panel->DBDateTimeEditEh1->text(), QStringLiteral("2014-03-12"));

    // A sale price that is no number does not stop the routine halfway.
    fillRecord();
    m_panel->Edit9->blockSignals(true);
    m_panel->Edit9->setText(QStringLiteral("."));
    m_panel->Edit9->blockSignals(false);
    m_panel->Button9->click();
    QVERIFY(m_boxes->asked.isEmpty());
    QCOMPARE(m_panel->Edit9->text(), QString());
    QCOMPARE(m_panel->Edit15->text(), QStringLiteral("0"));
    QCOMPARE(m_panel->Edit22->text(), QString());
}

void TestEntryPanel::characterFilter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("sale price") << "Edit9" << "1a2,.5 -e9" << "12.59";
    QTest::newRow("quantity") << "Edit21" << "x3+.5" << "3.5";
    QTest::newRow("purchase price takes anything") << "Edit15" << "1a,5" << "1a,5";
    QTest::newRow("goods name takes anything") << "Edit13" << "鞋 a1." << "鞋 a1.";
}

void TestEntryPanel::characterFilter()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QLineEdit *target = box(name);
    target->clear();
    // Only the filter is under test here, not the live calculation.
    target->blockSignals(true);
    typeText(target, typed);
    QTEST(target->text(), "shown");

    if (name == QLatin1String("Edit9")) {
        QTest::keyClick(target, Qt::Key_Backspace);
        QCOMPARE(target->text(), QStringLiteral("12.5"));
        // Pasting is not typing.
        target->clear();
        target->insert(QStringLiteral("7x"));
        QCOMPARE(target->text(), QStringLiteral("7x"));
    }
    target->blockSignals(false);
}

void TestEntryPanel::quantityArrowsAndKeys()
{
    m_panel->Edit21->setText(QStringLiteral("99"));
    QTest::keyClick(m_panel->Edit21, Qt::Key_Up);
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("100"));
    QTest::keyClick(m_panel->Edit21, Qt::Key_Up);
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("100"));
    QTest::keyClick(m_panel->Edit21, Qt::Key_Down);
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("99"));

    m_panel->Edit21->setText(QStringLiteral("2"));
    m_panel->Edit9->setText(QStringLiteral("3"));
    QTest::mouseClick(m_panel->UpDown1->downButton, Qt::LeftButton);
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("1"));
    QTest::mouseClick(m_panel->UpDown1->downButton, Qt::LeftButton);
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("1"));
    QTest::mouseClick(m_panel->UpDown1->upButton, Qt::LeftButton);
    QCOMPARE(m_panel->Edit21->text(), QStringLiteral("2"));
    QCOMPARE(m_panel->Edit16->text(), QStringLiteral("6"));
}

void TestEntryPanel::enterChain_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    const char *chain[][2] = {
        {"Edit12", "Edit13"}, {"Edit13", "Edit10"}, {"Edit10", "Edit14"}, {"Edit15", "Edit9"},
        {"Edit9", "Edit21"},  {"Edit21", "Edit17"}, {"Edit17", "Edit28"}, {"Edit28", "Edit11"},
        {"Edit11", "Edit8"},  {"Edit8", "Edit22"},  {"Edit22", "DBDateTimeEditEh1"},
        {"DBDateTimeEditEh1", "Button1"},           {"Edit16", "Edit27"}, {"Edit27", "Edit17"},
        {"Edit14", "Edit14"}, // no Enter action
    };
    for (const auto &step : chain)
        QTest::addRow("%s", step[0]) << QString::fromLatin1(step[0]) << QString::fromLatin1(step[1]);
}

void TestEntryPanel::enterChain()
{
    QFETCH(QString, from);
    QWidget *start = m_panel->findChild<QWidget *>(from);
    start->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), start);
    QTest::keyClick(start, Qt::Key_Return);
    QVERIFY(QApplication::focusWidget());
    QTEST(QApplication::focusWidget()->objectName(), "to");
}

void TestEntryPanel::enterOnAddButtonPressesIt()
{
    QSignalSpy pressed(m_panel->Button1, &QPushButton::clicked);
    m_panel->DBDateTimeEditEh1->setFocus();
    QTest::keyClick(m_panel->DBDateTimeEditEh1, Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), m_panel->Button1);
    QCOMPARE(pressed.size(), 0);
    QTest::keyClick(m_panel->Button1, Qt::Key_Return);
    QCOMPARE(pressed.size(), 1);
}

void TestEntryPanel::otherDateEditorsShareTheEnterAction()
{
    auto *queryDate = new DateEditor(m_window.get());
    queryDate->setGeometry(10, 600, 100, 22);
    queryDate->show();
    m_panel->addDateEnterAction(queryDate);
    queryDate->setFocus();
    QTest::keyClick(queryDate, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), m_panel->Button1);
    m_panel->Edit12->setFocus();
    m_panel->focusAddButton();
    QCOMPARE(QApplication::focusWidget(), m_panel->Button1);

    // With the panel hidden the add button cannot take the focus: Enter does nothing.
    m_panel->hide();
    queryDate->setFocus();
    QTest::keyClick(queryDate, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), queryDate);
}

void TestEntryPanel::tabOrder()
{
    const QStringList expected{"Edit12", "Edit13", "Edit14", "Edit15", "Edit9",  "Edit10",
                               "Edit11", "Edit16", "Edit17", "Button1", "Edit21", "Edit22",
                               "Edit27", "Edit28", "Edit8",  "DBDateTimeEditEh1", "Button3", "CheckBox8"};
    m_panel->Edit12->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void TestEntryPanel::saleDateCalendar()
{
    DateEditor *date = m_panel->DBDateTimeEditEh1;
    date->setText(QStringLiteral("2014-03-12"));
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Down, Qt::AltModifier);
    QCalendarWidget *calendar = date->calendar();
    QVERIFY(calendar);
    QCOMPARE(calendar->selectedDate(), QDate(2014, 3, 12));
    emit calendar->clicked(QDate(2014, 4, 1));
    QCOMPARE(date->text(), QStringLiteral("2014-04-01"));
    QTRY_VERIFY(!date->calendar());

    // Text that is no date opens the calendar all the same, and is kept until a pick.
    date->setText(QStringLiteral("abc"));
    QTest::mouseClick(date->dropDownButton(), Qt::LeftButton);
    QVERIFY(date->calendar());
    QCOMPARE(date->text(), QStringLiteral("abc"));
    date->calendar()->close();
}

void TestEntryPanel::hideOption()
{
    fillRecord();
    const QList<QWidget *> all = m_panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    auto visibleNames = [&all] {
        QStringList names;
        for (QWidget *widget : all)
            if (widget->isVisible())
                names << widget->objectName();
        return names;
    };
    const QStringList before = visibleNames();
    QTest::mouseClick(m_panel->CheckBox8, Qt::LeftButton, {}, QPoint(8, m_panel->CheckBox8->height() / 2));
    QVERIFY(m_panel->CheckBox8->isChecked());
    QStringList hidden = before;
    for (const QString &shown : visibleNames())
        hidden.removeOne(shown);
    hidden.sort();
    QCOMPARE(hidden, QStringList({"Edit15", "Edit27", "Label10", "Label15"}));

    // The hidden boxes keep their texts and the profit is still worked out.
    QCOMPARE(m_panel->Edit15->text(), QStringLiteral("10"));
    m_panel->Edit9->setText(QStringLiteral("13"));
    QCOMPARE(m_panel->Edit27->text(), QStringLiteral("6"));

    QTest::mouseClick(m_panel->CheckBox8, Qt::LeftButton, {}, QPoint(8, m_panel->CheckBox8->height() / 2));
    QCOMPARE(visibleNames(), before);
}

void TestEntryPanel::dragByFreeArea()
{
    const QPoint start = m_panel->pos();
    const QPoint freeArea(20, 205);
    QVERIFY(!m_panel->childAt(freeArea));

    QTest::mousePress(m_panel, Qt::RightButton, {}, freeArea);
    QTest::mouseMove(m_panel, freeArea + QPoint(30, 20));
    QTest::mouseRelease(m_panel, Qt::RightButton, {}, freeArea + QPoint(30, 20));
    QCOMPARE(m_panel->pos(), start);

    QTest::mousePress(m_panel, Qt::LeftButton, {}, freeArea);
    QMouseEvent move(QEvent::MouseMove, QPointF(freeArea + QPoint(-40, 25)),
                     QPointF(m_panel->mapToGlobal(freeArea + QPoint(-40, 25))), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(m_panel, &move);
    QTest::mouseRelease(m_panel, Qt::LeftButton, {}, freeArea + QPoint(-40, 25));
    QCOMPARE(m_panel->pos(), start + QPoint(-40, 25));

    // Far outside the window the panel stops at its edge.
    QTest::mousePress(m_panel, Qt::LeftButton, {}, freeArea);
    QMouseEvent away(QEvent::MouseMove, QPointF(-2000, -2000), QPointF(m_panel->mapToGlobal(QPoint(-2000, -2000))),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(m_panel, &away);
    QTest::mouseRelease(m_panel, Qt::LeftButton, {}, QPoint(-2000, -2000));
    QCOMPARE(m_panel->pos(), QPoint(0, 0));

    // A press on a box is not on the free area.
    m_panel->move(start);
    QTest::mousePress(m_panel->Edit12, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent overBox(QEvent::MouseMove, QPointF(40, 40), QPointF(m_panel->Edit12->mapToGlobal(QPoint(40, 40))),
                        Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(m_panel->Edit12, &overBox);
    QTest::mouseRelease(m_panel->Edit12, Qt::LeftButton, {}, QPoint(40, 40));
    QCOMPARE(m_panel->pos(), start);
    QCOMPARE(m_panel->cursor().shape(), Qt::SizeAllCursor);
}

void TestEntryPanel::closePicture()
{
    QSignalSpy closed(m_panel, &EntryPanel::closeClicked);
    QTest::mouseClick(m_panel->Image1, Qt::RightButton);
    QCOMPARE(closed.size(), 0);
    QTest::mouseClick(m_panel->Image1, Qt::LeftButton);
    QCOMPARE(closed.size(), 1);
    QCOMPARE(m_panel->Image1->cursor().shape(), Qt::PointingHandCursor);
}

void TestEntryPanel::requiredChecks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("purchase");
    QTest::addColumn<QString>("sale");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");

    QTest::newRow("name before category") << "" << "" << "" << "" << "" << "商品名称必须输入！" << "Edit13";
    QTest::newRow("category") << "运动鞋" << " " << "" << "" << "" << "客户类型必须输入！" << "Edit12";
    QTest::newRow("purchase price") << "运动鞋" << "鞋" << "\t" << "" << "" << "进货单价必须输入！" << "Edit15";
    QTest::newRow("sale price") << "运动鞋" << "鞋" << "0" << "" << "" << "销售单价必须输入！" << "Edit9";
    QTest::newRow("quantity") << "运动鞋" << "鞋" << "0" << "5" << "  " << "销售数量必须输入！" << "Edit21";
    QTest::newRow("all given") << "运动鞋" << "鞋" << "0" << "5" << "1" << "" << "";
}

void TestEntryPanel::requiredChecks()
{
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(QString, purchase);
    QFETCH(QString, sale);
    QFETCH(QString, quantity);
    QFETCH(QString, message);
    QFETCH(QString, focused);

    m_panel->Edit12->setText(category);
    m_panel->Edit13->setText(name);
    // Blank texts are no numbers: the live calculation would report them.
    m_panel->Edit15->blockSignals(true);
    m_panel->Edit9->blockSignals(true);
    m_panel->Edit21->blockSignals(true);
    m_panel->Edit15->setText(purchase);
    m_panel->Edit9->setText(sale);
    m_panel->Edit21->setText(quantity);
    m_panel->Edit15->blockSignals(false);
    m_panel->Edit9->blockSignals(false);
    m_panel->Edit21->blockSignals(false);
    m_panel->Edit28->setFocus();

    if (!message.isEmpty())
        m_boxes->expect(QMessageBox::Ok);
    QCOMPARE(m_panel->checkRequired(), message.isEmpty());
    if (message.isEmpty()) {
        QVERIFY(m_boxes->asked.isEmpty());
        return;
    }
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text, message);
    QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Warning);
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    // The blanks stay in the box.
    QCOMPARE(m_panel->Edit12->text(), category);
}

QTEST_MAIN(TestEntryPanel)
#include "tst_entrypanel.moc"
