#include "messageboxservice.h"

#include "appinfo.h"
#include "apperror.h"

#include <QAbstractButton>


namespace {

std::unique_ptr<MessageBoxService> &installedService()
{
    static std::unique_ptr<MessageBoxService> service = std::make_unique<MessageBoxService>();
    return service;
}

} // namespace

QMessageBox::StandardButton MessageBoxService::ask(QWidget *parent, const MessageBoxRequest &request)
{
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    for (const auto &[button, text] : request.buttonTexts) {
        if (QAbstractButton *shown = box.button(button))
            shown->setText(text);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

MessageBoxService &MessageBoxService::instance()
{
    return *installedService();
}

void MessageBoxService::install(std::unique_ptr<MessageBoxService> service)
{
    installedService() = service ? std::move(service) : std::make_unique<MessageBoxService>();
}

namespace MessageBoxes {

QMessageBox::StandardButton ask(QWidget *parent, const MessageBoxRequest &request)
{
    return MessageBoxService::instance().ask(parent, request);
}

void information(QWidget *parent, const QString &text)
{
    ask(parent, {applicationTitle(), text, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok});
}

void warning(QWidget *parent, const QString &text)
{
    ask(parent, {applicationTitle(), text, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
}

bool confirm(QWidget *parent, const QString &text)
{
    return ask(parent, {QStringLiteral("警告！"), text, QMessageBox::Warning,
                        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel})
           == QMessageBox::Ok;
}

void reportError(QWidget *parent, const QString &text)
{
    ask(parent, {applicationTitle(), text, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok});
}

void reportError(QWidget *parent, const std::exception &error)
{
    reportError(parent, errorText(error));
}

} // namespace MessageBoxes
