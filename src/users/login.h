#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The login window "用户登录", shown modally by the main window while no session is
// open. It closes accepted once a user has logged in and the session row is written;
// any other way of closing it rejects, and the main window then ends the application.
class Tloginfm : public QDialog
{
    Q_OBJECT

public:
    explicit Tloginfm(QWidget *parent = nullptr);

    // The action run after a successful confirmation, before the window closes: the
    // main window's show-all-records.
    void setShowAllRecords(std::function<void()> action) { m_showAllRecords = std::move(action); }

    // 1 after a successful confirmation, 0 after "退出"; another value before either.
    int loginResult() const { return m_loginResult; }
    // The user and the session row of a successful login.
    const QString &userName() const { return m_userName; }
    qint64 sessionId() const { return m_sessionId; }
    // Forgets the last login, so the window can be shown again for the next user.
    void startOver();

    // The commands, public so tests can drive them.
    void showStep();
    void confirm();
    void leave();

    // Every way of closing the window ends here.
    void done(int result) override;

    QComboBox *ComboBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *bitbtn4 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Button1 = nullptr;
    QLabel *Image1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void closingStep();

    static constexpr int kNotTried = -1;
    int m_loginResult = kNotTried;
    QString m_userName;
    qint64 m_sessionId = 0;
    std::function<void()> m_showAllRecords;
};
