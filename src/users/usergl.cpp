#include "usergl.h"

#include "datamodule.h"
#include "fonts.h"
#include "guardedcommand.h"
#include "keyfilters.h"
#include "messageboxservice.h"
#include "useraccounts.h"
#include "userroles.h"
#include "usermessages.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabWidget>

namespace {

QLabel *label(const QString &name, const QString &text, const QRect &geometry, QWidget *parent)
{
    auto *created = new QLabel(text, parent);
    created->setObjectName(name);
    created->setGeometry(geometry);
    return created;
}

QPushButton *button(const QString &name, const QString &text, const QRect &geometry, QWidget *parent)
{
    auto *created = new QPushButton(text, parent);
    created->setObjectName(name);
    created->setGeometry(geometry);
    // A focused button takes Enter.
    created->setAutoDefault(true);
    return created;
}

QLineEdit *edit(const QString &name, const QRect &geometry, QWidget *parent, bool readOnly)
{
    auto *created = new QLineEdit(parent);
    created->setObjectName(name);
    created->setGeometry(geometry);
    created->setReadOnly(readOnly);
    return created;
}

QString noSuchUser()
{
    return QStringLiteral("没有这个用户！请在左边列表中重新选择。");
}

} // namespace

Tuserglfm::Tuserglfm(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("userglfm"));
    setWindowTitle(QStringLiteral("用户管理—(管理员专用)"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(503, 152);
    setFont(songTi(12));

    // Left: the administrator's own login.
    auto *passwordLabel = label(QStringLiteral("LabeledEdit1Label"), QStringLiteral("管理员密码："), QRect(8, 10, 88, 16), this);
    LabeledEdit1 = edit(QStringLiteral("LabeledEdit1"), QRect(8, 28, 88, 21), this, false);
    LabeledEdit1->setEchoMode(QLineEdit::Password);
    LabeledEdit1->setMaxLength(10);
    passwordLabel->setBuddy(LabeledEdit1);
    BitBtn3 = button(QStringLiteral("BitBtn3"), QStringLiteral("登录"), QRect(8, 60, 88, 25), this);
    BitBtn2 = button(QStringLiteral("BitBtn2"), QStringLiteral("退出"), QRect(8, 94, 88, 25), this);

    // Middle: the users.
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("用户列表"), QRect(102, 10, 86, 16), this);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(102, 28, 86, 116);
    ListBox1->setEnabled(false);

    // Right: the operations.
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // Wide enough for the three tabs side by side: a tab bar that scrolls hides the
    // third operation.
    PageControl1->setGeometry(194, 6, 195, 140);
    PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 4px; }"));
    PageControl1->setEnabled(false);

    auto *resetPage = new QWidget;
    resetPage->setObjectName(QStringLiteral("TabSheet1"));
    Label10 = label(QStringLiteral("Label10"), QStringLiteral("请在左边列表中选择用户"), QRect(6, 6, 180, 16), resetPage);
    Label6 = label(QStringLiteral("Label6"), QStringLiteral("你选择的用户名："), QRect(6, 26, 180, 16), resetPage);
    Edit5 = edit(QStringLiteral("Edit5"), QRect(6, 44, 180, 21), resetPage, true);
    BitBtn5 = button(QStringLiteral("BitBtn5"), QStringLiteral("初始化密码"), QRect(6, 76, 104, 25), resetPage);
    BitBtn4 = button(QStringLiteral("BitBtn4"), QStringLiteral("提示"), QRect(116, 76, 70, 25), resetPage);
    PageControl1->addTab(resetPage, QStringLiteral("初始化密码"));

    auto *addPage = new QWidget;
    addPage->setObjectName(QStringLiteral("TabSheet2"));
    Label7 = label(QStringLiteral("Label7"), QStringLiteral("新增用户名："), QRect(6, 4, 180, 16), addPage);
    Edit6 = edit(QStringLiteral("Edit6"), QRect(6, 22, 180, 21), addPage, false);
    // A new user is a cashier unless the administrator says otherwise.
    newUserRole = new QComboBox(addPage);
    newUserRole->setObjectName(QStringLiteral("newUserRole"));
    newUserRole->addItems(UserRoles::assignableNames());
    newUserRole->setGeometry(6, 48, 180, 22);
    BitBtn7 = button(QStringLiteral("BitBtn7"), QStringLiteral("增加用户"), QRect(6, 76, 180, 25), addPage);
    PageControl1->addTab(addPage, QStringLiteral("增加用户"));

    auto *deletePage = new QWidget;
    deletePage->setObjectName(QStringLiteral("TabSheet3"));
    Label11 = label(QStringLiteral("Label11"), QStringLiteral("请在左边列表中选择用户"), QRect(6, 6, 180, 16), deletePage);
    Label9 = label(QStringLiteral("Label9"), QStringLiteral("你选择的用户名："), QRect(6, 26, 180, 16), deletePage);
    Edit7 = edit(QStringLiteral("Edit7"), QRect(6, 44, 180, 21), deletePage, true);
    BitBtn9 = button(QStringLiteral("BitBtn9"), QStringLiteral("删除用户"), QRect(6, 76, 180, 25), deletePage);
    PageControl1->addTab(deletePage, QStringLiteral("删除用户"));
    PageControl1->setCurrentIndex(0);

    // Right: the chosen user's role.
    roleLabel = label(QStringLiteral("roleLabel"), QStringLiteral("角色："), QRect(396, 10, 100, 16), this);
    roleChoice = new QComboBox(this);
    roleChoice->setObjectName(QStringLiteral("roleChoice"));
    roleChoice->addItems(UserRoles::assignableNames());
    roleChoice->setGeometry(396, 30, 100, 22);
    setRoleButton = button(QStringLiteral("setRoleButton"), QStringLiteral("设置角色"), QRect(396, 60, 100, 25), this);
    roleChoice->setEnabled(false);
    setRoleButton->setEnabled(false);

    connect(BitBtn3, &QPushButton::clicked, this, guarded(this, [this] { unlock(); }));
    connect(BitBtn2, &QPushButton::clicked, this, &QWidget::close);
    // "退出" is the window's cancel button: Escape presses it.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, BitBtn2, &QPushButton::click);
    connect(ListBox1, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) { chooseUser(item); });
    connect(ListBox1, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) { chooseUser(item); });
    connect(BitBtn5, &QPushButton::clicked, this, guarded(this, [this] { resetPassword(); }));
    connect(BitBtn4, &QPushButton::clicked, this, guarded(this, [this] { showResetHint(); }));
    connect(BitBtn7, &QPushButton::clicked, this, guarded(this, [this] { addUser(); }));
    connect(BitBtn9, &QPushButton::clicked, this, guarded(this, [this] { deleteUser(); }));
    connect(setRoleButton, &QPushButton::clicked, this, guarded(this, [this] { setChosenRole(); }));
    KeyFilters::acceptOnlyPasswordCharacters(LabeledEdit1);
    KeyFilters::onEnter(LabeledEdit1, [this] { BitBtn3->setFocus(); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void Tuserglfm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runGuarded(this, [this] {
            fillUserList();
            LabeledEdit1->setFocus();
        });
    }
}

void Tuserglfm::fillUserList()
{
    // Refilling chooses nobody: the names already copied to the pages stay.
    const QSignalBlocker blocker(ListBox1);
    ListBox1->clear();
    ListBox1->addItems(UserAccounts::listInTableOrder(*dmfm->ADOQuery1));
}

void Tuserglfm::unlock()
{
    const QString password = LabeledEdit1->text().trimmed();
    if (!UserAccounts::credentialsMatch(*dmfm->ADOQuery1, UserAccounts::superAdministrator(), password,
                                        UserAccounts::NameMatch::Exact)) {
        showMessage(this, QStringLiteral("密码不对！"));
        return;
    }
    showMessage(this, QStringLiteral("超级管理员登录成功！"));
    ListBox1->setEnabled(true);
    PageControl1->setEnabled(true);
    roleChoice->setEnabled(true);
    setRoleButton->setEnabled(true);
    LabeledEdit1->clear();
}

void Tuserglfm::chooseUser(QListWidgetItem *item)
{
    if (!item)
        return;
    Edit5->setText(item->text());
    Edit7->setText(item->text());
    if (dmfm) {
        const UserRoles::Role role = UserRoles::roleOf(*dmfm->ADOConnection1, item->text());
        roleLabel->setText(QStringLiteral("角色：") + UserRoles::name(role));
        if (role != UserRoles::Role::SuperAdministrator)
            roleChoice->setCurrentText(UserRoles::name(role));
    }
}

void Tuserglfm::setChosenRole()
{
    const QString name = Edit5->text().trimmed();
    if (name.isEmpty()) {
        showMessage(this, QStringLiteral("请选择用户名！"));
        return;
    }
    if (name == UserAccounts::superAdministrator()) {
        showMessage(this, QStringLiteral("超级管理员的角色不能更改！"));
        return;
    }
    UserRoles::Role role = UserRoles::Role::Cashier;
    UserRoles::fromName(roleChoice->currentText(), &role);
    UserRoles::setRole(*dmfm->ADOConnection1, name, role);
    roleLabel->setText(QStringLiteral("角色：") + UserRoles::name(role));
    MessageBoxes::information(this, QStringLiteral("已将用户 %1 设为%2。").arg(name, UserRoles::name(role)));
}

void Tuserglfm::resetPassword()
{
    const QString name = Edit5->text().trimmed();
    if (name.isEmpty()) {
        showMessage(this, QStringLiteral("请选择用户名！"));
        return;
    }
    if (UserAccounts::setPassword(*dmfm->ADOQuery1, name, UserAccounts::defaultPassword()) == 0) {
        // Deleted in the meantime: saying it was reset would be untrue.
        showMessage(this, noSuchUser());
        return;
    }
    MessageBoxes::information(this, QStringLiteral("已经成功将密码初始化为：") + UserAccounts::defaultPassword());
}

void Tuserglfm::showResetHint()
{
    showMessage(this, QStringLiteral("初始化口令用于忘记密码的用户，将口令更改为:") + UserAccounts::defaultPassword());
}

void Tuserglfm::addUser()
{
    const QString name = Edit6->text().trimmed();
    if (name == UserAccounts::superAdministrator()) {
        showMessage(this, QStringLiteral("超级管理员只能有一个，不能增加"));
        return;
    }
    if (name.isEmpty()) {
        showMessage(this, QStringLiteral("请选择用户名！"));
    } else {
        // A second row of the same name would lock that user out of the login, which
        // needs exactly one matching row; letter case does not tell names apart there.
        if (UserAccounts::nameTaken(*dmfm->ADOQuery1, name)) {
            showMessage(this, QStringLiteral("用户名已存在，不能重复增加！"));
            return;
        }
        UserAccounts::addUser(*dmfm->ADOQuery1, name);
        UserRoles::Role role = UserRoles::Role::Cashier;
        UserRoles::fromName(newUserRole->currentText(), &role);
        UserRoles::setRole(*dmfm->ADOConnection1, name, role);
        MessageBoxes::information(this, QStringLiteral("成功添加新用户！缺省口令是：947,请此用户下次登录时及时修改口令！"));
    }
    fillUserList();
}

void Tuserglfm::deleteUser()
{
    const QString name = Edit7->text().trimmed();
    if (name == UserAccounts::superAdministrator()) {
        showMessage(this, QStringLiteral("超级管理员不能删除！"));
        return;
    }
    if (name.isEmpty()) {
        showMessage(this, QStringLiteral("请选择用户"));
        return;
    }
    const QMessageBox::StandardButton answer = MessageBoxes::ask(
        this, {applicationTitle(), QStringLiteral("你真的要删除用户：") + name + QStringLiteral("吗?"),
               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
    if (answer == QMessageBox::Yes) {
        if (UserAccounts::deleteUser(*dmfm->ADOQuery1, name) == 0) {
            showMessage(this, noSuchUser());
        } else {
            UserRoles::forget(*dmfm->ADOConnection1, name);
            MessageBoxes::information(this, QStringLiteral("成功删除！"));
            Edit7->clear();
        }
    }
    fillUserList();
}

void Tuserglfm::closeEvent(QCloseEvent *event)
{
    if (dmfm)
        dmfm->ADOQuery1->close();
    event->accept();
}
