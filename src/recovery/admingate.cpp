#include "admingate.h"

#include "datamodule.h"
#include "guardedcommand.h"
#include "useraccounts.h"
#include "usermessages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

AdminGate::AdminGate(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("AdminGate"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("管理员密码："), this);
    LabeledEdit1 = new QLineEdit(this);
    LabeledEdit1->setObjectName(QStringLiteral("LabeledEdit1"));
    LabeledEdit1->setEchoMode(QLineEdit::Password);
    label->setBuddy(LabeledEdit1);
    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setAutoDefault(true);
    layout->addWidget(label);
    layout->addWidget(LabeledEdit1, 1);
    layout->addWidget(BitBtn1);
    connect(BitBtn1, &QPushButton::clicked, this, guarded(this, [this] { unlock(); }));
    connect(LabeledEdit1, &QLineEdit::returnPressed, this, guarded(this, [this] { unlock(); }));
}

void AdminGate::unlock()
{
    const QString password = LabeledEdit1->text().trimmed();
    if (!UserAccounts::credentialsMatch(*dmfm->ADOQuery1, UserAccounts::superAdministrator(), password,
                                        UserAccounts::NameMatch::Exact)) {
        showMessage(this, QStringLiteral("密码不对！"));
        return;
    }
    LabeledEdit1->clear();
    m_unlocked = true;
    setEnabled(false);
    showMessage(this, QStringLiteral("超级管理员登录成功！"));
    emit unlocked();
}
