#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The password change window "更改密码". It shows itself when created and frees itself
// when closed, so every opening starts with empty boxes and a fresh operator list.
class Tchangepassfm : public QWidget
{
    Q_OBJECT

public:
    explicit Tchangepassfm(QWidget *parent = nullptr);

    void showStep();
    void changePassword();

    QComboBox *ComboBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit14 = nullptr;
    QLineEdit *Edit15 = nullptr;
    QPushButton *bitbtn4 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QLabel *Label28 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_shown = false;
};
