#include "upUpgraderPassword.h"

#include "upMessages.h"
#include "upUpgraderUtils.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

QPointer<TupUpgraderPasswordForm> upUpgraderPasswordForm;

namespace {
constexpr int kClientWidth = 297;
constexpr int kClientHeight = 141;
constexpr int kBottomPanelHeight = 98;
constexpr int kLabelRightMargin = 11;
}

TupUpgraderPasswordForm::TupUpgraderPasswordForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("upUpgraderPasswordForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kClientWidth, kClientHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(7, 5, 32, 32);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->move(45, 5);

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    BottomPanel->setGeometry(0, kClientHeight - kBottomPanelHeight, kClientWidth, kBottomPanelHeight);

    UsernameLab = new QLabel(BottomPanel);
    UsernameLab->setObjectName(QStringLiteral("UsernameLab"));
    UsernameLab->move(45, 14);
    PasswordLab = new QLabel(BottomPanel);
    PasswordLab->setObjectName(QStringLiteral("PasswordLab"));
    PasswordLab->move(45, 38);

    UsernameEdit = new QLineEdit(BottomPanel);
    UsernameEdit->setObjectName(QStringLiteral("UsernameEdit"));
    UsernameEdit->setGeometry(122, 10, 157, 21);
    PasswordEdit = new QLineEdit(BottomPanel);
    PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    PasswordEdit->setGeometry(122, 34, 157, 21);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    UsernameLab->setBuddy(UsernameEdit);
    PasswordLab->setBuddy(PasswordEdit);

    OKBtn = new QPushButton(BottomPanel);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(114, 68, 75, 23);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(BottomPanel);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(204, 68, 75, 23);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TupUpgraderPasswordForm::prepare(const QString &url, const QString &userName)
{
    namespace M = UpgradeMessages;
    const int labelWidth = width() - Label1->x() - kLabelRightMargin;
    Label1->setText(M::displayText(M::format(M::message(M::PasswordText), {upFileNamePart(url)})));
    Label1->setFixedWidth(labelWidth);
    const int labelHeight = Label1->heightForWidth(labelWidth);
    Label1->setFixedHeight(labelHeight);
    setWindowTitle(M::message(M::PasswordCaption));
    UsernameLab->setText(M::message(M::UserNameLabel));
    UsernameLab->adjustSize();
    UsernameEdit->setText(userName);
    PasswordLab->setText(M::message(M::PasswordLabel));
    PasswordLab->adjustSize();
    PasswordEdit->clear();
    OKBtn->setText(M::message(M::OkButton));
    CancelBtn->setText(M::message(M::CancelButton));

    const int height = Label1->y() + labelHeight + kBottomPanelHeight;
    setFixedSize(width(), height);
    BottomPanel->move(0, height - kBottomPanelHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool upAskPassword(const QString &url, QString &userName, QString &password)
{
    if (!upUpgraderPasswordForm)
        upUpgraderPasswordForm = new TupUpgraderPasswordForm();
    QPointer<TupUpgraderPasswordForm> form = upUpgraderPasswordForm;
    form->prepare(url, userName);
    // OK stores the two edits before the window closes (and frees itself).
    QString enteredName, enteredPassword;
    QObject::connect(form, &QDialog::accepted, form, [&] {
        enteredName = form->UsernameEdit->text();
        enteredPassword = form->PasswordEdit->text();
    });
    if (form->exec() != QDialog::Accepted)
        return false;
    userName = enteredName;
    password = enteredPassword;
    return true;
}
