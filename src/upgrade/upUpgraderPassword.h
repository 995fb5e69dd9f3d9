#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Asks for the user name and password of a protected upgrade file. Frees itself
// when closed.
class TupUpgraderPasswordForm : public QDialog
{
    Q_OBJECT

public:
    explicit TupUpgraderPasswordForm(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QWidget *BottomPanel = nullptr;
    QLabel *UsernameLab = nullptr;
    QLabel *PasswordLab = nullptr;
    QLineEdit *UsernameEdit = nullptr;
    QLineEdit *PasswordEdit = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

    // Fills the texts for the file's address and grows the window with them.
    void prepare(const QString &url, const QString &userName);
};

extern QPointer<TupUpgraderPasswordForm> upUpgraderPasswordForm;

// Shows the window modally. On OK the entered name and password are stored into
// userName and password and true is returned; on Cancel both stay as they were.
bool upAskPassword(const QString &url, QString &userName, QString &password);
