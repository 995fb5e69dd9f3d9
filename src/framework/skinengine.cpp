#include "skinengine.h"

#include <QApplication>
#include <QFile>

static void initSkinResources()
{
    Q_INIT_RESOURCE(skins);
}

namespace {

int currentSkin = -1;

void applySheet(int index)
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        app->setStyleSheet(SkinEngine::styleSheet(index));
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
