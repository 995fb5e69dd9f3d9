#include "mainform.h"

#include "applicationstyle.h"
#include "changepass.h"
#include "clock.h"
#include "customerdebtswindow.h"
#include "dayendreportwindow.h"
#include "datagrid.h"
#include "datamodule.h"
#include "dataset.h"
#include "datetext.h"
#include "fonts.h"
#include "dateeditor.h"
#include "desktopshortcut.h"
#include "entrycommands.h"
#include "entrypanel.h"
#include "framewatcher.h"
#include "guardedcommand.h"
#include "ledgerchanges.h"
#include "ledgergrid.h"
#include "ledgerreport.h"
#include "login.h"
#include "preferences.h"
#include "useraccounts.h"
#include "usermessages.h"
#include "quickquerypanel.h"
#include "sessionlog.h"
#include "showorcreate.h"
#include "spreadsheetexport.h"
#include "statsform.h"
#include "upUpgrader.h"
#include "urlopener.h"
#include "usergl.h"
#include "backupwindow.h"
#include "changeswindow.h"
#include "recyclebinwindow.h"
#include "restorewindow.h"
#include "restoreatstart.h"
#include "automaticbackup.h"

#include <QAction>
#include <QKeySequence>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cstdio>
#include <utility>

TMainForm *MainForm = nullptr;

namespace {

constexpr int kClientWidth = 929;
constexpr int kClientHeight = 640;
constexpr int kGridDesignHeight = 497;
constexpr int kStatusBarHeight = 19;
// The grid is the window's outer height less the room the lower panel and status bar need.
constexpr int kLowerAreaHeight = 185;

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), m_automaticBackup(std::make_unique<AutomaticBackup>(this)),
      m_restarter([](const QString &backup) { RestoreAtStart::restart(backup); })
{
    MainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Quillmora V3.5.1(春节珍藏版) "));
    QApplication::setWindowIcon(applicationIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    QPalette background = palette();
    background.setColor(QPalette::Window, palette().color(QPalette::Button));
    setPalette(background);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralArea"));
    setCentralWidget(central);

    DBGridEh1 = new DataGrid(central);
    LedgerGrid::configure(*DBGridEh1);
    DBGridEh1->setGeometry(0, 0, kClientWidth, kGridDesignHeight);
    m_ledger = new LedgerController(*DBGridEh1, this);

    buildLowerPanel();
    buildToolBar();
    buildMenus();
    buildEntryPanel();
    buildStatusBar();
    buildUpgrader();

    // The grid's height counts the frame, which the window manager reports only after
    // the window is shown or its state has changed.
    m_frame = new FrameWatcher(this);
    connect(m_frame, &FrameWatcher::frameChanged, this, [this] { resizeStep(); });
    resize(kClientWidth, kClientHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
    // The password window is a child: its end must not update a window half gone.
    if (m_changePassword)
        disconnect(m_changePassword, nullptr, this, nullptr);
}

void TMainForm::buildUpgrader()
{
    // "http://" names no host: every check ends without a response and, with the
    // default messages, silently.
    upUpgrader1 = new TupUpgrader(this);
    upUpgrader1->InfoFileURL = QStringLiteral("http://");
    upUpgrader1->VersionDate = QStringLiteral("03/12/2014");
    upUpgrader1->Loaded();
    // A new check waits until the outcome of the previous one has been dealt with
    // (its question answered, its files downloaded).
    m_upgradeCheck = [this] {
        if (!upUpgrader1->upgradeInProgress())
            upUpgrader1->CheckUpdate();
    };
}

void TMainForm::setLoginWindow(Tloginfm *login)
{
    m_login = login;
    // A successful login fills the grid before the login window closes; an error
    // there is reported and keeps the login window open.
    if (m_login)
        m_login->setShowAllRecords([this] { showAllRecords(); });
}

void TMainForm::setStatisticsWindow(TForm4 *statistics)
{
    m_statistics = statistics;
}

QString TMainForm::supportAddress()
{
    return QStringLiteral("https://support.quillmora.example/");
}

void TMainForm::buildLowerPanel()
{
    Panel1 = new QWidget(centralWidget());
    Panel1->setObjectName(QStringLiteral("Panel1"));

    GroupBox5 = new QuickQueryPanel(Panel1);
    GroupBox5->setGeometry(6, 2, 484, 118);
    GroupBox5->setController(m_ledger);
    // Enter in a query date editor goes on to the entry panel's add button.
    connect(GroupBox5, &QuickQueryPanel::dateEnterPressed, this, [this] { Panel3->focusAddButton(); });

    Button12 = new QPushButton(QStringLiteral("全部记录"), Panel1);
    Button12->setObjectName(QStringLiteral("Button12"));
    Button12->setVisible(false);
    connect(Button12, &QPushButton::clicked, this, guarded(this, [this] { showAllRecords(); }));

    Button4 = new QPushButton(QStringLiteral("图表统计"), GroupBox5);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(396, 52, 80, 26);
    connect(Button4, &QPushButton::clicked, this, guarded(this, [this] {
                if (!m_statistics)
                    return;
                m_statistics->show();
                m_statistics->raise();
                m_statistics->activateWindow();
            }));

    CheckBox5 = new QCheckBox(QStringLiteral("隐藏进货单价和利润"), Panel1);
    CheckBox5->setObjectName(QStringLiteral("CheckBox5"));
    CheckBox5->setFont(songTi(14));
    CheckBox5->setGeometry(500, 80, 170, 22);

    CheckBox6 = new QCheckBox(QStringLiteral("隐藏客户信息"), Panel1);
    CheckBox6->setObjectName(QStringLiteral("CheckBox6"));
    CheckBox6->setFont(songTi(14));
    CheckBox6->setGeometry(690, 80, 130, 22);

    connect(CheckBox5, &QCheckBox::toggled, this,
            guarded(this, [this] { m_ledger->setPurchaseColumnsHidden(CheckBox5->isChecked()); }));
    connect(CheckBox6, &QCheckBox::toggled, this,
            guarded(this, [this] { m_ledger->setCustomerColumnsHidden(CheckBox6->isChecked()); }));
}

QToolButton *TMainForm::addToolButton(const QString &name, const QString &caption, const QIcon &icon)
{
    auto *button = new QToolButton(ToolBar2);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(icon);
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFixedSize(55, 52);
    button->setAutoRaise(true);
    ToolBar2->addWidget(button);
    return button;
}

void TMainForm::buildToolBar()
{
    ToolBar2 = new QToolBar(Panel1);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolBar2->move(497, 17);

    QStyle *s = style();
    ToolButton7 = addToolButton(QStringLiteral("ToolButton7"), QStringLiteral("新 建"), s->standardIcon(QStyle::SP_FileIcon));
    ToolButton19 = addToolButton(QStringLiteral("ToolButton19"), QStringLiteral("删 除"), s->standardIcon(QStyle::SP_TrashIcon));
    ToolButton19->setEnabled(false);
    ToolButton22 = addToolButton(QStringLiteral("ToolButton22"), QStringLiteral("打 印"), s->standardIcon(QStyle::SP_FileDialogDetailedView));
    ToolButton17 = addToolButton(QStringLiteral("ToolButton17"), QStringLiteral("导 出"), s->standardIcon(QStyle::SP_DialogSaveButton));
    ToolButton18 = addToolButton(QStringLiteral("ToolButton18"), QStringLiteral("设 置"), s->standardIcon(QStyle::SP_FileDialogListView));
    ToolButton1 = addToolButton(QStringLiteral("ToolButton1"), QStringLiteral("技术支持"), s->standardIcon(QStyle::SP_DialogHelpButton));
    // Last, so the six buttons before it keep the places operators know.
    debtsButton = addToolButton(QStringLiteral("debtsButton"), QStringLiteral("欠 款"),
                                s->standardIcon(QStyle::SP_FileDialogContentsView));
    ToolBar2->adjustSize();

    connect(ToolButton22, &QToolButton::clicked, this, guarded(this, [this] {
                LedgerReport::preview(this, *DBGridEh1, dmfm ? dmfm->ADOQuery15 : nullptr, supportAddress());
            }));
    connect(ToolButton17, &QToolButton::clicked, this, guarded(this, [this] {
                SpreadsheetExport::exportGrid(this, SpreadsheetExport::columnsOf(*DBGridEh1),
                                              dmfm ? dmfm->ADOQuery15 : nullptr);
            }));
    connect(debtsButton, &QToolButton::clicked, this, guarded(this, [this] { showCustomerDebts(); }));
    connect(ToolButton1, &QToolButton::clicked, this, guarded(this, [] {
                // The support page is a courtesy: a desktop that cannot open it says nothing.
                UrlOpener::open(QUrl(supportAddress()));
            }));
}

void TMainForm::buildMenus()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto addItem = [](QMenu *menu, const QString &name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    N15 = addItem(PopupMenu1, QStringLiteral("N15"), QStringLiteral("修改密码"));
    N13 = addItem(PopupMenu1, QStringLiteral("N13"), QStringLiteral("用户管理"));
    switchUserAction = addItem(PopupMenu1, QStringLiteral("switchUserAction"), QStringLiteral("切换用户"));
    switchUserAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    addAction(switchUserAction);
    connect(switchUserAction, &QAction::triggered, this, guarded(this, [this] { switchUser(); }));
    // Every role may see the day's figures; a cashier without the profit.
    dayEndAction = addItem(PopupMenu1, QStringLiteral("dayEndAction"), QStringLiteral("日结报表"));
    connect(dayEndAction, &QAction::triggered, this, guarded(this, [this] {
                if (!dmfm)
                    return;
                if (m_dayEnd)
                    m_dayEnd->close();
                m_dayEnd = new DayEndReportWindow(this, *dmfm->ADOConnection1,
                                                  UserRoles::allows(m_role, UserRoles::Command::ShowPurchasePrices),
                                                  supportAddress());
            }));
    connect(N15, &QAction::triggered, this,
            guarded(this, [this] { showOrCreate<Tchangepassfm>(m_changePassword, this); }));
    connect(N13, &QAction::triggered, this,
            guarded(this, [this] { showOrCreate<Tuserglfm>(m_userAdministration, this); }));
    // The recycle bin, the history of changes, backup and restore: for the super
    // administrator, each window locked until the password is entered.
    PopupMenu1->addSeparator();
    recycleBinAction = addItem(PopupMenu1, QStringLiteral("recycleBinAction"), QStringLiteral("回收站"));
    changesAction = addItem(PopupMenu1, QStringLiteral("changesAction"), QStringLiteral("修改记录"));
    backupAction = addItem(PopupMenu1, QStringLiteral("backupAction"), QStringLiteral("备份数据"));
    restoreAction = addItem(PopupMenu1, QStringLiteral("restoreAction"), QStringLiteral("恢复数据"));
    connect(recycleBinAction, &QAction::triggered, this, guarded(this, [this] {
                const QPointer<RecycleBinWindow> before = m_recycleBin;
                RecycleBinWindow *window = showOrCreate<RecycleBinWindow>(m_recycleBin, this, *dmfm->ADOConnection1);
                // A sale put back shows in the ledger at once.
                if (window != before)
                    connect(window, &RecycleBinWindow::restored, this, guarded(this, [this] { showAllRecords(); }));
            }));
    connect(changesAction, &QAction::triggered, this, guarded(this, [this] { showOrCreate<ChangesWindow>(m_changes, this, *dmfm->ADOConnection1); }));
    connect(backupAction, &QAction::triggered, this, guarded(this, [this] {
                if (m_backupWindow)
                    m_backupWindow->close();
                m_backupWindow = new BackupWindow(this, LedgerBackup::forSource(dmfm->dataSource(), dmfm->dataFolder()),
                                                  *dmfm->ADOConnection1);
                m_backupWindow->show();
            }));
    connect(restoreAction, &QAction::triggered, this, guarded(this, [this] {
                if (m_backupWindow)
                    m_backupWindow->close();
                m_backupWindow = new RestoreWindow(this, LedgerBackup::forSource(dmfm->dataSource(), dmfm->dataFolder()),
                                                   *dmfm->ADOConnection1, restartForRestore());
                m_backupWindow->show();
            }));
    N1 = PopupMenu1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    N19 = addItem(PopupMenu1, QStringLiteral("N19"), QStringLiteral("蓝色幻想(皮肤)"));
    N26 = addItem(PopupMenu1, QStringLiteral("N26"), QStringLiteral("黑色经典(皮肤)"));
    N32 = addItem(PopupMenu1, QStringLiteral("N32"), QStringLiteral("梦幻天空(皮肤)"));
    N42 = addItem(PopupMenu1, QStringLiteral("N42"), QStringLiteral("黑色遐想(皮肤)"));
    N52 = addItem(PopupMenu1, QStringLiteral("N52"), QStringLiteral("梦想成真(皮肤)"));
    QAction *skins[] = {N19, N26, N32, N42, N52};
    for (int index = 0; index < 5; ++index)
        connect(skins[index], &QAction::triggered, this, guarded(this, [index] { SkinPreference::choose(index); }));
    ToolButton18->setMenu(PopupMenu1);
    ToolButton18->setPopupMode(QToolButton::InstantPopup);

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    N2 = addItem(PopupMenu3, QStringLiteral("N2"), QStringLiteral("保存列宽"));
    N3 = addItem(PopupMenu3, QStringLiteral("N3"), QStringLiteral("读取列宽"));
    connect(N2, &QAction::triggered, this, guarded(this, [this] { LayoutPreference::save(*DBGridEh1); }));
    connect(N3, &QAction::triggered, this, guarded(this, [this] { LayoutPreference::restore(*DBGridEh1); }));
    DBGridEh1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridEh1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { PopupMenu3->popup(DBGridEh1->mapToGlobal(position)); });

    // Never shown; the activation step runs it.
    N18 = new QAction(QStringLiteral("检查升级"), this);
    N18->setObjectName(QStringLiteral("N18"));
    N18->setVisible(false);
    connect(N18, &QAction::triggered, this, guarded(this, [this] {
                if (m_upgradeCheck)
                    m_upgradeCheck();
            }));
}

void TMainForm::buildEntryPanel()
{
    Panel3 = new EntryPanel(centralWidget());
    Panel3->move(152, 201);
    Panel3->raise();
    entryCommands = new EntryCommands(Panel3, ToolButton19, this);

    connect(ToolButton7, &QToolButton::clicked, this, guarded(this, [this] { entryCommands->newEntry(); }));
    connect(ToolButton19, &QToolButton::clicked, this, guarded(this, [this] { entryCommands->deleteCurrent(); }));
    // A cashier deletes no sale and modifies only today's.
    entryCommands->setChangeCheck([this](bool deleting, const QDate &saleDay) {
        using UserRoles::Command;
        const Command command = deleting ? Command::DeleteSale
                                : saleDay.isValid() && saleDay < Clock::now().date() ? Command::ModifyOlderSale
                                                                                     : Command::ModifyTodaysSale;
        return UserRoles::allows(m_role, command) ? QString() : UserRoles::refusal(command);
    });
    connect(DBGridEh1, &DataGrid::doubleClicked, this,
            guarded(this, [this] { entryCommands->loadCurrent(firstColumnField()); }));
    connect(DBGridEh1, &DataGrid::clicked, this, guarded(this, [this] { entryCommands->enableDelete(); }));
}

QString TMainForm::firstColumnField() const
{
    return DBGridEh1->fieldAt(0);
}

void TMainForm::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setFixedHeight(kStatusBarHeight);
    bar->setSizeGripEnabled(false);
    const int widths[4] = {250, 100, 120, 300};
    const Qt::Alignment alignments[4] = {Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignCenter, Qt::AlignCenter,
                                         Qt::AlignRight | Qt::AlignVCenter};
    for (int i = 0; i < 4; ++i) {
        auto *panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(widths[i]);
        panel->setAlignment(alignments[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        bar->addWidget(panel);
        statusPanels[i] = panel;
    }
    statusPanels[1]->setText(QStringLiteral("操作员："));
    statusPanels[3]->setText(supportAddress());
    passwordNote = new QLabel(QStringLiteral("初始密码"), bar);
    passwordNote->setObjectName(QStringLiteral("PasswordNote"));
    passwordNote->setStyleSheet(QStringLiteral("QLabel#PasswordNote { color: #d00000; font-weight: bold; }"));
    passwordNote->setToolTip(QStringLiteral("您仍在使用初始密码，请修改密码。"));
    bar->addWidget(passwordNote);
    passwordNote->hide();
    changeNote = new QLabel(bar);
    changeNote->setObjectName(QStringLiteral("ChangeNote"));
    changeNote->setFrameShape(QFrame::StyledPanel);
    changeNote->setFrameShadow(QFrame::Sunken);
    changeNote->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Plain text drawn like a link: a rich-text link does not fit the bar's height.
    changeNote->setStyleSheet(QStringLiteral("QLabel#ChangeNote { color: #0000c0; text-decoration: underline; }"));
    changeNote->setCursor(Qt::PointingHandCursor);
    changeNote->setToolTip(QStringLiteral("点击重新读取账本"));
    changeNote->installEventFilter(this);
    bar->addWidget(changeNote, 1);
    changeNote->hide();
}

void TMainForm::showChangeNote(const QString &note)
{
    if (note.isEmpty()) {
        changeNote->hide();
        changeNote->clear();
        statusPanels[3]->show();
        return;
    }
    changeNote->setText(note);
    statusPanels[3]->hide();
    changeNote->show();
}

void TMainForm::watchLedgerChanges()
{
    if (!dmfm || m_ledgerChanges)
        return;
    m_ledgerChanges = new LedgerChanges(*dmfm->ADOConnection1, dmfm->dataSource(), this);
    connect(m_ledgerChanges, &LedgerChanges::changed, this,
            [this](const LedgerChangeCounts &counts) { showChangeNote(LedgerChanges::noteText(counts)); });
    // An open is a read of the ledger; a sort only puts the rows read in another order.
    Dataset *ledger = dmfm->ADOQuery15;
    connect(ledger, &Dataset::reset, m_ledgerChanges, [this, ledger] {
        if (ledger->isOpen() && ledger->sort().isEmpty())
            m_ledgerChanges->markRead();
    });
    m_ledgerChanges->start();
}

void TMainForm::showStep()
{
    N3->trigger();
    attachLedger();
    if (dmfm) {
        dmfm->openAppendTable();
        entryCommands->setDatasets(dmfm->ADOTable5, dmfm->ADOQuery15);
        watchLedgerChanges();
    }
    Panel3->hide();
    Panel3->DBDateTimeEditEh1->setDate(Clock::today());
    // Tooltips show at once.
    ApplicationStyle::setToolTipDelay(0);
    GroupBox5->setDates(Clock::today());
    SkinPreference::restore();
    statusPanels[2]->setText(QStringLiteral("今天：") + DateText::date(Clock::today()));
}

void TMainForm::activationStep()
{
    N18->trigger();
    if (m_sessionId == 0 && !m_loginOpen)
        runLogin();
}

std::function<void(const QString &)> TMainForm::restartForRestore()
{
    // The backup made as this window closes must not let the keeping rule take the
    // backup that the restarted program is about to restore.
    return [this](const QString &backup) {
        m_automaticBackup->spare(backup);
        m_restarter(backup);
    };
}

void TMainForm::setScriptedLogin(const QString &user, const QString &password)
{
    m_scriptedLogin = {user, password};
}

void TMainForm::runLogin()
{
    if (!m_login) {
        close();
        return;
    }
    m_loginOpen = true;
    const bool scripted = !m_scriptedLogin.isEmpty();
    if (scripted) {
        QTimer::singleShot(0, m_login, guarded(m_login, [login = m_login, typed = std::exchange(m_scriptedLogin, {})] {
                               login->ComboBox1->setCurrentText(typed.value(0));
                               login->Edit1->setText(typed.value(1));
                               login->confirm();
                           }));
    }
    const int result = m_login->exec();
    m_loginOpen = false;
    if (result == QDialog::Accepted && m_login->sessionId() != 0) {
        activateWindow();
        statusPanels[1]->setText(m_login->userName());
        m_sessionId = m_login->sessionId();
        if (dmfm) {
            dmfm->setOperatorName(m_login->userName());
            m_role = UserRoles::roleOf(*dmfm->ADOConnection1, m_login->userName());
            applyRole();
            // After the login has finished, so it is not held up by the check.
            QTimer::singleShot(0, this, guarded(this, [this] { remindInitialPassword(); }));
            m_automaticBackup->afterLogin(*dmfm);
        }
        if (scripted) {
            // Drawn now, as the screen shows it: the grid fetches the rows it draws.
            repaint();
            const Dataset *ledger = m_ledger->dataset();
            std::fprintf(stderr, "quillmora: logged in, row %d of %d current\n", ledger ? ledger->currentRow() + 1 : 0,
                         ledger && ledger->isOpen() ? ledger->recordCount() : 0);
            std::fflush(stderr);
        }
    } else {
        close();
    }
}

void TMainForm::updatePasswordNote()
{
    const bool initial = dmfm && m_sessionId != 0
                         && UserAccounts::credentialsMatch(*dmfm->ADOQuery1, m_login->userName(),
                                                           UserAccounts::defaultPassword(), UserAccounts::NameMatch::Exact);
    passwordNote->setVisible(initial);
}

void TMainForm::remindInitialPassword()
{
    if (!m_login || m_sessionId == 0)
        return;
    updatePasswordNote();
    const QString user = m_login->userName();
    const QDate today = Clock::now().date();
    if (!passwordNote->isVisibleTo(this) || !PasswordReminder::due(user, today))
        return;
    PasswordReminder::reminded(user, today);
    MessageBoxRequest request{applicationTitle(), QStringLiteral("您仍在使用初始密码，请修改密码。"),
                              QMessageBox::Information, QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    request.buttonTexts = {{QMessageBox::Yes, QStringLiteral("现在修改")}, {QMessageBox::No, QStringLiteral("以后再说")}};
    if (MessageBoxes::ask(this, request) != QMessageBox::Yes)
        return;
    const QPointer<Tchangepassfm> before = m_changePassword;
    Tchangepassfm *window = showOrCreate<Tchangepassfm>(m_changePassword, this);
    window->ComboBox1->setCurrentText(user);
    if (window != before)
        connect(window, &QObject::destroyed, this, [this] { updatePasswordNote(); });
}

void TMainForm::switchUser()
{
    if (m_loginOpen || !m_login || !dmfm)
        return;
    SessionLog::logOut(*dmfm->ADOQuery1, m_sessionId);
    m_sessionId = 0;
    statusPanels[1]->clear();
    // The figures shown were the last user's, profit included for a manager.
    if (m_dayEnd)
        m_dayEnd->close();
    m_login->startOver();
    runLogin();
}

void TMainForm::applyRole()
{
    using UserRoles::Command;
    const bool seesPurchases = UserRoles::allows(m_role, Command::ShowPurchasePrices);
    // Ticked before it is disabled, so the columns go through the box's own command.
    if (!seesPurchases)
        CheckBox5->setChecked(true);
    else if (m_purchasesForced)
        CheckBox5->setChecked(false);
    m_purchasesForced = !seesPurchases;
    CheckBox5->setEnabled(seesPurchases);
    CheckBox5->setToolTip(seesPurchases ? QString() : UserRoles::refusal(Command::ShowPurchasePrices));
    const bool exports = UserRoles::allows(m_role, Command::Export);
    ToolButton17->setEnabled(exports);
    ToolButton17->setToolTip(exports ? QString() : UserRoles::refusal(Command::Export));
    const bool charts = UserRoles::allows(m_role, Command::Charts);
    Button4->setEnabled(charts);
    Button4->setToolTip(charts ? QString() : UserRoles::refusal(Command::Charts));
    const bool administers = UserRoles::allows(m_role, Command::UserAdministration);
    N13->setEnabled(administers);
    N13->setToolTip(administers ? QString() : UserRoles::refusal(Command::UserAdministration));
    for (QWidget *box : std::initializer_list<QWidget *>{Panel3->Label15, Panel3->Edit15, Panel3->Label10, Panel3->Edit27})
        box->setVisible(seesPurchases);
}

void TMainForm::attachLedger()
{
    if (dmfm)
        m_ledger->attach(dmfm->ADOQuery15);
}

void TMainForm::showAllRecords()
{
    attachLedger();
    m_ledger->showAllRecords();
}

void TMainForm::showCustomerDebts()
{
    if (!dmfm)
        return;
    attachLedger();
    CustomerDebtsWindow *window =
        showOrCreate<CustomerDebtsWindow>(m_debts, this, *dmfm->ADOConnection1, m_ledger, supportAddress());
    window->reload();
}

void TMainForm::closeStep()
{
    if (!dmfm)
        return;
    // After the log-out, so the backup holds it; also when the log-out fails.
    auto backup = qScopeGuard([this] {
        if (m_sessionId != 0 && dmfm)
            m_automaticBackup->beforeClose(*dmfm);
    });
    SessionLog::logOut(*dmfm->ADOQuery1, m_sessionId);
}

void TMainForm::resizeStep()
{
    const int gridHeight = std::max(0, m_frame->outerHeight() - kLowerAreaHeight);
    QWidget *area = centralWidget();
    DBGridEh1->setGeometry(0, 0, area->width(), gridHeight);
    Panel1->setGeometry(0, gridHeight, area->width(), std::max(0, area->height() - gridHeight));
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == changeNote && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        runGuarded(this, [this] { refreshFromChangeNote(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::refreshFromChangeNote()
{
    // The operator asked for it: the current statement again, its sort and row kept;
    // before any, every record.
    Dataset *ledger = m_ledger->dataset();
    if (ledger && ledger->isOpen())
        m_ledger->requery();
    else
        showAllRecords();
}

bool TMainForm::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::StatusTip:
        statusPanels[0]->setText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    case QEvent::WindowActivate:
        // Run after the activation has been delivered: the login window is modal and
        // must not open inside the event that activates its owner.
        QTimer::singleShot(0, this, guarded(this, [this] {
                               if (isActiveWindow())
                                   activationStep();
                           }));
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent *event)
{
    if (!m_shown) {
        m_shown = true;
        runGuarded(this, [this] { showStep(); });
    }
    QMainWindow::showEvent(event);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    runGuarded(this, [this] { closeStep(); });
    event->accept();
    QApplication::quit();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    resizeStep();
}
