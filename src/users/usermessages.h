#pragma once

#include "appinfo.h"
#include "messageboxservice.h"

// The plain message box the user windows answer with: the application's title, the
// text and OK, without an icon.
inline void showMessage(QWidget *parent, const QString &text)
{
    MessageBoxes::ask(parent, {applicationTitle(), text, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok});
}
