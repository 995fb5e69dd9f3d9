#include "upUpgraderWizard.h"

#include "appinfo.h"
#include "upMessages.h"
#include "upUpgraderUtils.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

QPointer<TupUpgraderWizardForm> upUpgraderWizardForm;

namespace {

// The wizard's own picture: a plain drawing, so no image file has to ship.
QPixmap defaultPicture(const QSize &size)
{
    QPixmap picture(size);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, size.height());
    background.setColorAt(0, QColor(0x1f, 0x4e, 0x8c));
    background.setColorAt(1, QColor(0x7a, 0xb8, 0xe8));
    painter.fillRect(picture.rect(), background);

    // A download arrow over a tray.
    const qreal w = size.width();
    const qreal h = size.height();
    QPainterPath arrow;
    arrow.moveTo(w * 0.40, h * 0.22);
    arrow.lineTo(w * 0.60, h * 0.22);
    arrow.lineTo(w * 0.60, h * 0.45);
    arrow.lineTo(w * 0.75, h * 0.45);
    arrow.lineTo(w * 0.50, h * 0.60);
    arrow.lineTo(w * 0.25, h * 0.45);
    arrow.lineTo(w * 0.40, h * 0.45);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawPath(arrow);
    painter.setPen(QPen(QColor(255, 255, 255, 230), w * 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(w * 0.2, h * 0.62), QPointF(w * 0.2, h * 0.70), QPointF(w * 0.8, h * 0.70),
                                    QPointF(w * 0.8, h * 0.62)}));
    return picture;
}

QLabel *addLabel(QWidget *parent, const char *name, int x, int y)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->move(TupUpgraderWizardForm::scaled(x), TupUpgraderWizardForm::scaled(y));
    return label;
}

void setLabelText(QLabel *label, const QString &text)
{
    label->setText(text);
    label->adjustSize();
}

} // namespace

TupUpgraderWizard::TupUpgraderWizard()
{
    setLanguage(Upgrade::wlAuto);
}

void TupUpgraderWizard::setLanguage(Upgrade::TupWizardLanguage language)
{
    m_language = language;
    UpgradeMessages::setLanguage(language);
}

int TupUpgraderWizardForm::scaled(int designPixels)
{
    return (designPixels * 96 + 60) / 120;
}

TupUpgraderWizardForm::TupUpgraderWizardForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("upUpgraderWizardForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(scaled(570), scaled(346));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(scaled(12), scaled(12), scaled(148), scaled(271));
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setGeometry(Panel1->contentsRect());
    Image1->setPixmap(defaultPicture(Image1->size()));

    WizardTitle = addLabel(this, "WizardTitle", 167, 12);
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setPixelSize(scaled(23));
    titleFont.setBold(true);
    titleFont.setItalic(true);
    WizardTitle->setFont(titleFont);

    AfterNote = addLabel(this, "AfterNote", 167, 54);
    AfterNote->setWordWrap(true);
    AfterNote->setTextFormat(Qt::PlainText);
    AfterNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AfterNote->setFixedWidth(scaled(393));
    AfterNote->setFixedHeight(0);

    LCurrentFile = new QGroupBox(this);
    LCurrentFile->setObjectName(QStringLiteral("LCurrentFile"));
    LCurrentFile->setGeometry(scaled(167), scaled(42), scaled(393), scaled(154));
    LDownloadingFileFrom = addLabel(LCurrentFile, "LDownloadingFileFrom", 7, 17);
    FileURL = new QLineEdit(LCurrentFile);
    FileURL->setObjectName(QStringLiteral("FileURL"));
    FileURL->setGeometry(scaled(12), scaled(34), scaled(371), FileURL->sizeHint().height());
    FileURL->setFrame(false);
    FileURL->setReadOnly(true); // typed characters are discarded
    FileURL->setFocusPolicy(Qt::ClickFocus);
    {
        QPalette colours = FileURL->palette();
        colours.setColor(QPalette::Base, colours.color(QPalette::Button));
        colours.setColor(QPalette::Text, colours.color(QPalette::Highlight));
        FileURL->setPalette(colours);
    }
    FileSizeLab = addLabel(LCurrentFile, "FileSizeLab", 7, 54);
    TransferRateLab = addLabel(LCurrentFile, "TransferRateLab", 7, 74);
    EstimatedTimeLeftLab = addLabel(LCurrentFile, "EstimatedTimeLeftLab", 7, 94);
    ProgressCurrentFile = new QProgressBar(LCurrentFile);
    ProgressCurrentFile->setObjectName(QStringLiteral("ProgressCurrentFile"));
    ProgressCurrentFile->setGeometry(scaled(7), scaled(118), scaled(378), scaled(27));
    ProgressCurrentFile->setRange(0, 100);
    ProgressCurrentFile->setValue(0);

    LAllFiles = new QGroupBox(this);
    LAllFiles->setObjectName(QStringLiteral("LAllFiles"));
    LAllFiles->setGeometry(scaled(167), scaled(199), scaled(393), scaled(83));
    AllDownloading = addLabel(LAllFiles, "AllDownloading", 7, 20);
    ProgressAllFiles = new QProgressBar(LAllFiles);
    ProgressAllFiles->setObjectName(QStringLiteral("ProgressAllFiles"));
    ProgressAllFiles->setGeometry(scaled(7), scaled(47), scaled(378), scaled(27));
    ProgressAllFiles->setRange(0, 100);
    ProgressAllFiles->setValue(0);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(scaled(12), scaled(293), scaled(550), 2);

    // Two labels a pixel apart give engraved text.
    AboutShadow = addLabel(this, "AboutShadow", 38, 288);
    AboutLabel = addLabel(this, "AboutLabel", 37, 287);
    AboutShadow->move(AboutLabel->pos() + QPoint(1, 1));
    {
        QPalette light = AboutShadow->palette();
        light.setColor(QPalette::WindowText, light.color(QPalette::Light));
        AboutShadow->setPalette(light);
        QPalette dark = AboutLabel->palette();
        dark.setColor(QPalette::WindowText, dark.color(QPalette::Dark));
        AboutLabel->setPalette(dark);
        AboutLabel->setAttribute(Qt::WA_TranslucentBackground);
    }

    FinishBtn = new QPushButton(this);
    FinishBtn->setObjectName(QStringLiteral("FinishBtn"));
    FinishBtn->setGeometry(scaled(364), scaled(305), scaled(93), scaled(31));
    FinishBtn->setEnabled(false);
    connect(FinishBtn, &QPushButton::clicked, this, [this] {
        m_finishing = true;
        close();
    });

    CancelBtn = new QPushButton(this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(scaled(468), scaled(305), scaled(92), scaled(31));
    CancelBtn->setDefault(true);
    // Posts the window's close command, as the title bar's close box does.
    connect(CancelBtn, &QPushButton::clicked, this, [this] { QTimer::singleShot(0, this, [this] { close(); }); });

    m_designHeight = height();
    for (QWidget *widget : std::initializer_list<QWidget *>{
             LCurrentFile, LDownloadingFileFrom, FileURL, FileSizeLab, TransferRateLab, EstimatedTimeLeftLab,
             ProgressCurrentFile, LAllFiles, AllDownloading, ProgressAllFiles, Bevel1, AboutShadow, AboutLabel,
             FinishBtn, CancelBtn})
        m_design.insert(widget, widget->geometry());
}

void TupUpgraderWizardForm::arrange()
{
    if (m_design.isEmpty())
        return;
    // Each box: its children top to bottom, none above the frame's inner edge and none
    // over the one before; the box grows when the last one would cross its bottom edge.
    auto stack = [this](QGroupBox *box, int top, const QList<QWidget *> &children) {
        const QRect designBox = m_design.value(box);
        box->setGeometry(designBox.left(), top, designBox.width(), designBox.height());
        const QRect inner = box->contentsRect();
        const int bottomMargin = qMax(4, box->height() - (inner.y() + inner.height()));
        int previousBottom = inner.top();
        int shift = 0;
        for (QWidget *child : children) {
            const QRect design = m_design.value(child);
            const bool isLabel = qobject_cast<QLabel *>(child) != nullptr;
            const int height = isLabel ? child->sizeHint().height() : qMax(design.height(), child->minimumSizeHint().height());
            const int gap = qobject_cast<QProgressBar *>(child) ? 3 : 1;
            const int y = qMax(design.top() + shift, previousBottom + gap);
            shift = y - design.top();
            if (isLabel)
                child->move(design.left(), y);
            else
                child->setGeometry(design.left(), y, design.width(), height);
            previousBottom = y + height;
        }
        box->resize(designBox.width(), qMax(designBox.height(), previousBottom + bottomMargin));
        return box->height() - designBox.height();
    };

    const int currentGrowth = stack(LCurrentFile, m_design.value(LCurrentFile).top(),
                                    {LDownloadingFileFrom, FileURL, FileSizeLab, TransferRateLab, EstimatedTimeLeftLab,
                                     ProgressCurrentFile});
    const int allGrowth = stack(LAllFiles, m_design.value(LAllFiles).top() + currentGrowth,
                                {AllDownloading, ProgressAllFiles});
    // The room between the boxes and the line above the buttons is used first.
    const int slack = qMax(0, m_design.value(Bevel1).top() - 4 - (m_design.value(LAllFiles).bottom() + 1));
    const int growth = qMax(0, currentGrowth + allGrowth - slack);
    for (QWidget *widget : std::initializer_list<QWidget *>{Bevel1, AboutShadow, AboutLabel, FinishBtn, CancelBtn})
        widget->move(m_design.value(widget).topLeft() + QPoint(0, growth));
    // The engraved label's shadow stays a pixel below and right of it.
    AboutShadow->move(AboutLabel->pos() + QPoint(1, 1));
    setFixedSize(width(), m_designHeight + growth);
}

void TupUpgraderWizardForm::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        arrange();
}

void TupUpgraderWizardForm::prepare(const TupUpgraderWizard &settings)
{
    namespace M = UpgradeMessages;
    const QString about = QLatin1Char(' ') + M::resource(M::kUpgraderNameId) + QLatin1Char(' ');
    setLabelText(AboutLabel, about);
    setLabelText(AboutShadow, about);

    setWindowFlag(Qt::WindowStaysOnTopHint, settings.StayOnTop);
    setAttribute(Qt::WA_ShowWithoutActivating, settings.StayOnTop);
    if (!settings.Pic118x218.isNull())
        Image1->setPixmap(settings.Pic118x218);

    setLabelText(EstimatedTimeLeftLab, M::message(M::Preparing));
    setWindowTitle(M::message(M::Caption));
    setLabelText(WizardTitle, M::message(M::WizardDownloading));
    LCurrentFile->setTitle(QLatin1Char(' ') + M::message(M::CurrentFileGroup) + QLatin1Char(' '));
    LAllFiles->setTitle(QLatin1Char(' ') + M::message(M::AllFilesGroup) + QLatin1Char(' '));
    setLabelText(LDownloadingFileFrom, M::message(M::DownloadingFrom));
    FinishBtn->setText(M::message(M::NextButton));
    CancelBtn->setText(M::message(M::CancelButton));
    arrange();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TupUpgraderWizardForm::showCompletion()
{
    namespace M = UpgradeMessages;
    m_completed = true;
    setLabelText(WizardTitle, M::message(M::WizardCompleted));
    AfterNote->setText(M::displayText(M::format(M::message(M::CompletionNote), {applicationTitle()})));
    AfterNote->setFixedHeight(AfterNote->heightForWidth(AfterNote->width()));
    LCurrentFile->hide();
    LAllFiles->hide();
    CancelBtn->setEnabled(false);
    CancelBtn->setDefault(false);
    FinishBtn->setText(M::message(M::OkButton));
    FinishBtn->setEnabled(true);
    FinishBtn->setDefault(true);
    FinishBtn->setFocus();
}

void TupUpgraderWizardForm::closeEvent(QCloseEvent *event)
{
    if (m_finishing) {
        event->accept();
        return;
    }
    if (!upConfirmAbort(this)) {
        event->ignore();
        return;
    }
    event->accept();
    emit upgradeAborted();
}

void TupUpgraderWizardForm::reject()
{
    // Escape acts as the Cancel button while that is enabled.
    if (CancelBtn->isEnabled())
        CancelBtn->click();
}

TupUpgraderWizardForm *upShowWizard(const TupUpgraderWizard &settings)
{
    if (!upUpgraderWizardForm)
        upUpgraderWizardForm = new TupUpgraderWizardForm();
    TupUpgraderWizardForm *form = upUpgraderWizardForm;
    form->prepare(settings);
    form->show();
    return form;
}
