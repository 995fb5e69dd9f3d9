#include "exportprogresswindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

ExportProgressWindow::ExportProgressWindow(int maximum, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("ExportProgressWindow"));
    setFixedSize(300, 100);
    QFont face(QStringLiteral("宋体"));
    face.setPointSize(9);
    setFont(face);
    setStyleSheet(QStringLiteral("ExportProgressWindow { background: palette(window); border: 1px solid black; }"));
    setAttribute(Qt::WA_StyledBackground);

    auto *panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(1, 1, 298, 98);

    m_label = new QLabel(QStringLiteral("正在导出数据，请稍候......"), panel);
    QFont bold = font();
    bold.setBold(true);
    m_label->setFont(bold);
    m_label->move(24, 24);
    m_label->adjustSize();

    m_bar = new QProgressBar(panel);
    m_bar->setGeometry(19, 49, 260, 13);
    m_bar->setRange(0, maximum);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: blue; }"));
}

void ExportProgressWindow::showNow()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    show();
    repaint();
}

void ExportProgressWindow::setProgress(int value)
{
    // The bar repaints itself at once when its chunk grows by a pixel; repainting at
    // every record would cost a million exports more than their writing.
    m_bar->setValue(value);
}
