#include "applicationstyle.h"

#include <QStyleFactory>

namespace {
int tooltipDelayMs = 700;
}

ApplicationStyle::ApplicationStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

void ApplicationStyle::setToolTipDelay(int milliseconds)
{
    tooltipDelayMs = milliseconds;
}

int ApplicationStyle::toolTipDelay()
{
    return tooltipDelayMs;
}

int ApplicationStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                                QStyleHintReturn *returnData) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return tooltipDelayMs;
    // Password boxes show a star for each character typed.
    if (hint == SH_LineEdit_PasswordCharacter)
        return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
