#pragma once

// The windows ask for "宋体" (SimSun), which Linux font configuration maps to a Latin
// face; map it to a Chinese serif face so texts render and PDF text stays readable.
void installChineseFontSubstitutions();
