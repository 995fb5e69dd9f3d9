#pragma once

#include <QProxyStyle>

// The application's style: the platform style with a settable tooltip delay and a
// star for each character in password boxes.
class ApplicationStyle : public QProxyStyle
{
    Q_OBJECT

public:
    ApplicationStyle();

    static void setToolTipDelay(int milliseconds);
    static int toolTipDelay();

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
