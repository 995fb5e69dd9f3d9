// Every text of every window, photographed under each of the six skins, must stand out
// from what is drawn behind it by at least 4.5 : 1 (the WCAG contrast ratio). The
// windows are the real ones, in the real application object (style, fonts,
// translations), filled as a shop sees them; the screenshots are kept in
// build/test-artifacts/readability for a look.
#include "application.h"
#include "backupwindow.h"
#include "changeswindow.h"
#include "customerdebtswindow.h"
#include "recyclebinwindow.h"
#include "restorewindow.h"
#include "ledgerbackup.h"
#include "changepass.h"
#include "clock.h"
#include "datagrid.h"
#include "datamodule.h"
#include "entrypanel.h"
#include "exportprogresswindow.h"
#include "ledgerfixture.h"
#include "login.h"
#include "mainform.h"
#include "messageboxservice.h"
#include "reportpreviewdialog.h"
#include "scriptedmessageboxes.h"
#include "skinengine.h"
#include "statsform.h"
#include "testworkspace.h"
#include "upUpgraderPassword.h"
#include "upUpgraderQuestion.h"
#include "upUpgraderWizard.h"
#include "usergl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <functional>

namespace {

constexpr double kRequired = 4.5;

double luminance(QRgb rgb)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What a text region of a screenshot shows: the contrast between its glyphs and what
// lies behind them, and the glyphs' colour.
struct Reading
{
    double contrast = 1;
    QRgb text = 0;
    QRgb background = 0;
};

// Behind the glyphs of a row of text is the colour most of that row shows (rows follow
// vertical gradients and pictures); the glyphs' colour is the pixel that stands out
// most from it. A row where strokes outnumber the background still pairs the two
// colours, since contrast is symmetric. The third-best pixel counts, so a single stray
// pixel cannot make a text pass.
Reading read(const QImage &image, QRect region)
{
    region &= image.rect();
    struct Pixel
    {
        double contrast;
        QRgb colour;
        QRgb behind;
    };
    QList<Pixel> best;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        QHash<QRgb, int> counts;
        for (int x = region.left(); x <= region.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
        QRgb behind = 0;
        int most = -1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > most) {
                most = it.value();
                behind = it.key();
            }
        }
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb colour = image.pixel(x, y) | 0xff000000u;
            best.append({contrast(colour, behind), colour, behind});
        }
        std::sort(best.begin(), best.end(), [](const Pixel &a, const Pixel &b) { return a.contrast > b.contrast; });
        if (best.size() > 3)
            best.resize(3);
    }
    if (best.isEmpty())
        return {};
    const Pixel &counted = best.last();
    return {counted.contrast, best.first().colour, counted.behind};
}

// A text as a window shows it, with the rectangle its glyphs occupy in the window.
struct TextSpot
{
    QString kind;
    QString text;
    QRect rect;
    QPointer<QWidget> widget;
};

QString plain(QString text)
{
    if (Qt::mightBeRichText(text))
        text = QTextDocumentFragment::fromHtml(text).toPlainText();
    // A mnemonic's ampersand is not drawn.
    static const QRegularExpression mnemonic(QStringLiteral("&(?!&)"));
    return text.remove(mnemonic).trimmed();
}

class SpotCollector
{
public:
    explicit SpotCollector(QWidget *window) : m_window(window) {}

    QList<TextSpot> collect()
    {
        visit(m_window);
        for (QWidget *widget : m_window->findChildren<QWidget *>())
            visit(widget);
        return m_spots;
    }

private:
    void add(QWidget *widget, const QString &kind, const QString &text, QRect local)
    {
        if (text.isEmpty())
            return;
        // Only the part of the text that is on screen: inside the widget and every
        // parent up to the window.
        for (QWidget *w = widget; w && w != m_window; w = w->parentWidget())
            local &= QRect(-widget->mapTo(w, QPoint(0, 0)), w->size());
        local &= QRect(-widget->mapTo(m_window, QPoint(0, 0)), m_window->size());
        if (local.width() < 2 || local.height() < 2)
            return;
        local.moveTopLeft(widget->mapTo(m_window, local.topLeft()));
        m_spots.append({kind, text, local, widget});
    }

    static QRect textRect(const QRect &area, int flags, const QString &text,
                          const QFont &font)
    {
        return QFontMetrics(font).boundingRect(area, flags, text) & area;
    }

    void visit(QWidget *widget)
    {
        if (!widget->isVisible())
            return;
        QStyle *style = widget->style();
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (!label->pixmap().isNull() || label->text().isEmpty())
                return;
            const QString text = plain(label->text());
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            add(label, QStringLiteral("label"), text, textRect(label->contentsRect(), flags, text, label->font()));
        } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            const QRect contents = style->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            const QString text = plain(box->text());
            add(box, QStringLiteral("check box"), text,
                textRect(contents, Qt::AlignLeft | Qt::AlignVCenter, text, box->font()));
        } else if (auto *radio = qobject_cast<QRadioButton *>(widget)) {
            QStyleOptionButton option;
            option.initFrom(radio);
            option.text = radio->text();
            const QRect contents = style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
            const QString text = plain(radio->text());
            add(radio, QStringLiteral("radio button"), text,
                textRect(contents, Qt::AlignLeft | Qt::AlignVCenter, text, radio->font()));
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            const QString text = plain(button->text());
            QRect area = button->rect().adjusted(4, 3, -4, -3);
            if (!button->icon().isNull())
                area.setLeft(area.left() + button->iconSize().width() + 4);
            add(button, QStringLiteral("button"), text, textRect(area, Qt::AlignCenter, text, button->font()));
        } else if (auto *tool = qobject_cast<QToolButton *>(widget)) {
            const QString text = plain(tool->text());
            const QRect area = tool->rect().adjusted(3, 2, -3, -2);
            if (tool->toolButtonStyle() == Qt::ToolButtonTextUnderIcon)
                add(tool, QStringLiteral("tool button"), text,
                    textRect(area, Qt::AlignHCenter | Qt::AlignBottom, text, tool->font()));
            else if (tool->toolButtonStyle() == Qt::ToolButtonTextOnly || tool->icon().isNull())
                add(tool, QStringLiteral("tool button"), text, textRect(area, Qt::AlignCenter, text, tool->font()));
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            if (group->title().isEmpty())
                return;
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.lineWidth = 1;
            option.textAlignment = group->alignment();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QRect label = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
            const QString text = plain(group->title());
            add(group, QStringLiteral("group box"), text, textRect(label, Qt::AlignCenter, text, group->font()));
        } else if (auto *tabs = qobject_cast<QTabBar *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const QString text = plain(tabs->tabText(i));
                add(tabs, QStringLiteral("tab"), text,
                    textRect(tabs->tabRect(i).adjusted(3, 2, -3, -2), Qt::AlignCenter, text, tabs->font()));
            }
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            const QString text = edit->displayText();
            add(edit, QStringLiteral("edit box"), text,
                textRect(edit->rect().adjusted(4, 3, -4, -3), int(edit->alignment()), text, edit->font()));
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            if (combo->isEditable())
                return; // its edit box is read on its own
            const QString text = combo->currentText();
            add(combo, QStringLiteral("combo box"), text,
                textRect(combo->rect().adjusted(4, 3, -22, -3), Qt::AlignLeft | Qt::AlignVCenter, text,
                         combo->font()));
        } else if (auto *list = qobject_cast<QListWidget *>(widget)) {
            for (int i = 0; i < list->count(); ++i) {
                QListWidgetItem *item = list->item(i);
                QRect rect = list->visualItemRect(item).adjusted(3, 0, -3, 0);
                rect.translate(list->viewport()->mapTo(list, QPoint(0, 0)));
                add(list, QStringLiteral("list item"), item->text(),
                    textRect(rect, Qt::AlignLeft | Qt::AlignVCenter, item->text(), list->font()));
            }
        } else if (auto *progress = qobject_cast<QProgressBar *>(widget)) {
            if (progress->isTextVisible())
                add(progress, QStringLiteral("progress"), progress->text(),
                    textRect(progress->rect().adjusted(3, 2, -3, -2), int(progress->alignment() | Qt::AlignVCenter),
                             progress->text(), progress->font()));
        } else if (auto *grid = qobject_cast<DataGrid *>(widget)) {
            visitGrid(grid);
        } else if (auto *menu = qobject_cast<QMenu *>(widget)) {
            for (QAction *action : menu->actions()) {
                if (action->isSeparator() || !action->isVisible())
                    continue;
                const QString text = plain(action->text());
                add(menu, QStringLiteral("menu item"), text,
                    textRect(menu->actionGeometry(action).adjusted(20, 2, -4, -2), Qt::AlignLeft | Qt::AlignVCenter,
                             text, menu->font()));
            }
        } else if (auto *view = qobject_cast<QGraphicsView *>(widget)) {
            if (!view->scene())
                return;
            for (QGraphicsItem *item : view->scene()->items()) {
                QString text;
                if (auto *simple = dynamic_cast<QGraphicsSimpleTextItem *>(item))
                    text = simple->text();
                else if (auto *rich = dynamic_cast<QGraphicsTextItem *>(item))
                    text = rich->toPlainText();
                if (!item->isVisible() || text.trimmed().isEmpty())
                    continue;
                QRect rect = view->mapFromScene(item->sceneBoundingRect()).boundingRect();
                rect.translate(view->viewport()->mapTo(view, QPoint(0, 0)));
                add(view, QStringLiteral("chart text"), text.trimmed(), rect.adjusted(1, 1, -1, -1));
            }
        }
    }

    void visitGrid(DataGrid *grid)
    {
        QHeaderView *header = grid->titleHeader();
        QTableView *view = grid->view();
        const QPoint titleOrigin = header->viewport()->mapTo(grid, QPoint(0, 0));
        const QPoint cellOrigin = view->viewport()->mapTo(grid, QPoint(0, 0));
        const QPoint footerOrigin(cellOrigin.x(), grid->footerBar()->mapTo(grid, QPoint(0, 0)).y());
        const int rows = std::min(grid->rowCount(), 4);
        for (int position = 0; position < grid->columnCount(); ++position) {
            if (!grid->isColumnVisibleAt(position))
                continue;
            const int logical = grid->logicalIndexAt(position);
            const int left = header->sectionViewportPosition(logical);
            const int width = header->sectionSize(logical);
            const QRect title(titleOrigin.x() + left, titleOrigin.y(), width, header->height());
            add(grid, QStringLiteral("grid title"), grid->shownTitle(position),
                textRect(title.adjusted(2, 1, -2, -1), Qt::AlignCenter, grid->shownTitle(position),
                         grid->titleLook(position).font));
            for (int row = 0; row < rows; ++row) {
                QRect cell = view->visualRect(view->model()->index(row, logical));
                cell.translate(cellOrigin);
                add(grid, QStringLiteral("grid cell"), grid->shownCellText(row, position),
                    textRect(cell.adjusted(2, 1, -3, -2), Qt::AlignCenter, grid->shownCellText(row, position),
                             grid->cellLook(row, position).font));
            }
            const QRect footer(footerOrigin.x() + left, footerOrigin.y(), width, grid->footerBar()->height());
            add(grid, QStringLiteral("grid footer"), grid->shownFooterText(position),
                textRect(footer.adjusted(2, 1, -2, -1), Qt::AlignCenter, grid->shownFooterText(position),
                         grid->footerLook(position).font));
        }
    }

    QWidget *m_window;
    QList<TextSpot> m_spots;
};

// Gives every empty edit box of the window something to show (a text typed later must
// be as readable as the labels), selects the first entry of lists, and sets progress
// bars alternately to their start and three quarters, so their texts are read over
// the groove and over the bar.
void fillWindow(QWidget *window)
{
    for (QLineEdit *edit : window->findChildren<QLineEdit *>()) {
        if (edit->text().isEmpty())
            edit->setText(QStringLiteral("测试12"));
    }
    for (QListWidget *list : window->findChildren<QListWidget *>()) {
        if (list->count() > 0)
            list->setCurrentRow(0);
    }
    int bars = 0;
    for (QProgressBar *bar : window->findChildren<QProgressBar *>())
        bar->setValue(bars++ % 2 == 0 ? bar->minimum() : bar->minimum() + (bar->maximum() - bar->minimum()) * 3 / 4);
}

const QStringList kSkinNames{QStringLiteral("默认"),     QStringLiteral("蓝色幻想"), QStringLiteral("黑色经典"),
                             QStringLiteral("梦幻天空"), QStringLiteral("黑色遐想"), QStringLiteral("梦想成真")};

void applySkin(int skin)
{
    if (skin < 0)
        SkinEngine::applyDefault();
    else
        SkinEngine::apply(skin);
}

QString artifactFolder()
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/../test-artifacts/readability");
    QDir().mkpath(folder);
    return QDir(folder).absolutePath();
}

} // namespace

class TestReadability : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyTextStandsOut_data();
    void everyTextStandsOut();

private:
    // Builds the window, fills it and shows it; returns the widget to photograph and
    // the texts that must be among those read.
    QWidget *openWindow(const QString &name, QStringList &mustRead);
    void openMainForm();

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<TMainForm> m_form;
    std::vector<std::unique_ptr<QWidget>> m_windows;
    std::unique_ptr<QPrinter> m_printer;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestReadability::initTestCase()
{
    QVERIFY(qobject_cast<Application *>(QCoreApplication::instance()));
}

void TestReadability::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->databasePath());
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(9, 0)));
    addSale(*m_data->ADOConnection1, {"运动鞋", "跑步鞋", 2102161.75, 650188.65, 1200.5});
    addSale(*m_data->ADOConnection1, {"鞋类配件", "鞋垫", 5.0, 1.0, 0.0});
    addSale(*m_data->ADOConnection1, {"运动服", "短袖", 88.0, 20.0, 0.0});
    m_boxes = &ScriptedMessageBoxes::install();
}

void TestReadability::cleanup()
{
    m_windows.clear();
    m_printer.reset();
    m_form.reset();
    MessageBoxService::install(nullptr);
    m_data.reset();
    Clock::setFixedNow(std::nullopt);
    m_workspace.reset();
    SkinEngine::applyDefault();
}

void TestReadability::openMainForm()
{
    m_form = std::make_unique<TMainForm>();
    m_form->setSessionId(1); // logged in: activation asks for no login
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->Button12->click();
    m_form->ToolButton7->click(); // the entry panel
}

QWidget *TestReadability::openWindow(const QString &name, QStringList &mustRead)
{
    auto keep = [this](auto *window) {
        m_windows.emplace_back(window);
        return window;
    };
    if (name == QLatin1String("main")) {
        openMainForm();
        mustRead << QStringLiteral("新 建") << QStringLiteral("商品类别：") << QStringLiteral("隐藏客户信息") << QStringLiteral("总计")
                 << QStringLiteral("销售合计") << QStringLiteral("跑步鞋") << QStringLiteral("操作员：");
        return m_form.get();
    }
    if (name == QLatin1String("settings menu")) {
        openMainForm();
        m_form->PopupMenu1->popup(m_form->mapToGlobal(QPoint(300, 300)));
        mustRead << QStringLiteral("修改密码") << QStringLiteral("黑色经典(皮肤)");
        return m_form->PopupMenu1;
    }
    if (name == QLatin1String("login")) {
        auto *login = keep(new Tloginfm);
        login->show();
        mustRead << QStringLiteral("用户名称：") << QStringLiteral("输入密码：") << QStringLiteral("用户初始登陆密码：947")
                 << QStringLiteral("确定") << QStringLiteral("退出");
        return login;
    }
    if (name == QLatin1String("password change")) {
        auto *window = keep(new Tchangepassfm);
        window->show();
        mustRead << QStringLiteral("选择操作员") << QStringLiteral("新密码重复")
                 << QStringLiteral("提示：密码只能输入字母和数字，最长10个字符！");
        return window;
    }
    if (name.startsWith(QLatin1String("user administration"))) {
        auto *window = keep(new Tuserglfm);
        window->show();
        auto *pages = window->findChild<QTabWidget *>();
        if (pages)
            pages->setCurrentIndex(name.back().digitValue());
        mustRead << QStringLiteral("管理员密码：") << QStringLiteral("用户列表") << QStringLiteral("删除用户");
        return window;
    }
    if (name.startsWith(QLatin1String("statistics"))) {
        auto *window = keep(new TForm4);
        window->show();
        const int page = name.back().digitValue();
        window->findChild<QTabWidget *>()->setCurrentIndex(page);
        window->findChild<QPushButton *>(page == 0 ? QStringLiteral("Button1") : QStringLiteral("Button2"))->click();
        mustRead << QStringLiteral("查 询") << (page == 0 ? QStringLiteral("月销售报表统计") : QStringLiteral("日销售报表统计"))
                 << (page == 0 ? QStringLiteral("3月") : QStringLiteral("31日"));
        return window;
    }
    if (name == QLatin1String("message box")) {
        auto *box = keep(new QMessageBox(QMessageBox::Question, QStringLiteral("Quillmora"),
                                         QStringLiteral("确定要删除这条记录吗？"), QMessageBox::Yes | QMessageBox::No));
        box->show();
        mustRead << QStringLiteral("确定要删除这条记录吗？");
        return box;
    }
    if (name == QLatin1String("save dialog")) {
        auto *dialog = keep(new QFileDialog);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setNameFilter(QStringLiteral("Excel 文件 (*.xls)"));
        dialog->show();
        mustRead << QStringLiteral("查找范围：") << QStringLiteral("保存(S)");
        return dialog;
    }
    if (name == QLatin1String("report preview")) {
        auto *preview = keep(new ReportPreviewDialog(ReportSettings(), [](const ReportSettings &) { return std::unique_ptr<GridReport>(); }));
        preview->show();
        return preview;
    }
    if (name == QLatin1String("report setup")) {
        m_printer = std::make_unique<QPrinter>();
        auto *setup = keep(new ReportSetupDialog(ReportSettings(), m_printer.get()));
        setup->show();
        return setup;
    }
    if (name == QLatin1String("export progress")) {
        auto *progress = keep(new ExportProgressWindow(100));
        progress->show();
        return progress;
    }
    if (name == QLatin1String("upgrade question")) {
        auto *question = keep(new TupUpgraderQuestionForm);
        question->prepare(QStringLiteral("3.6.0 修正了打印"));
        question->show();
        return question;
    }
    if (name == QLatin1String("upgrade password")) {
        auto *password = keep(new TupUpgraderPasswordForm);
        password->prepare(QStringLiteral("http://127.0.0.1/upgrade.txt"), QStringLiteral("shop"));
        password->show();
        return password;
    }
    if (name == QLatin1String("upgrade wizard")) {
        auto *wizard = keep(new TupUpgraderWizardForm);
        wizard->prepare(TupUpgraderWizard());
        wizard->show();
        return wizard;
    }
    if (name == QLatin1String("customer debts")) {
        auto *window = keep(new CustomerDebtsWindow(nullptr, *m_data->ADOConnection1, nullptr, QString()));
        window->reload();
        mustRead << QStringLiteral("查找客户：") << QStringLiteral("结 清") << QStringLiteral("部分付款");
        return window;
    }
    if (name == QLatin1String("recycle bin")) {
        auto *window = keep(new RecycleBinWindow(nullptr, *m_data->ADOConnection1));
        window->show();
        mustRead << QStringLiteral("管理员密码：");
        return window;
    }
    if (name == QLatin1String("change history")) {
        auto *window = keep(new ChangesWindow(nullptr, *m_data->ADOConnection1));
        window->show();
        mustRead << QStringLiteral("管理员密码：");
        return window;
    }
    if (name == QLatin1String("backup")) {
        auto *window = keep(new RestoreWindow(nullptr, LedgerBackup::forSource(m_data->dataSource(), m_data->dataFolder()),
                                              *m_data->ADOConnection1, [](const QString &) {}));
        window->show();
        mustRead << QStringLiteral("管理员密码：") << QStringLiteral("恢复");
        return window;
    }
    return nullptr;
}

void TestReadability::everyTextStandsOut_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("skin");
    const QStringList windows{QStringLiteral("main"),
                              QStringLiteral("settings menu"),
                              QStringLiteral("login"),
                              QStringLiteral("password change"),
                              QStringLiteral("user administration 0"),
                              QStringLiteral("user administration 1"),
                              QStringLiteral("user administration 2"),
                              QStringLiteral("statistics 0"),
                              QStringLiteral("statistics 1"),
                              QStringLiteral("message box"),
                              QStringLiteral("save dialog"),
                              QStringLiteral("report preview"),
                              QStringLiteral("report setup"),
                              QStringLiteral("export progress"),
                              QStringLiteral("upgrade question"),
                              QStringLiteral("upgrade password"),
                              QStringLiteral("upgrade wizard"),
                              QStringLiteral("customer debts"),
                              QStringLiteral("recycle bin"),
                              QStringLiteral("change history"),
                              QStringLiteral("backup")};
    for (const QString &window : windows) {
        for (int skin = -1; skin < SkinEngine::kStoredSkins; ++skin)
            QTest::addRow("%s, %s", qPrintable(window), qPrintable(kSkinNames.at(skin + 1))) << window << skin;
    }
}

void TestReadability::everyTextStandsOut()
{
    QFETCH(QString, window);
    QFETCH(int, skin);
    applySkin(skin);
    QStringList mustRead;
    QWidget *shown = openWindow(window, mustRead);
    QVERIFY(shown);
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    fillWindow(shown);
    QTest::qWait(50);

    const QImage image = shown->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString file = QStringLiteral("%1/%2-%3.png").arg(artifactFolder(), QString(window).replace(QLatin1Char(' '), QLatin1Char('-')))
                             .arg(skin + 1);
    image.save(file);

    QStringList faults;
    QStringList found;
    for (const TextSpot &spot : SpotCollector(shown).collect()) {
        const Reading reading = read(image, spot.rect);
        found << spot.text;
        if (reading.contrast < kRequired)
            faults << QStringLiteral("%1 \"%2\" at (%3,%4 %5x%6): %7 : 1 (%8 on %9)")
                          .arg(spot.kind, spot.text)
                          .arg(spot.rect.x())
                          .arg(spot.rect.y())
                          .arg(spot.rect.width())
                          .arg(spot.rect.height())
                          .arg(reading.contrast, 0, 'f', 2)
                          .arg(QColor(reading.text).name(), QColor(reading.background).name());
        if (spot.text == QLatin1String("用户初始登陆密码：947")) {
            // The hint is red: its strokes are far more red than green or blue.
            const QColor stroke(reading.text);
            if (!(stroke.red() >= 128 && stroke.green() * 2 < stroke.red() && stroke.blue() * 2 < stroke.red()))
                faults << QStringLiteral("the hint is drawn in %1, not red").arg(stroke.name());
        }
    }
    // A number or a date in an edit box is shown whole: with the cursor at its end the
    // text has not been scrolled to the left.
    static const QRegularExpression numberOrDate(QStringLiteral("^[-0-9.]+$"));
    for (QLineEdit *edit : shown->findChildren<QLineEdit *>()) {
        if (!edit->isVisible() || !numberOrDate.match(edit->text()).hasMatch())
            continue;
        // The edit box scrolls its text while it paints.
        edit->setCursorPosition(0);
        edit->repaint();
        const int start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
        edit->setCursorPosition(int(edit->text().size()));
        edit->repaint();
        const int end = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
        const int width = edit->fontMetrics().horizontalAdvance(edit->text());
        if (end - start < width - 1)
            faults << QStringLiteral("edit box %1 shows \"%2\" cut: %3 of %4 pixels")
                          .arg(edit->objectName(), edit->text())
                          .arg(end - start)
                          .arg(width);
    }
    for (const QString &text : std::as_const(mustRead)) {
        if (!found.contains(text))
            faults << QStringLiteral("\"%1\" was not found on the screenshot's texts").arg(text);
    }
    QVERIFY2(!found.isEmpty(), "no text found");
    QVERIFY2(faults.isEmpty(), qPrintable(file + QStringLiteral(":\n  ") + faults.join(QStringLiteral("\n  "))));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    TestReadability test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_readability.moc"
