#pragma once

#include <functional>

class QComboBox;
class QLineEdit;
class QWidget;

// Keyboard behaviour shared by the user windows.
namespace KeyFilters {

// A password box takes letters, digits and editing keys from the keyboard; every
// other character typed is discarded. Pasted text is not filtered.
void acceptOnlyPasswordCharacters(QLineEdit *edit);

// Enter (Return or the keypad's Enter) in the widget runs the action instead of
// reaching the widget or the window's default button.
void onEnter(QWidget *widget, std::function<void()> action);

// Typing into an editable combo box proposes the rest of the first list entry that
// begins with the typed text, whatever its letter case, as a selected tail; the
// letters typed are never changed ("BOB" stays "BOB" while the list holds "Bob").
// Replaces Qt's own completer, which writes the entry's spelling over them.
void completeFromList(QComboBox *combo);

} // namespace KeyFilters
