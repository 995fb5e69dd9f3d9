#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

// Brings the open top-level window of exactly class T to the front, or creates one
// owned by `owner` (the window shows itself and frees itself when closed). Keeps at
// most one window of each such class open.
template<typename T, typename... Args>
T *showOrCreate(QPointer<T> &slot, QWidget *owner, Args &&...args)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->metaObject() != &T::staticMetaObject)
            continue;
        auto *window = static_cast<T *>(widget);
        if (window->isMinimized())
            window->showNormal();
        if (window->isHidden())
            window->setVisible(true);
        window->raise();
        window->activateWindow();
        window->setFocus();
        slot = window;
        return window;
    }
    auto *window = new T(owner, std::forward<Args>(args)...);
    slot = window;
    window->show();
    return window;
}
