#pragma once

#include <QApplication>

// The application object: title, style and fonts, and the last line of the default
// error report for an error that escaped a command's own guard.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
