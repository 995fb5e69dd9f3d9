#pragma once

#include <QFont>

// The windows ask for "宋体" (SimSun), which Linux font configuration maps to a Latin
// face; map it to a Chinese serif face so texts render and PDF text stays readable.
void installChineseFontSubstitutions();

// "宋体" at a size in pixels: the windows were laid out in it, so their texts fit
// their boxes only at the sizes they name.
QFont songTi(int pixels);

// The application's font: "宋体" 12 pixels, with stems snapped to whole pixels so thin
// strokes of small serif digits and characters keep their full colour instead of
// fading into the background.
QFont applicationFont();
