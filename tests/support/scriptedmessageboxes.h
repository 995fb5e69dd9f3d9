#pragma once

#include "messageboxservice.h"

#include <QList>
#include <QQueue>

// Answers message boxes from a queue and records every box asked. Install it in a
// test's init() with install(); a box nobody expected is recorded in unexpected and
// answered with its default button, so the test can fail on it instead of hanging.
class ScriptedMessageBoxes : public MessageBoxService
{
public:
    struct Asked
    {
        MessageBoxRequest request;
        QMessageBox::StandardButton answer;
    };

    // Installs a fresh scripted service and returns it (owned by the service slot).
    static ScriptedMessageBoxes &install();

    void expect(QMessageBox::StandardButton answer) { m_answers.enqueue(answer); }
    // Runs `action` when the next box is asked (after recording it), before answering.
    void onNextBox(std::function<void()> action) { m_nextAction = std::move(action); }

    QMessageBox::StandardButton ask(QWidget *parent, const MessageBoxRequest &request) override;

    QList<Asked> asked;
    QList<MessageBoxRequest> unexpected;
    int pendingAnswers() const { return int(m_answers.size()); }

private:
    QQueue<QMessageBox::StandardButton> m_answers;
    std::function<void()> m_nextAction;
};
