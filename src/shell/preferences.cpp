#include "preferences.h"

#include "datagrid.h"
#include "gridlayoutfile.h"
#include "skinengine.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kSkinKey = QStringLiteral("skin");


} // namespace

namespace SkinPreference {

void choose(int index)
{
    SkinEngine::apply(index);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vantrel"),
                       QStringLiteral("quillmora"));
    settings.setValue(kSkinKey, QString::number(index));
    settings.sync();
}

std::optional<int> indexFromStored(const QVariant &value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString();
    for (const char *candidate : {"1", "2", "3", "4", "5", "0"}) {
        if (text == QLatin1String(candidate))
            return text.toInt();
    }
    return std::nullopt;
}

void restore()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vantrel"),
                       QStringLiteral("quillmora"));
    if (!settings.contains(kSkinKey))
        return;
    if (const std::optional<int> index = indexFromStored(settings.value(kSkinKey)))
        SkinEngine::apply(*index);
}

} // namespace SkinPreference

namespace LayoutPreference {

QString filePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("quillmora.ini"));
}

void save(const DataGrid &grid)
{
    const QString path = filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    GridLayoutFile::save(grid, grid.objectName(), path, kSection);
}

void restore(DataGrid &grid)
{
    GridLayoutFile::restore(grid, grid.objectName(), filePath(), kSection);
}

} // namespace LayoutPreference

namespace PasswordReminder {

namespace {

QString key(const QString &userName)
{
    // Hex keeps any user name a plain settings key.
    return QStringLiteral("passwordReminder/") + QString::fromLatin1(userName.toUtf8().toHex());
}

} // namespace

bool due(const QString &userName, const QDate &today)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vantrel"),
                       QStringLiteral("quillmora"));
    return settings.value(key(userName)).toString() != today.toString(Qt::ISODate);
}

void reminded(const QString &userName, const QDate &today)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vantrel"),
                       QStringLiteral("quillmora"));
    settings.setValue(key(userName), today.toString(Qt::ISODate));
    settings.sync();
}

} // namespace PasswordReminder
