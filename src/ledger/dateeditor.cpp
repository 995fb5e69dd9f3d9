#include "dateeditor.h"

#include "datetext.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QToolButton>

namespace {

// Narrow enough that a whole date text still fits a box of about 90 pixels.
constexpr int kArrowWidth = 11;

} // namespace

DateEditor::DateEditor(QWidget *parent) : QLineEdit(parent)
{
    m_dropDown = new QToolButton(this);
    m_dropDown->setObjectName(QStringLiteral("dropDown"));
    m_dropDown->setArrowType(Qt::DownArrow);
    m_dropDown->setAutoRaise(true);
    m_dropDown->setFocusPolicy(Qt::NoFocus);
    m_dropDown->setCursor(Qt::ArrowCursor);
    setTextMargins(0, 0, kArrowWidth, 0);
    // No skin's padding either: a date in the 14-pixel face needs all of the box.
    setStyleSheet(QStringLiteral("QLineEdit { padding-left: 0px; padding-right: 0px; }"));
    connect(m_dropDown, &QToolButton::clicked, this, &DateEditor::showCalendar);
}

void DateEditor::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    const int frame = 2;
    m_dropDown->setGeometry(width() - frame - kArrowWidth, frame, kArrowWidth, height() - 2 * frame);
}

void DateEditor::setDate(const QDate &date)
{
    setText(DateText::date(date));
}

void DateEditor::showCalendar()
{
    if (m_calendar)
        return;
    auto *calendar = new QCalendarWidget(this);
    calendar->setWindowFlags(Qt::Popup);
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    calendar->setGridVisible(true);
    try {
        calendar->setSelectedDate(DateText::parseDate(text()));
    } catch (const std::exception &) {
        // No date in the box: the calendar opens on today.
    }
    connect(calendar, &QCalendarWidget::clicked, this, [this, calendar](const QDate &date) {
        setDate(date);
        calendar->close();
        setFocus(Qt::PopupFocusReason);
    });
    connect(calendar, &QCalendarWidget::activated, this, [this, calendar](const QDate &date) {
        setDate(date);
        calendar->close();
        setFocus(Qt::PopupFocusReason);
    });
    calendar->adjustSize();
    calendar->move(mapToGlobal(QPoint(width() - calendar->width(), height())));
    m_calendar = calendar;
    calendar->show();
}

void DateEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier)) {
        showCalendar();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
