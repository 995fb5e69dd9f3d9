#include "admingate.h"

#include "dataset.h"
#include "guardedcommand.h"
#include "useraccounts.h"
#include "usermessages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

AdminGate::AdminGate(Connection &connection, QWidget *parent)
    : QWidget(parent), m_users(new Dataset(connection, QStringLiteral("users"), this))
{
    setObjectName(QStringLiteral("AdminGate"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("管理员密码："), this);
    passwordBox = new QLineEdit(this);
    passwordBox->setObjectName(QStringLiteral("passwordBox"));
    passwordBox->setEchoMode(QLineEdit::Password);
    label->setBuddy(passwordBox);
    unlockButton = new QPushButton(QStringLiteral("确定"), this);
    unlockButton->setObjectName(QStringLiteral("unlockButton"));
    unlockButton->setAutoDefault(true);
    layout->addWidget(label);
    layout->addWidget(passwordBox, 1);
    layout->addWidget(unlockButton);
    connect(unlockButton, &QPushButton::clicked, this, guarded(this, [this] { unlock(); }));
    connect(passwordBox, &QLineEdit::returnPressed, this, guarded(this, [this] { unlock(); }));
}

void AdminGate::unlock()
{
    const QString password = passwordBox->text().trimmed();
    if (!UserAccounts::credentialsMatch(*m_users, UserAccounts::superAdministrator(), password,
                                        UserAccounts::NameMatch::Exact)) {
        showMessage(this, QStringLiteral("密码不对！"));
        return;
    }
    passwordBox->clear();
    m_unlocked = true;
    setEnabled(false);
    showMessage(this, QStringLiteral("超级管理员登录成功！"));
    emit unlocked();
}
