#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

// The row at the top of the administrator's windows: "管理员密码：", the box and
// "确定". The window stays locked until the super administrator's password is
// entered here, whoever is logged in, as in user administration.
class AdminGate : public QWidget
{
    Q_OBJECT

public:
    explicit AdminGate(QWidget *parent);

    // Checks the box's password; unlocks (and says so) or says it is wrong.
    void unlock();
    bool isUnlocked() const { return m_unlocked; }

    QLineEdit *LabeledEdit1 = nullptr;
    QPushButton *BitBtn1 = nullptr;

signals:
    void unlocked();

private:
    bool m_unlocked = false;
};
