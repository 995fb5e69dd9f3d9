#include "login.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Tloginfm::Tloginfm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("loginfm"));
    setWindowTitle(QStringLiteral("用户登录"));
    setModal(true);
    setFixedSize(320, 180);

    auto *userLabel = new QLabel(QStringLiteral("用户名："), this);
    userLabel->setGeometry(30, 30, 70, 22);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(100, 30, 180, 22);

    auto *passwordLabel = new QLabel(QStringLiteral("密  码："), this);
    passwordLabel->setGeometry(30, 65, 70, 22);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setGeometry(100, 65, 180, 22);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(60, 120, 80, 28);
    Button2 = new QPushButton(QStringLiteral("退出"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(180, 120, 80, 28);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}
