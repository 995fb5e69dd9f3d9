#include "scriptedmessageboxes.h"

ScriptedMessageBoxes &ScriptedMessageBoxes::install()
{
    auto service = std::make_unique<ScriptedMessageBoxes>();
    ScriptedMessageBoxes &reference = *service;
    MessageBoxService::install(std::move(service));
    return reference;
}

QMessageBox::StandardButton ScriptedMessageBoxes::ask(QWidget *, const MessageBoxRequest &request)
{
    if (m_nextAction)
        std::exchange(m_nextAction, nullptr)();
    QMessageBox::StandardButton answer;
    if (m_answers.isEmpty()) {
        unexpected << request;
        answer = request.defaultButton != QMessageBox::NoButton ? request.defaultButton : QMessageBox::Ok;
    } else {
        answer = m_answers.dequeue();
    }
    asked << Asked{request, answer};
    return answer;
}
