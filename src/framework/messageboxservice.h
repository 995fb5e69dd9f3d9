#pragma once

#include <QList>
#include <QMessageBox>
#include <QPair>
#include <QString>
#include <memory>

class QWidget;

// What one message box asks; the service turns it into a box and returns the
// button that closed it.
struct MessageBoxRequest
{
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // Captions of buttons that say more than their standard text ("现在修改").
    QList<QPair<QMessageBox::StandardButton, QString>> buttonTexts = {};
};

// Every box the application shows goes through here, so tests can script the
// answers and check what was asked. The installed instance lives until replaced.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;

    virtual QMessageBox::StandardButton ask(QWidget *parent, const MessageBoxRequest &request);

    static MessageBoxService &instance();
    // Installs a replacement (tests); passing nullptr restores the default.
    static void install(std::unique_ptr<MessageBoxService> service);
};

// Convenience wrappers; caption defaults follow the application's conventions.
namespace MessageBoxes {

QMessageBox::StandardButton ask(QWidget *parent, const MessageBoxRequest &request);
// Information box captioned with the application title.
void information(QWidget *parent, const QString &text);
// The standard warning with a single OK, captioned with the application title.
void warning(QWidget *parent, const QString &text);
// "警告！" confirmation with OK/Cancel, Cancel preselected; true only for OK.
bool confirm(QWidget *parent, const QString &text);
// The default error report: application title, error icon, the text, OK.
void reportError(QWidget *parent, const QString &text);
void reportError(QWidget *parent, const std::exception &error);

} // namespace MessageBoxes
