#pragma once

#include <functional>

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

} // namespace KeyFilters
