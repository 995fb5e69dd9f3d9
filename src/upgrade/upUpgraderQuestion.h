#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class QWidget;

// The upgrade question: names the new release and asks whether to upgrade now.
// Topmost; frees itself when closed.
class TupUpgraderQuestionForm : public QDialog
{
    Q_OBJECT

public:
    explicit TupUpgraderQuestionForm(QWidget *parent = nullptr);

    QLabel *Icon = nullptr;
    QLabel *Label1 = nullptr;
    QWidget *BottomPanel = nullptr;
    QPushButton *YesBtn = nullptr;
    QPushButton *LaterBtn = nullptr;

    // Fills the texts for a release message and grows the window with them.
    void prepare(const QString &releaseMessage);

protected:
    void showEvent(QShowEvent *event) override;
};

// The open question window, if any.
extern QPointer<TupUpgraderQuestionForm> upUpgraderQuestionForm;

// Shows the question modally; true when the user chose Yes.
bool upAskUpgrade(const QString &releaseMessage);
