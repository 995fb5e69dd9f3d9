#pragma once

#include <QWidget>

class Connection;
class Dataset;
class QLineEdit;
class QPushButton;

// The row at the top of the administrator's windows: "管理员密码：", the box and
// "确定". The window stays locked until the super administrator's password is
// entered here, whoever is logged in, as in user administration.
class AdminGate : public QWidget
{
    Q_OBJECT

public:
    // Reads the users of the ledger open on `connection`.
    AdminGate(Connection &connection, QWidget *parent);

    // Checks the box's password; unlocks (and says so) or says it is wrong.
    void unlock();
    bool isUnlocked() const { return m_unlocked; }

    QLineEdit *passwordBox = nullptr;
    QPushButton *unlockButton = nullptr;

signals:
    void unlocked();

private:
    Dataset *m_users = nullptr;
    bool m_unlocked = false;
};
