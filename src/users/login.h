#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

// The login window "用户登录", shown modally by the main window while no session is
// open. Accepted means a user logged in and a session row was written.
class Tloginfm : public QDialog
{
    Q_OBJECT

public:
    explicit Tloginfm(QWidget *parent = nullptr);

    // The user and the session row of the last successful login.
    const QString &userName() const { return m_userName; }
    qint64 sessionId() const { return m_sessionId; }

    QComboBox *ComboBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

private:
    QString m_userName;
    qint64 m_sessionId = 0;
};
