#include "entrypanel.h"

#include "dateeditor.h"
#include "guardedcommand.h"
#include "messageboxservice.h"
#include "numberformat.h"
#include "windowhelpers.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr QSize kPanelSize(569, 216);
constexpr int kBoxHeight = 22;
constexpr int kLabelWidth = 72;
const QColor kTeal(0x00, 0x80, 0x80);
const QColor kReadOnlyGrey(0xC0, 0xC0, 0xC0);

QFont songTi(int pixels)
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(pixels);
    return font;
}

void applyEntryLook(QWidget *widget, int pixels = 14)
{
    widget->setFont(songTi(pixels));
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, kTeal);
    palette.setColor(QPalette::Text, kTeal);
    widget->setPalette(palette);
}

QPixmap closePicture()
{
    QPixmap pixmap(17, 17);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.setBrush(QColor(0xF0, 0xF0, 0xF0));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 16, 16), 3, 3);
    painter.setPen(QPen(QColor(0xB0, 0x20, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5, 5), QPointF(12, 12));
    painter.drawLine(QPointF(12, 5), QPointF(5, 12));
    return pixmap;
}

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

UpDownArrows::UpDownArrows(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto makeArrow = [this, layout](Qt::ArrowType arrow, const QString &name, int delta) {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setCursor(Qt::ArrowCursor);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, delta] { emit stepped(delta); });
        return button;
    };
    upButton = makeArrow(Qt::UpArrow, QStringLiteral("up"), 1);
    downButton = makeArrow(Qt::DownArrow, QStringLiteral("down"), -1);
}

EntryPanel::EntryPanel(QWidget *parent) : QFrame(parent)
{
    // The widgets are made in the design's order, which is also the order they stack in.
    setUpFrame();
    addBoxes();
    addQuantityArrows();
    setUpNumberBoxes();
    addHideCheckBox();
    addButtons();
    addCloseImage();
    connectCalculation();
    buildEnterChain();
    buildTabOrder();
}

void EntryPanel::setUpFrame()
{
    setObjectName(QStringLiteral("Panel3"));
    resize(kPanelSize);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    setCursor(Qt::SizeAllCursor);
}

// The record's boxes with their captions, three columns of them, and the sale date.
void EntryPanel::addBoxes()
{
    Edit12 = addBox(QStringLiteral("Edit12"), QStringLiteral("商品类别："), {88, 21}, 88);
    Edit13 = addBox(QStringLiteral("Edit13"), QStringLiteral("商品名称："), {88, 50}, 88);
    Edit10 = addBox(QStringLiteral("Edit10"), QStringLiteral("商品编码："), {88, 79}, 88);
    Edit14 = addBox(QStringLiteral("Edit14"), QStringLiteral("规格型号："), {88, 108}, 88);
    Edit15 = addBox(QStringLiteral("Edit15"), QStringLiteral("进货单价："), {88, 137}, 88, &Label15);
    Edit9 = addBox(QStringLiteral("Edit9"), QStringLiteral("销售单价："), {264, 21}, 75);
    Edit21 = addBox(QStringLiteral("Edit21"), QStringLiteral("销售数量："), {264, 50}, 57);
    Edit16 = addBox(QStringLiteral("Edit16"), QStringLiteral("销售合计："), {264, 79}, 75);
    Edit17 = addBox(QStringLiteral("Edit17"), QStringLiteral("欠款金额："), {264, 108}, 75);
    Edit27 = addBox(QStringLiteral("Edit27"), QStringLiteral("利  润："), {264, 137}, 75, &Label10);
    Edit28 = addBox(QStringLiteral("Edit28"), QStringLiteral("客户名称："), {423, 21}, 78);
    Edit11 = addBox(QStringLiteral("Edit11"), QStringLiteral("手  机："), {423, 50}, 112);
    Edit8 = addBox(QStringLiteral("Edit8"), QStringLiteral("单  位："), {423, 79}, 112);
    Edit22 = addBox(QStringLiteral("Edit22"), QStringLiteral("备  注："), {423, 108}, 112);
    Label15->setObjectName(QStringLiteral("Label15"));
    Label10->setObjectName(QStringLiteral("Label10"));

    auto *dateLabel = new QLabel(QStringLiteral("销售日期："), this);
    dateLabel->setObjectName(QStringLiteral("saleDateLabel"));
    applyEntryLook(dateLabel);
    dateLabel->setGeometry(422 - kLabelWidth, 137 + 4, kLabelWidth, 16);
    DBDateTimeEditEh1 = new DateEditor(this);
    DBDateTimeEditEh1->setObjectName(QStringLiteral("DBDateTimeEditEh1"));
    applyEntryLook(DBDateTimeEditEh1);
    DBDateTimeEditEh1->setGeometry(422, 137, 91, kBoxHeight);
    DBDateTimeEditEh1->setCursor(Qt::IBeamCursor);
}

// The quantity starts at 1; the arrows beside it step it.
void EntryPanel::addQuantityArrows()
{
    Edit21->setText(QStringLiteral("1"));
    UpDown1 = new UpDownArrows(this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(264 + 57, 50, 16, kBoxHeight);
    connect(UpDown1, &UpDownArrows::stepped, this, [this](int delta) { stepQuantity(delta); });
}

void EntryPanel::setUpNumberBoxes()
{
    for (QLineEdit *computed : {Edit16, Edit27}) {
        computed->setReadOnly(true);
        QPalette palette = computed->palette();
        palette.setColor(QPalette::Base, kReadOnlyGrey);
        computed->setPalette(palette);
    }
    // Only digits and the decimal point can be typed into the price and the quantity;
    // an input method would bypass that.
    for (QLineEdit *number : {Edit9, Edit21})
        number->setAttribute(Qt::WA_InputMethodEnabled, false);
}

void EntryPanel::addHideCheckBox()
{
    CheckBox8 = new QCheckBox(QStringLiteral("隐藏进货单价和利润"), this);
    CheckBox8->setObjectName(QStringLiteral("CheckBox8"));
    applyEntryLook(CheckBox8, 12);
    CheckBox8->setGeometry(32, 175, 150, 20);
    CheckBox8->setCursor(Qt::ArrowCursor);
    connect(CheckBox8, &QCheckBox::toggled, this, [this](bool hide) {
        // Hidden boxes keep their texts and still take part in the sums and checks.
        for (QWidget *widget : {static_cast<QWidget *>(Label15), static_cast<QWidget *>(Edit15),
                                static_cast<QWidget *>(Label10), static_cast<QWidget *>(Edit27)})
            widget->setVisible(!hide);
    });
}

void EntryPanel::addButtons()
{
    auto makeButton = [this](const QString &name, const QString &caption, QPoint position) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setGeometry(QRect(position, QSize(75, 25)));
        button->setCursor(Qt::ArrowCursor);
        // A focused button is pressed by Enter as well as by the space bar.
        button->setAutoDefault(true);
        return button;
    };
    Button1 = makeButton(QStringLiteral("Button1"), QStringLiteral("新  增"), {192, 173});
    Button3 = makeButton(QStringLiteral("Button3"), QStringLiteral("修  改"), {320, 173});
    Button9 = makeButton(QStringLiteral("Button9"), QStringLiteral("清空"), {448, 173});
    Button9->hide();
    connect(Button9, &QPushButton::clicked, this, [this] { clear(); });
}

void EntryPanel::addCloseImage()
{
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(closePicture());
    Image1->setGeometry(536, 11, 17, 17);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);
}

// The live sums follow the price, the quantity and the purchase price as they are typed.
void EntryPanel::connectCalculation()
{
    connect(Edit9, &QLineEdit::textChanged, this,
            guarded(this, [this] { recalculate(SaleCalculation::Source::SalePrice); }));
    connect(Edit21, &QLineEdit::textChanged, this,
            guarded(this, [this] { recalculate(SaleCalculation::Source::Quantity); }));
    connect(Edit15, &QLineEdit::textChanged, this,
            guarded(this, [this] { recalculate(SaleCalculation::Source::PurchasePrice); }));
}

QLineEdit *EntryPanel::addBox(const QString &name, const QString &caption, QPoint position, int width,
                              QLabel **labelOut)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(name + QStringLiteral("Label"));
    applyEntryLook(label);
    label->setGeometry(position.x() - kLabelWidth, position.y() + 4, kLabelWidth, 16);
    if (labelOut)
        *labelOut = label;

    auto *box = new QLineEdit(this);
    box->setObjectName(name);
    applyEntryLook(box);
    box->setGeometry(QRect(position, QSize(width, kBoxHeight)));
    box->setCursor(Qt::IBeamCursor);
    box->installEventFilter(this);
    return box;
}

void EntryPanel::buildEnterChain()
{
    const std::pair<QWidget *, QWidget *> chain[] = {
        {Edit12, Edit13}, {Edit13, Edit10}, {Edit10, Edit14}, {Edit15, Edit9},  {Edit9, Edit21},
        {Edit21, Edit17}, {Edit17, Edit28}, {Edit28, Edit11}, {Edit11, Edit8},  {Edit8, Edit22},
        {Edit22, DBDateTimeEditEh1},        {Edit16, Edit27}, {Edit27, Edit17},
    };
    for (const auto &[from, to] : chain)
        m_enterNext.insert(from, to);
    addDateEnterAction(DBDateTimeEditEh1);
}

void EntryPanel::buildTabOrder()
{
    QWidget *const order[] = {Edit12, Edit13, Edit14, Edit15, Edit9,  Edit10, Edit11, Edit16, Edit17,
                              Button1, Edit21, Edit22, Edit27, Edit28, Edit8,  DBDateTimeEditEh1, Button3,
                              CheckBox8};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void EntryPanel::focusAddButton()
{
    if (Button1->isVisible() && Button1->isEnabled())
        Button1->setFocus(Qt::TabFocusReason);
}

void EntryPanel::addDateEnterAction(QWidget *dateEditor)
{
    m_enterNext.insert(dateEditor, Button1);
    dateEditor->installEventFilter(this);
}

template<typename Change>
void EntryPanel::withoutCalculation(Change change)
{
    const bool wasSuspended = m_calculationSuspended;
    m_calculationSuspended = true;
    try {
        change();
    } catch (...) {
        m_calculationSuspended = wasSuspended;
        throw;
    }
    m_calculationSuspended = wasSuspended;
}

void EntryPanel::clear()
{
    // Every box the calculation reads is reset here, and the computed boxes are
    // emptied explicitly, so the calculation has nothing to add; running it on the way
    // could only stop the routine halfway on a text that is not a number.
    withoutCalculation([this] {
        Edit12->clear();
        Edit13->clear();
        Edit10->clear();
        Edit14->clear();
        Edit15->clear();
        Edit9->clear();
        Edit21->setText(QStringLiteral("1"));
        Edit16->clear();
        Edit27->clear();
        Edit17->setText(QStringLiteral("0"));
        Edit15->setText(QStringLiteral("0"));
        Edit28->clear();
        Edit11->clear();
        Edit8->clear();
        Edit22->clear();
    });
}

SaleEntry EntryPanel::entry() const
{
    return {Edit12->text(), Edit13->text(), Edit10->text(), Edit14->text(), Edit15->text(),
            Edit9->text(),  Edit21->text(), Edit16->text(), Edit27->text(), Edit17->text(),
            Edit28->text(), Edit11->text(), Edit8->text(),  Edit22->text(), DBDateTimeEditEh1->text()};
}

void EntryPanel::showEntry(const SaleEntry &entry)
{
    withoutCalculation([this, &entry] {
        showText(Edit12, entry.category);
        showText(Edit13, entry.goodsName);
        showText(Edit10, entry.goodsCode);
        showText(Edit14, entry.model);
        showText(Edit15, entry.purchasePrice);
        showText(Edit9, entry.salePrice);
        showText(Edit21, entry.quantity);
        showText(Edit16, entry.saleTotal);
        showText(Edit27, entry.profit);
        showText(Edit17, entry.amountOwed);
        showText(Edit28, entry.customer);
        showText(Edit11, entry.mobile);
        showText(Edit8, entry.unit);
        showText(Edit22, entry.remarks);
        DBDateTimeEditEh1->setText(entry.saleDate);
    });
}

void EntryPanel::fillGoods(const GoodsDetails &goods)
{
    showText(Edit12, goods.category);
    showText(Edit13, goods.goodsName);
    showText(Edit14, goods.model);
    showText(Edit8, goods.unit);
    showText(Edit15, goods.purchasePrice);
    showText(Edit9, goods.salePrice);
}

void EntryPanel::showText(QLineEdit *box, const QString &text)
{
    // A text put into a box is read from its start; setText leaves the cursor at the end,
    // and a long number would show only its last digits ("00000006").
    box->setText(text);
    box->setCursorPosition(0);
}

bool EntryPanel::checkRequired()
{
    return mylib::checkRequired(Edit13, QStringLiteral("商品名称必须输入！"))
           && mylib::checkRequired(Edit12, QStringLiteral("客户类型必须输入！"))
           && mylib::checkRequired(Edit15, QStringLiteral("进货单价必须输入！"))
           && mylib::checkRequired(Edit9, QStringLiteral("销售单价必须输入！"))
           && mylib::checkRequired(Edit21, QStringLiteral("销售数量必须输入！"));
}

bool EntryPanel::checkAmounts()
{
    const std::pair<QLineEdit *, QString> boxes[] = {
        {Edit15, QStringLiteral("进货单价")}, {Edit9, QStringLiteral("销售单价")},
        {Edit21, QStringLiteral("销售数量")}, {Edit16, QStringLiteral("销售合计")},
        {Edit17, QStringLiteral("欠款金额")}, {Edit27, QStringLiteral("利润")},
    };
    for (const auto &[box, name] : boxes) {
        if (!NumberFormat::isTooLarge(box->text()))
            continue;
        MessageBoxes::warning(box, NumberFormat::tooLargeMessage(name));
        // A hidden box (the purchase price and profit can be hidden) keeps its text but
        // cannot take the focus.
        if (box->isVisibleTo(window()) && box->isEnabled())
            box->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

void EntryPanel::recalculate(SaleCalculation::Source source)
{
    if (m_calculationSuspended)
        return;
    const SaleCalculation::Result result =
        SaleCalculation::calculate(Edit9->text(), Edit21->text(), Edit15->text(), source);
    if (result.saleTotal)
        showText(Edit16, *result.saleTotal);
    if (result.profit)
        showText(Edit27, *result.profit);
}

void EntryPanel::stepQuantity(int delta)
{
    Edit21->setText(QuantitySteps::step(Edit21->text(), delta));
}

bool EntryPanel::filterPriceKey(QKeyEvent *event) const
{
    // Shortcuts (copy, paste, select all) are not typing; pasted text is not filtered.
    if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool control = c.unicode() < 32 || c.unicode() == 127;
        if (!control && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('.'))
            return true;
    }
    return false;
}

bool EntryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image1) {
        if (event->type() == QEvent::MouseButtonPress)
            return true; // not the free area: no drag
        if (event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && Image1->rect().contains(mouse->position().toPoint()))
                emit closeClicked();
            return true;
        }
        return QFrame::eventFilter(watched, event);
    }

    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);

    if (isEnter(key)) {
        if (QWidget *next = m_enterNext.value(watched)) {
            // A hidden box (the hide option, or the hidden panel for the quick query's
            // dates) cannot take the focus; Enter then stays put.
            if (next->isVisible() && next->isEnabled())
                next->setFocus(Qt::TabFocusReason);
            return true;
        }
        return QFrame::eventFilter(watched, event);
    }
    if (watched == Edit21 && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        stepQuantity(key->key() == Qt::Key_Up ? 1 : -1);
        return true;
    }
    if ((watched == Edit9 || watched == Edit21) && filterPriceKey(key))
        return true;
    return QFrame::eventFilter(watched, event);
}

void EntryPanel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_dragOffset = event->position().toPoint();
    event->accept();
}

void EntryPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton) || !parentWidget()) {
        QFrame::mouseMoveEvent(event);
        return;
    }
    // The panel follows the mouse but stays inside the window it floats in.
    const QRect area = parentWidget()->rect();
    QPoint target = parentWidget()->mapFromGlobal(event->globalPosition().toPoint()) - m_dragOffset;
    target.setX(std::clamp(target.x(), 0, std::max(0, area.width() - width())));
    target.setY(std::clamp(target.y(), 0, std::max(0, area.height() - height())));
    move(target);
    event->accept();
}

void EntryPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QFrame::mouseReleaseEvent(event);
}
