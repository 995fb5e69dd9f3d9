#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

class QWidget;

// The outer size of a top-level window as the window manager draws it, and word when
// that changes. Qt learns a frame's size once and does not hear of later changes: on
// X11 the window manager reports the frame (_NET_FRAME_EXTENTS) after the window is
// first mapped and again after each change of state such as maximising, often after
// the resize that the change caused, so Qt's frameGeometry() is then short or stale.
// This reads the report itself; elsewhere it falls back to Qt's frame geometry.
class FrameWatcher final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit FrameWatcher(QWidget *window);
    ~FrameWatcher() override;

    // The window's height with its frame and caption, as reported right now.
    int outerHeight() const;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // The window manager has reported a new frame; outerHeight() tells it.
    void frameChanged();

private:
    QWidget *m_window;
    quint32 m_extentsAtom = 0;
};
