#include "fonts.h"

#include <QFont>
#include <QStringList>

void installChineseFontSubstitutions()
{
    const QStringList chinese{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), chinese);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), chinese);
}
