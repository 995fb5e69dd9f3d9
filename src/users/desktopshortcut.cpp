#include "desktopshortcut.h"

#include "datamodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kIconResource = QStringLiteral(":/quillmora/quillmora.png");

// A value of a desktop entry's key: backslashes and line breaks escaped.
QString escapeValue(const QString &value)
{
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': escaped += QLatin1String("\\\\"); break;
        case '\n': escaped += QLatin1String("\\n"); break;
        case '\r': escaped += QLatin1String("\\r"); break;
        case '\t': escaped += QLatin1String("\\t"); break;
        default: escaped += c;
        }
    }
    return escaped;
}

// One argument of the Exec key: quoted, with the characters that are special inside
// quotes escaped, and a percent sign doubled so it is not taken for a field code.
QString quoteArgument(const QString &argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

bool writeIfDifferent(const QString &path, const QByteArray &content, QFileDevice::Permissions permissions)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content) {
        existing.close();
        if ((existing.permissions() & permissions) != permissions)
            return existing.setPermissions(existing.permissions() | permissions);
        return true;
    }
    existing.close();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content);
    if (!file.commit())
        return false;
    return QFile::setPermissions(path, QFile::permissions(path) | permissions);
}

} // namespace

QIcon applicationIcon()
{
    return QIcon(kIconResource);
}

namespace DesktopShortcut {

QString entryText(const QString &executable, const QString &workingFolder, const QString &iconFile)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=Quillmora\n"
                          "Comment=Quillmora\n")
           + QStringLiteral("Exec=") + escapeValue(quoteArgument(executable)) + QLatin1Char('\n')
           + QStringLiteral("Path=") + escapeValue(workingFolder) + QLatin1Char('\n')
           + QStringLiteral("Icon=") + escapeValue(iconFile) + QLatin1Char('\n')
           + QStringLiteral("Terminal=false\n");
}

bool writeTo(const QString &desktopFolder, const QString &executable, const QString &workingFolder,
             const QString &iconFile)
{
    QFile icon(kIconResource);
    if (!icon.open(QIODevice::ReadOnly))
        return false;
    const QByteArray iconData = icon.readAll();
    if (!QDir().mkpath(QFileInfo(iconFile).absolutePath())
        || !writeIfDifferent(iconFile, iconData, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    if (!QDir().mkpath(desktopFolder))
        return false;
    // Desktops start a launcher only when it is executable.
    return writeIfDifferent(QDir(desktopFolder).filePath(QStringLiteral("Quillmora.desktop")),
                            entryText(executable, workingFolder, iconFile).toUtf8(),
                            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool write()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (desktop.isEmpty() || data.isEmpty())
        return false;
    const QString workingFolder = dmfm ? dmfm->dataFolder() : QDir::currentPath();
    return writeTo(desktop, QCoreApplication::applicationFilePath(), workingFolder,
                   QDir(data).filePath(QStringLiteral("quillmora.png")));
}

} // namespace DesktopShortcut
