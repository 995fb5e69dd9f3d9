#include "quickquerypanel.h"

#include "fonts.h"
#include "guardedcommand.h"
#include "ledgergrid.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

} // namespace

QuickQueryPanel::QuickQueryPanel(QWidget *parent) : QGroupBox(QStringLiteral(" 快速查询 "), parent)
{
    setObjectName(QStringLiteral("GroupBox5"));
    setFont(songTi(14));

    auto check = [this](QCheckBox *&box, const char *name, const QString &caption, int x, int y) {
        box = new QCheckBox(caption, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(x, y, 92, 22);
    };
    auto edit = [this](QLineEdit *&box, const char *name, int x, int y) {
        box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(x, y, 96, 22);
    };
    auto date = [this](QDateEdit *&box, const char *name, int x, int y) {
        box = new QDateEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        box->setCalendarPopup(true);
        box->setGeometry(x, y, 112, 22);
        box->installEventFilter(this);
        if (auto *text = box->findChild<QLineEdit *>())
            text->installEventFilter(this);
    };

    // Category and code on the first row, name and model on the second, the
    // date range on the third; the query button at the right of the first row.
    check(CheckBox1, "CheckBox1", QStringLiteral("商品类别："), 8, 22);
    edit(Edit24, "Edit24", 100, 22);
    check(CheckBox3, "CheckBox3", QStringLiteral("商品编码："), 200, 22);
    edit(Edit25, "Edit25", 292, 22);
    check(CheckBox2, "CheckBox2", QStringLiteral("商品名称："), 8, 52);
    edit(Edit23, "Edit23", 100, 52);
    check(CheckBox4, "CheckBox4", QStringLiteral("规格型号："), 200, 52);
    edit(Edit29, "Edit29", 292, 52);
    check(CheckBox7, "CheckBox7", QStringLiteral("销售日期："), 8, 82);
    date(DBDateTimeEditEh2, "DBDateTimeEditEh2", 100, 82);
    dateRangeLabel = new QLabel(QStringLiteral("至"), this);
    dateRangeLabel->setGeometry(220, 82, 18, 22);
    date(DBDateTimeEditEh3, "DBDateTimeEditEh3", 240, 82);

    Button2 = new QPushButton(QStringLiteral("查  询"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(396, 20, 80, 26);
    connect(Button2, &QPushButton::clicked, this, guarded(this, [this] {
                if (m_controller)
                    m_controller->quickQuery(input());
            }));
}

QuickQueryInput QuickQueryPanel::input() const
{
    QuickQueryInput result;
    result.byCategory = CheckBox1->isChecked();
    result.category = Edit24->text();
    result.byName = CheckBox2->isChecked();
    result.name = Edit23->text();
    result.byCode = CheckBox3->isChecked();
    result.code = Edit25->text();
    result.byModel = CheckBox4->isChecked();
    result.model = Edit29->text();
    result.byDate = CheckBox7->isChecked();
    result.from = DBDateTimeEditEh2->date();
    result.to = DBDateTimeEditEh3->date();
    return result;
}

void QuickQueryPanel::setDates(const QDate &date)
{
    DBDateTimeEditEh2->setDate(date);
    DBDateTimeEditEh3->setDate(date);
}

bool QuickQueryPanel::eventFilter(QObject *watched, QEvent *event)
{
    const bool dateEditor = watched == DBDateTimeEditEh2 || watched == DBDateTimeEditEh3
                            || watched->parent() == DBDateTimeEditEh2 || watched->parent() == DBDateTimeEditEh3;
    if (dateEditor && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit dateEnterPressed();
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}
