#include "dateeditor.h"

#include "datetext.h"

#include <QAction>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>

namespace {

QIcon dropDownArrow()
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    const QPointF arrow[3] = {{2, 4}, {10, 4}, {6, 9}};
    painter.drawPolygon(arrow, 3);
    return QIcon(pixmap);
}

} // namespace

DateEditor::DateEditor(QWidget *parent) : QLineEdit(parent)
{
    m_dropDown = addAction(dropDownArrow(), QLineEdit::TrailingPosition);
    m_dropDown->setObjectName(QStringLiteral("dropDown"));
    connect(m_dropDown, &QAction::triggered, this, &DateEditor::showCalendar);
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
