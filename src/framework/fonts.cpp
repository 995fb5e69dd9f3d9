#include "fonts.h"

#include <QFont>
#include <QStringList>

void installChineseFontSubstitutions()
{
    const QStringList chinese{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), chinese);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), chinese);
}

QFont songTi(int pixels)
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(pixels);
    return font;
}

QFont applicationFont()
{
    QFont font = songTi(12);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}
