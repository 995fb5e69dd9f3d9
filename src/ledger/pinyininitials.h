#pragma once

#include <QString>

// The first letters of the pinyin of a text's Chinese characters ("足球" → "zq"), so an
// operator can find a name by typing its initials. Latin letters are folded to lower case
// and kept, digits kept, anything else dropped.
namespace PinyinInitials {

QString of(const QString &text);

} // namespace PinyinInitials
