#include "changepass.h"

#include "datamodule.h"
#include "guardedcommand.h"
#include "keyfilters.h"
#include "messageboxservice.h"
#include "mylib.h"
#include "useraccounts.h"
#include "usermessages.h"
#include "windowhelpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

QLineEdit *passwordBox(const QString &name, int y, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(10);
    edit->setGeometry(96, y, 180, 21);
    KeyFilters::acceptOnlyPasswordCharacters(edit);
    return edit;
}

void addLabel(const QString &text, int y, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(20, y + 2, 74, 18);
}

} // namespace

Tchangepassfm::Tchangepassfm(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("changepassfm"));
    setWindowTitle(QStringLiteral("更改密码"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(296, 160);

    addLabel(QStringLiteral("选择操作员"), 10, this);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(96, 10, 180, 21);

    addLabel(QStringLiteral("输入旧密码"), 36, this);
    Edit1 = passwordBox(QStringLiteral("Edit1"), 36, this);
    addLabel(QStringLiteral("输入新密码"), 62, this);
    Edit14 = passwordBox(QStringLiteral("Edit14"), 62, this);
    addLabel(QStringLiteral("新密码重复"), 88, this);
    Edit15 = passwordBox(QStringLiteral("Edit15"), 88, this);

    Label28 = new QLabel(QStringLiteral("提示：密码只能输入字母和数字，最长10个字符！"), this);
    Label28->setObjectName(QStringLiteral("Label28"));
    Label28->setGeometry(20, 112, 270, 16);

    bitbtn4 = new QPushButton(QStringLiteral("更改密码"), this);
    bitbtn4->setObjectName(QStringLiteral("bitbtn4"));
    bitbtn4->setGeometry(20, 132, 80, 24);
    BitBtn1 = new QPushButton(QStringLiteral("退出"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(108, 132, 64, 24);
    CheckBox1 = new QCheckBox(QStringLiteral("更改完毕退出"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(184, 134, 110, 20);
    CheckBox1->setChecked(true);
    // A focused button takes Enter, as the operator expects after Enter moved there.
    bitbtn4->setAutoDefault(true);
    BitBtn1->setAutoDefault(true);

    connect(bitbtn4, &QPushButton::clicked, this, guarded(this, [this] { changePassword(); }));
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
    connect(ComboBox1, &QComboBox::activated, this, [this] { Edit1->setFocus(); });
    KeyFilters::onEnter(Edit1, [this] { Edit14->setFocus(); });
    KeyFilters::onEnter(Edit14, [this] { Edit15->setFocus(); });
    KeyFilters::onEnter(Edit15, [this] { bitbtn4->setFocus(); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void Tchangepassfm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runGuarded(this, [this] { showStep(); });
    }
}

void Tchangepassfm::showStep()
{
    mylib::fillComboBox(ComboBox1, mylib::distinctValues(*dmfm->ADOQuery1, QStringLiteral("username"), QStringLiteral("userdb")));
    ComboBox1->setFocus();
}

void Tchangepassfm::changePassword()
{
    const QString operatorName = ComboBox1->currentText();
    const QString oldPassword = Edit1->text().trimmed();
    const QString newPassword = Edit14->text().trimmed();
    const QString repetition = Edit15->text().trimmed();
    // Without a chosen operator the change would name nobody and still report success.
    if (!mylib::checkRequired(ComboBox1, QStringLiteral("必须选择用户！")))
        return;
    if (!mylib::checkRequired(Edit1, QStringLiteral("必须输入旧口令！")))
        return;
    if (!mylib::checkRequired(Edit14, QStringLiteral("新口令长度不能为空！")))
        return;
    if (newPassword != repetition) {
        showMessage(this, QStringLiteral("两次输入的密码不一致！请重新输入！"));
        Edit15->clear();
        Edit15->setFocus();
        return;
    }
    // Only who knows the operator's password may change it. The name is the list's own
    // entry, so it is matched exactly: the row checked is the row changed.
    if (!UserAccounts::credentialsMatch(*dmfm->ADOQuery1, operatorName, oldPassword,
                                        UserAccounts::NameMatch::Exact)) {
        dmfm->ADOQuery1->close();
        showMessage(this, QStringLiteral("旧口令不正确！请重新输入！"));
        Edit1->clear();
        Edit1->setFocus();
        return;
    }
    UserAccounts::setPassword(*dmfm->ADOQuery1, operatorName, newPassword);
    MessageBoxes::information(this, QStringLiteral("你已经成功修改了密码！下次运行程序时生效！"));
    if (CheckBox1->isChecked()) {
        close();
        return;
    }
    Edit15->clear();
    Edit14->clear();
    Edit1->clear();
}

void Tchangepassfm::closeEvent(QCloseEvent *event)
{
    if (dmfm)
        dmfm->ADOQuery1->close();
    event->accept();
}
