#include "skinengine.h"

#include <QApplication>
#include <QFile>
#include <QPalette>

static void initSkinResources()
{
    Q_INIT_RESOURCE(skins);
}

namespace {

int currentSkin = -1;

// The colours a skin gives the palette. Style sheet rules draw the kinds of control
// they name; everything else (a window that is a plain widget, list entries, a
// disabled text) is drawn from the palette, which must therefore match the skin.
struct SkinColours
{
    const char *window;
    const char *windowText;
    const char *base;
    const char *text;
    const char *button;
    const char *highlight;
    const char *highlightedText;
    const char *disabledText;
};

const SkinColours kColours[] = {
    // default, then stored skins 0 … 4
    {"#ece9d8", "#000000", "#ffffff", "#000000", "#e6e3d3", "#316ac5", "#ffffff", "#555555"},
    {"#dbe8f8", "#0b2545", "#ffffff", "#0b2545", "#bcd5f5", "#2159b8", "#ffffff", "#354e6c"},
    {"#2b2b2b", "#e8e8e8", "#1e1e1e", "#f0f0f0", "#3a3a3a", "#c8a040", "#111111", "#cccccc"},
    {"#e8f6fb", "#123c4a", "#ffffff", "#123c4a", "#c6eaf6", "#0f6680", "#ffffff", "#345c69"},
    {"#1f2430", "#d8dee9", "#171b24", "#e5e9f0", "#303747", "#4a6a9c", "#ffffff", "#bdc2cd"},
    {"#fbeff4", "#4a1630", "#ffffff", "#4a1630", "#f3d2e1", "#b83570", "#ffffff", "#73435a"},
};

QPalette paletteOf(const SkinColours &colours)
{
    const QColor window(QString::fromLatin1(colours.window));
    const QColor button(QString::fromLatin1(colours.button));
    QPalette palette(button, window);
    const QColor windowText(QString::fromLatin1(colours.windowText));
    const QColor text(QString::fromLatin1(colours.text));
    const QColor disabled(QString::fromLatin1(colours.disabledText));
    palette.setColor(QPalette::WindowText, windowText);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Base, QColor(QString::fromLatin1(colours.base)));
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, windowText);
    palette.setColor(QPalette::Highlight, QColor(QString::fromLatin1(colours.highlight)));
    palette.setColor(QPalette::HighlightedText, QColor(QString::fromLatin1(colours.highlightedText)));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    return palette;
}

void applySheet(int index)
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QApplication::setPalette(paletteOf(kColours[index + 1]));
        app->setStyleSheet(SkinEngine::styleSheet(index));
    }
    currentSkin = index;
}

} // namespace

namespace SkinEngine {

QString styleSheet(int index)
{
    initSkinResources();
    const QString name = index < 0 ? QStringLiteral("default") : QStringLiteral("skin%1").arg(index);
    QFile file(QStringLiteral(":/skins/%1.qss").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void applyDefault()
{
    applySheet(-1);
}

void apply(int index)
{
    if (index < 0 || index >= kStoredSkins)
        return;
    applySheet(index);
}

int current()
{
    return currentSkin;
}

} // namespace SkinEngine
