#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;

// Small helpers every window uses to check input and fill its boxes.
namespace mylib {

// True when the box holds more than blanks and control characters; otherwise shows
// the message as a warning, puts the focus on the box and returns false.
bool checkRequired(QLineEdit *edit, const QString &message);
bool checkRequired(QComboBox *combo, const QString &message);

// Fills the combo box with the values in their order (mylib::distinctValues gives a
// column's); selects nothing.
void fillComboBox(QComboBox *combo, const QStringList &values);

} // namespace mylib
