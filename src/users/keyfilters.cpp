#include "keyfilters.h"

#include "guardedcommand.h"

#include <QComboBox>
#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <utility>

namespace {

bool isPasswordCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

// Control characters (backspace, Enter, the clipboard shortcuts) pass; any printable
// character that is not a letter or digit is refused.
bool acceptable(const QString &typed)
{
    for (const QChar c : typed) {
        const char16_t u = c.unicode();
        if (u >= 32 && u != 127 && !isPasswordCharacter(c))
            return false;
    }
    return true;
}

class PasswordCharacterFilter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (!acceptable(key->text()))
                return true;
        } else if (event->type() == QEvent::InputMethod) {
            auto *input = static_cast<QInputMethodEvent *>(event);
            if (!acceptable(input->commitString()))
                input->setCommitString(QString());
        }
        return QObject::eventFilter(watched, event);
    }
};

class EnterFilter final : public QObject
{
public:
    EnterFilter(QWidget *widget, std::function<void()> action) : QObject(widget), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                runGuarded(qobject_cast<QWidget *>(watched), m_action);
                return true;
            }
        } else if (event->type() == QEvent::ShortcutOverride) {
            // Claim Enter so that no shortcut of the window takes it first.
            auto *keyEvent = static_cast<QKeyEvent *>(event);
            if (keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter) {
                keyEvent->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

class TypedTextCompletion final : public QObject
{
public:
    explicit TypedTextCompletion(QComboBox *combo) : QObject(combo), m_combo(combo)
    {
        combo->setCompleter(nullptr);
        // Keys reach the combo box first, which hands them to its line edit.
        combo->installEventFilter(this);
        connect(combo->lineEdit(), &QLineEdit::textEdited, this, &TypedTextCompletion::complete);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Only typing completes: deleting a proposed tail must not bring it back.
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent *>(event)->text();
            m_typing = !text.isEmpty() && text.at(0).isPrint();
        } else if (event->type() == QEvent::InputMethod) {
            m_typing = !static_cast<QInputMethodEvent *>(event)->commitString().isEmpty();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void complete(const QString &typed)
    {
        const bool typing = std::exchange(m_typing, false);
        QLineEdit *edit = m_combo->lineEdit();
        if (!typing || typed.isEmpty() || edit->cursorPosition() != typed.size())
            return;
        for (int i = 0; i < m_combo->count(); ++i) {
            const QString entry = m_combo->itemText(i);
            if (entry.size() > typed.size() && entry.startsWith(typed, Qt::CaseInsensitive)) {
                const QString tail = entry.mid(typed.size());
                edit->setText(typed + tail);
                edit->setSelection(int(typed.size()), int(tail.size()));
                return;
            }
        }
    }

    QComboBox *m_combo;
    bool m_typing = false;
};

} // namespace

namespace KeyFilters {

void acceptOnlyPasswordCharacters(QLineEdit *edit)
{
    edit->installEventFilter(new PasswordCharacterFilter(edit));
}

void onEnter(QWidget *widget, std::function<void()> action)
{
    widget->installEventFilter(new EnterFilter(widget, std::move(action)));
}

void completeFromList(QComboBox *combo)
{
    new TypedTextCompletion(combo);
}

} // namespace KeyFilters
