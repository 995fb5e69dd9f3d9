#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The small borderless window an export shows while it writes: a line of text and a
// bar from 0 to the number of records. It does not block; setProgress repaints at
// once so the bar moves while the writing keeps the event loop busy.
class ExportProgressWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ExportProgressWindow(int maximum, QWidget *parent = nullptr);

    // Shows the window centred on the screen and draws it at once.
    void showNow();
    void setProgress(int value);

    QLabel *label() const { return m_label; }
    QProgressBar *bar() const { return m_bar; }

private:
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
};
