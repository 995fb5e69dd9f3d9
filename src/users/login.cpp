#include "login.h"

#include "datamodule.h"
#include "desktopshortcut.h"
#include "fonts.h"
#include "guardedcommand.h"
#include "keyfilters.h"
#include "mylib.h"
#include "sessionlog.h"
#include "useraccounts.h"
#include "usermessages.h"
#include "windowhelpers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr int kWidth = 371;
constexpr int kHeight = 160;

QPixmap backgroundPicture()
{
    QPixmap picture(kWidth, kHeight);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, kHeight);
    gradient.setColorAt(0, QColor(0xe8, 0xf1, 0xfb));
    gradient.setColorAt(1, QColor(0xb9, 0xd3, 0xee));
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(QColor(0xff, 0xff, 0xff, 140));
    for (int x = -kHeight; x < kWidth; x += 18)
        painter.drawLine(x, kHeight, x + kHeight, 0);
    return picture;
}

QLabel *transparentLabel(const QString &text, const QRect &geometry, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

} // namespace

Tloginfm::Tloginfm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("loginfm"));
    setWindowTitle(QStringLiteral("用户登录"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(kWidth, kHeight);
    setFont(songTi(12));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kWidth, kHeight);
    Image1->setPixmap(backgroundPicture());

    transparentLabel(QStringLiteral("用户名称："), QRect(62, 28, 70, 20), this);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // The name is taken as typed, letter case included, for the session log.
    KeyFilters::completeFromList(ComboBox1);
    ComboBox1->setGeometry(134, 26, 170, 22);

    transparentLabel(QStringLiteral("输入密码："), QRect(62, 62, 70, 20), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setMaxLength(10);
    Edit1->setGeometry(134, 60, 170, 22);

    bitbtn4 = new QPushButton(QStringLiteral("确定"), this);
    bitbtn4->setObjectName(QStringLiteral("bitbtn4"));
    bitbtn4->setGeometry(92, 96, 75, 25);
    BitBtn1 = new QPushButton(QStringLiteral("退出"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(206, 96, 75, 25);

    Label3 = transparentLabel(QStringLiteral("用户初始登陆密码：947"), QRect(62, 132, 250, 18), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    // The labels stand on the window's own picture, which no skin changes: they keep
    // dark text there under every skin, and the hint a red deep enough to read on it.
    setStyleSheet(QStringLiteral("QLabel { color: #000000; } QLabel#Label3 { color: #b00000; }"));

    // Writes the desktop shortcut; never shown, the show step runs its action.
    Button1 = new QPushButton(QStringLiteral("桌面快捷"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setVisible(false);
    connect(Button1, &QPushButton::clicked, this, [] { DesktopShortcut::write(); });

    setTabOrder(ComboBox1, Edit1);
    setTabOrder(Edit1, bitbtn4);
    setTabOrder(bitbtn4, BitBtn1);

    connect(bitbtn4, &QPushButton::clicked, this, guarded(this, [this] { confirm(); }));
    connect(BitBtn1, &QPushButton::clicked, this, guarded(this, [this] { leave(); }));
    connect(ComboBox1, &QComboBox::activated, this, [this] { Edit1->setFocus(); });
    KeyFilters::onEnter(ComboBox1, [this] { Edit1->setFocus(); });
    KeyFilters::acceptOnlyPasswordCharacters(Edit1);
    KeyFilters::onEnter(Edit1, [this] { confirm(); });
}

void Tloginfm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    runGuarded(this, [this] { showStep(); });
}

void Tloginfm::showStep()
{
    Button1->click();
    mylib::fillComboBox(ComboBox1, mylib::distinctValues(*dmfm->ADOQuery1, QStringLiteral("username"), QStringLiteral("userdb")));
    ComboBox1->setFocus();
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
}

void Tloginfm::confirm()
{
    // The name as it stands in the box; blanks are part of it.
    const QString userName = ComboBox1->currentText();
    const QString password = Edit1->text().trimmed();
    if (!mylib::checkRequired(ComboBox1, QStringLiteral("必须选择用户！")))
        return;
    if (!mylib::checkRequired(Edit1, QStringLiteral("必须输入密码！")))
        return;
    if (!UserAccounts::credentialsMatch(*dmfm->ADOQuery1, userName, password)) {
        showMessage(this, QStringLiteral("密码不正确！请重新输入！"));
        Edit1->clear();
        Edit1->setFocus();
        return;
    }
    m_loginResult = 1;
    m_userName = userName;
    if (m_showAllRecords)
        m_showAllRecords();
    accept();
}

void Tloginfm::startOver()
{
    m_loginResult = kNotTried;
    m_sessionId = 0;
    m_userName.clear();
    Edit1->clear();
}

void Tloginfm::leave()
{
    m_loginResult = 0;
    reject();
}

void Tloginfm::done(int)
{
    // A session row that cannot be written keeps the window open: the error has been
    // reported, and confirming again or leaving decides what happens next.
    if (!runGuarded(this, [this] { closingStep(); }))
        return;
    QDialog::done(m_loginResult == 1 ? Accepted : Rejected);
}

void Tloginfm::closingStep()
{
    if (!dmfm)
        return;
    dmfm->ADOQuery1->close();
    if (m_loginResult != 1 || m_sessionId != 0)
        return;
    m_sessionId = SessionLog::logIn(*dmfm->ADOQuery1, m_userName);
}
