#pragma once

#include <QString>

// Draws every window of the application in one of six looks: the default one, in
// force from the start, and five stored skins addressed by their index 0 … 4. A skin
// is a style sheet applied to the whole application, so windows opened later take it
// too.
namespace SkinEngine {

inline constexpr int kStoredSkins = 5;

// Applies the default look.
void applyDefault();
// Applies stored skin `index`; an index that names no stored skin changes nothing.
void apply(int index);
// The stored skin in force, -1 for the default look.
int current();

// The style sheet of stored skin `index`, or of the default look for -1.
QString styleSheet(int index);

} // namespace SkinEngine
