#include "windowhelpers.h"

#include "apperror.h"
#include "messageboxservice.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

bool hasText(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 32)
            return true;
    }
    return false;
}

bool checkRequiredText(QWidget *control, const QString &text, const QString &message)
{
    if (hasText(text))
        return true;
    MessageBoxes::warning(control, message);
    if (!control->isVisibleTo(control->window()) || !control->isEnabled() || !control->window()->isVisible())
        throw AppError(QStringLiteral("Cannot focus a disabled or invisible window"));
    control->setFocus(Qt::OtherFocusReason);
    return false;
}

} // namespace

namespace mylib {

bool checkRequired(QLineEdit *edit, const QString &message)
{
    return checkRequiredText(edit, edit->text(), message);
}

bool checkRequired(QComboBox *combo, const QString &message)
{
    return checkRequiredText(combo, combo->currentText(), message);
}

void fillComboBox(QComboBox *combo, const QStringList &values)
{
    combo->clear();
    combo->setEditText(QString());
    combo->addItems(values);
    combo->setCurrentIndex(-1);
}

} // namespace mylib
