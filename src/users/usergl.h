#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;

// The user administration window "用户管理—(管理员专用)". It opens locked: the user
// list and the operations wait for the super administrator's password entered here,
// whoever is logged in. It shows itself when created and frees itself when closed.
class Tuserglfm : public QWidget
{
    Q_OBJECT

public:
    explicit Tuserglfm(QWidget *parent = nullptr);

    void fillUserList();
    void unlock();
    void chooseUser(QListWidgetItem *item);
    void resetPassword();
    void showResetHint();
    void addUser();
    void deleteUser();
    // Gives the chosen user the role picked beside the list.
    void setChosenRole();

    QLineEdit *LabeledEdit1 = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QLabel *Label1 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *Edit5 = nullptr;
    QPushButton *BitBtn5 = nullptr;
    QPushButton *BitBtn4 = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *Edit6 = nullptr;
    QPushButton *BitBtn7 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *Label9 = nullptr;
    QLineEdit *Edit7 = nullptr;
    QPushButton *BitBtn9 = nullptr;
    // The role a new user gets (a cashier by default).
    QComboBox *newUserRole = nullptr;
    // The chosen user's role, and the choice that changes it.
    QLabel *roleLabel = nullptr;
    QComboBox *roleChoice = nullptr;
    QPushButton *setRoleButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_shown = false;
};
