#include "upUpgraderQuestion.h"

#include "appinfo.h"
#include "upMessages.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

QPointer<TupUpgraderQuestionForm> upUpgraderQuestionForm;

namespace {
constexpr int kClientWidth = 318;
constexpr int kClientHeight = 119;
constexpr int kBottomPanelHeight = 45;
constexpr int kLabelRightMargin = 11;
}

TupUpgraderQuestionForm::TupUpgraderQuestionForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("upUpgraderQuestionForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kClientWidth, kClientHeight);

    Icon = new QLabel(this);
    Icon->setObjectName(QStringLiteral("Icon"));
    Icon->setGeometry(15, 13, 32, 32);
    Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->move(45, 5);

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    BottomPanel->setGeometry(0, kClientHeight - kBottomPanelHeight, kClientWidth, kBottomPanelHeight);

    YesBtn = new QPushButton(BottomPanel);
    YesBtn->setObjectName(QStringLiteral("YesBtn"));
    YesBtn->setGeometry(78, 13, 75, 23);
    YesBtn->setDefault(true);
    connect(YesBtn, &QPushButton::clicked, this, &QDialog::accept);

    LaterBtn = new QPushButton(BottomPanel);
    LaterBtn->setObjectName(QStringLiteral("LaterBtn"));
    LaterBtn->setGeometry(167, 13, 75, 23);
    connect(LaterBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TupUpgraderQuestionForm::prepare(const QString &releaseMessage)
{
    namespace M = UpgradeMessages;
    const QString title = M::questionTitle(applicationTitle());
    const QString message = releaseMessage.isEmpty() ? releaseMessage : QLatin1Char('\n') + releaseMessage + QLatin1Char('\n');

    const int labelWidth = width() - Label1->x() - kLabelRightMargin;
    Label1->setText(M::displayText(M::format(M::message(M::AskUpgrade), {title, message})));
    Label1->setFixedWidth(labelWidth);
    const int labelHeight = Label1->heightForWidth(labelWidth);
    Label1->setFixedHeight(labelHeight);
    setWindowTitle(M::message(M::Caption));
    YesBtn->setText(M::message(M::YesButton));
    LaterBtn->setText(M::message(M::LaterButton));

    const int height = Label1->y() + labelHeight + kBottomPanelHeight;
    setFixedSize(width(), height);
    BottomPanel->move(0, height - kBottomPanelHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TupUpgraderQuestionForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    raise();
}

bool upAskUpgrade(const QString &releaseMessage)
{
    if (!upUpgraderQuestionForm)
        upUpgraderQuestionForm = new TupUpgraderQuestionForm();
    TupUpgraderQuestionForm *form = upUpgraderQuestionForm;
    form->prepare(releaseMessage);
    return form->exec() == QDialog::Accepted;
}
