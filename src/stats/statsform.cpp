#include "statsform.h"

#include "clock.h"
#include "datamodule.h"
#include "dataset.h"
#include "guardedcommand.h"
#include "salesbarchart.h"
#include "saleschartqueries.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>

namespace {

constexpr int kChartWidth = 665;
constexpr int kChartHeight = 340;
constexpr int kControlsTop = 352;

QComboBox *yearBox(QWidget *parent, const QString &name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->addItems({QStringLiteral("2014"), QStringLiteral("2015")});
    return box;
}

QLabel *label(QWidget *parent, const QString &text, int x)
{
    auto *caption = new QLabel(text, parent);
    caption->setGeometry(x, kControlsTop + 3, 40, 20);
    return caption;
}

} // namespace

TForm4::TForm4(QWidget *parent) : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("销售统计"));
    resize(699, 433);

    if (dmfm) {
        ADOQuery1 = std::make_unique<Dataset>(*dmfm->ADOConnection1, QStringLiteral("ADOQuery1"));
        ADOQuery2 = std::make_unique<Dataset>(*dmfm->ADOConnection1, QStringLiteral("ADOQuery2"));
    }

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 697, 433);

    DBChart1 = new SalesBarChart(QStringLiteral("月销售报表统计"), 12, QStringLiteral("月"), QStringLiteral("Series1"));
    DBChart1->setObjectName(QStringLiteral("DBChart1"));
    TabSheet1 = buildPage(DBChart1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    ComboBox1 = yearBox(TabSheet1, QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(16, kControlsTop, 80, 24);
    label(TabSheet1, QStringLiteral("年"), 102);
    Button1 = new QPushButton(QStringLiteral("查 询"), TabSheet1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(140, kControlsTop, 75, 25);
    connect(Button1, &QPushButton::clicked, this, guarded(this, [this] { runMonthlyQuery(); }));

    DBChart3 = new SalesBarChart(QStringLiteral("日销售报表统计"), 31, QStringLiteral("日"), QStringLiteral("BarSeries1"));
    DBChart3->setObjectName(QStringLiteral("DBChart3"));
    TabSheet2 = buildPage(DBChart3);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    ComboBox3 = yearBox(TabSheet2, QStringLiteral("ComboBox3"));
    ComboBox3->setGeometry(16, kControlsTop, 80, 24);
    label(TabSheet2, QStringLiteral("年"), 102);
    ComboBox2 = new QComboBox(TabSheet2);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setEditable(true);
    for (int month = 1; month <= 12; ++month)
        ComboBox2->addItem(QString::number(month));
    ComboBox2->setGeometry(130, kControlsTop, 60, 24);
    label(TabSheet2, QStringLiteral("月份"), 196);
    Button2 = new QPushButton(QStringLiteral("查 询"), TabSheet2);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(240, kControlsTop, 75, 25);
    connect(Button2, &QPushButton::clicked, this, guarded(this, [this] { runDailyQuery(); }));

    PageControl1->addTab(TabSheet1, QStringLiteral("月销售报表"));
    PageControl1->addTab(TabSheet2, QStringLiteral("日销售报表"));
    // The daily page is the one seen first; later showings keep the page last chosen.
    PageControl1->setCurrentWidget(TabSheet2);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm4::~TForm4() = default;

QWidget *TForm4::buildPage(SalesBarChart *chart)
{
    auto *page = new QWidget;
    chart->setParent(page);
    chart->setGeometry(0, 0, kChartWidth, kChartHeight);
    return page;
}

void TForm4::runMonthlyQuery()
{
    if (!ADOQuery1)
        return;
    ADOQuery1->close();
    DBChart1->clear();
    const SalesChartQueries::Statement statement = SalesChartQueries::monthly(ComboBox1->currentText());
    DBChart1->setBars(SalesChartQueries::open(*ADOQuery1, statement));
}

void TForm4::runDailyQuery()
{
    if (!ADOQuery2)
        return;
    ADOQuery2->close();
    DBChart3->clear();
    const SalesChartQueries::Statement statement
        = SalesChartQueries::daily(ComboBox2->currentText(), ComboBox3->currentText());
    DBChart3->setBars(SalesChartQueries::open(*ADOQuery2, statement));
}

void TForm4::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    const QDate today = Clock::today();
    ComboBox1->setEditText(QString::number(today.year()));
    ComboBox2->setEditText(QString::number(today.month()));
    ComboBox3->setEditText(QString::number(today.year()));
    runGuarded(this, [this] { runMonthlyQuery(); });
    runGuarded(this, [this] { runDailyQuery(); });
}

void TForm4::closeEvent(QCloseEvent *event)
{
    // Closing only hides: the window lives for the whole run.
    event->accept();
    if (ADOQuery1)
        ADOQuery1->close();
    DBChart1->clear();
}
