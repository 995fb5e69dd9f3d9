#pragma once

#include "messageboxservice.h"

#include <QPointer>
#include <QWidget>
#include <exception>
#include <utility>

// Runs one user command; an error it lets escape goes to the default error report
// and the application carries on. Wrap every slot that starts a command:
//   connect(button, &QPushButton::clicked, this, guarded(this, [this] { add(); }));
template<typename Function>
bool runGuarded(QWidget *parent, Function &&function)
{
    try {
        std::forward<Function>(function)();
        return true;
    } catch (const std::exception &error) {
        MessageBoxes::reportError(parent, error);
    }
    return false;
}

template<typename Function>
auto guarded(QWidget *parent, Function function)
{
    return [parent = QPointer<QWidget>(parent), function = std::move(function)](auto &&...) {
        runGuarded(parent.data(), function);
    };
}
