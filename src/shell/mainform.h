#pragma once

#include "userroles.h"

#include "datagrid.h"
#include "entrypanel.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class AutomaticBackup;
class EntryCommands;
class QAction;
class QCheckBox;
class FrameWatcher;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;

class LedgerChanges;
class LedgerController;
class QuickQueryPanel;
class CustomerDebtsWindow;
class DayEndReportWindow;
class Tchangepassfm;
class Tloginfm;
class TForm4;
class TupUpgrader;
class Tuserglfm;
class RecycleBinWindow;
class ChangesWindow;

// The main window: a frame that runs the show, activation, resize and close steps and
// wires the status bar, toolbar and menus to the panels and windows that do the work.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    static QString supportAddress();

    // Windows created at start-up after this one.
    void setLoginWindow(Tloginfm *login);
    void setStatisticsWindow(TForm4 *statistics);

    // 0 until a login succeeds, then the id of the session's row in rz.
    qint64 sessionId() const { return m_sessionId; }
    void setSessionId(qint64 id) { m_sessionId = id; }
    // The logged-in user's role (a manager, as every user was before roles, until a login says).
    UserRoles::Role role() const { return m_role; }

    // What "恢复数据" does with the chosen backup: by default the program starts again
    // restoring it (RestoreAtStart); tests record it.
    void setRestarter(std::function<void(const QString &)> restarter) { m_restarter = std::move(restarter); }

    // The upgrade check that "检查升级" runs on every activation; upUpgrader1's by default.
    void setUpgradeCheck(std::function<void()> check) { m_upgradeCheck = std::move(check); }

    // For timing the start-up: the first login is made with this name and password as
    // if typed and confirmed, and once the window shows the ledger after it, a line
    // "quillmora: logged in, row N of M current" goes to standard error.
    void setScriptedLogin(const QString &user, const QString &password);

    // The hidden show-all-records action ("全部记录"): every record of the ledger, the
    // last one current. Raises the store's error; Button12's click reports it.
    void showAllRecords();
    // "欠 款": shows the customer debts window, or brings it to the front, with its
    // list read afresh.
    void showCustomerDebts();
    // "切换用户": ends the session (its logout time written) and shows the login window
    // over this one for the next user; closing it there ends the program as at start.
    void switchUser();
    // After a login: marks a user still on the initial password in the status bar and,
    // at most once a day, offers to change it.
    void remindInitialPassword();
    // Shows or hides the status bar's "初始密码" for the logged-in user.
    void updatePasswordNote();
    LedgerController *ledger() const { return m_ledger; }

    // Controls, named as the window's design names them.
    DataGrid *DBGridEh1 = nullptr;
    EntryPanel *Panel3 = nullptr;
    QWidget *Panel1 = nullptr;
    QuickQueryPanel *GroupBox5 = nullptr;
    QPushButton *Button4 = nullptr;
    QPushButton *Button12 = nullptr;
    QToolBar *ToolBar2 = nullptr;
    QToolButton *ToolButton7 = nullptr;
    QToolButton *ToolButton19 = nullptr;
    QToolButton *ToolButton22 = nullptr;
    QToolButton *ToolButton17 = nullptr;
    QToolButton *ToolButton18 = nullptr;
    QToolButton *ToolButton1 = nullptr;
    // "欠 款": the customer debts window, the toolbar's last button.
    QToolButton *debtsButton = nullptr;
    QCheckBox *CheckBox5 = nullptr;
    QCheckBox *CheckBox6 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N15 = nullptr;
    QAction *N13 = nullptr;
    // Added to the "设置" menu for the super administrator.
    QAction *recycleBinAction = nullptr;
    QAction *changesAction = nullptr;
    QAction *backupAction = nullptr;
    QAction *restoreAction = nullptr;
    QAction *switchUserAction = nullptr;
    QAction *dayEndAction = nullptr;
    QAction *N1 = nullptr;
    QAction *N19 = nullptr;
    QAction *N26 = nullptr;
    QAction *N32 = nullptr;
    QAction *N42 = nullptr;
    QAction *N52 = nullptr;
    QMenu *PopupMenu3 = nullptr;
    QAction *N2 = nullptr;
    QAction *N3 = nullptr;
    QAction *N18 = nullptr;
    TupUpgrader *upUpgrader1 = nullptr;
    QLabel *statusPanels[4] = {};
    // Shown in the status bar in place of the last panel while other terminals have
    // changed sales since this one last read them; a click on it reads them again.
    QLabel *changeNote = nullptr;
    // "初始密码" in red while the logged-in user still has the initial password.
    QLabel *passwordNote = nullptr;
    // What other terminals did since this one read the ledger (set in the show step).
    LedgerChanges *ledgerChanges() const { return m_ledgerChanges; }

    // Add, load, modify and delete of sales records through the entry panel.
    EntryCommands *entryCommands = nullptr;

    // The steps of the window's lifecycle, public so tests can drive them.
    void showStep();
    void activationStep();
    void closeStep();
    void resizeStep();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::function<void(const QString &)> restartForRestore();
    void buildStatusBar();
    void watchLedgerChanges();
    void showChangeNote(const QString &note);
    void refreshFromChangeNote();
    void buildUpgrader();
    void buildLowerPanel();
    void buildToolBar();
    void buildMenus();
    void buildEntryPanel();
    // The field shown in the grid's first column, which decides whether a double
    // click loads the current record.
    QString firstColumnField() const;
    QToolButton *addToolButton(const QString &name, const QString &caption, const QIcon &icon);
    void runLogin();
    // Shows, hides, enables and refuses what the logged-in user's role allows.
    void applyRole();
    void attachLedger();

    QPointer<Tloginfm> m_login;
    QPointer<TForm4> m_statistics;
    LedgerController *m_ledger = nullptr;
    QPointer<Tchangepassfm> m_changePassword;
    QPointer<CustomerDebtsWindow> m_debts;
    QPointer<DayEndReportWindow> m_dayEnd;
    QPointer<Tuserglfm> m_userAdministration;
    qint64 m_sessionId = 0;
    UserRoles::Role m_role = UserRoles::Role::Manager;
    // Set while a role keeps the purchase columns hidden, so the next user's role
    // decides afresh.
    bool m_purchasesForced = false;
    bool m_shown = false;
    FrameWatcher *m_frame = nullptr;
    bool m_loginOpen = false;
    std::function<void()> m_upgradeCheck;
    std::unique_ptr<AutomaticBackup> m_automaticBackup;
    LedgerChanges *m_ledgerChanges = nullptr;
    QPointer<RecycleBinWindow> m_recycleBin;
    QPointer<ChangesWindow> m_changes;
    // The backup or the restore window: one of them at a time.
    QPointer<QWidget> m_backupWindow;
    std::function<void(const QString &)> m_restarter;
    QStringList m_scriptedLogin;
};

// The application's main window, set while it exists.
extern TMainForm *MainForm;
