#pragma once

#include <QCalendarWidget>
#include <QDate>
#include <QLineEdit>
#include <QPointer>

class QToolButton;


// A date box: the date as date text ("yyyy-MM-dd") that the operator may type over,
// with a drop-down calendar (the arrow at the right, or Alt+Down). Its text is what
// the commands read, so it can also hold no date or a text that is not one.
class DateEditor : public QLineEdit
{
    Q_OBJECT

public:
    explicit DateEditor(QWidget *parent = nullptr);

    void setDate(const QDate &date);
    QToolButton *dropDownButton() const { return m_dropDown; }
    // The open calendar, or nullptr.
    QCalendarWidget *calendar() const { return m_calendar; }
    void showCalendar();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *m_dropDown = nullptr;
    QPointer<QCalendarWidget> m_calendar;
};
