#pragma once

#include <QIcon>
#include <QString>

// The application's icon, carried in its resources.
QIcon applicationIcon();

// A launcher for the application on the user's desktop: "Quillmora.desktop", starting
// the running executable in the folder that holds this run's data.mdb (the program
// looks for its data in the folder it starts in), with the application's name and
// icon.
namespace DesktopShortcut {

// The launcher's text for an executable, the folder it starts in, and an icon file.
QString entryText(const QString &executable, const QString &workingFolder, const QString &iconFile);

// Writes the launcher into a desktop folder (created when missing), and the icon file
// it names. A file whose content is already right is left untouched, so a mark of
// trust that the desktop keeps for it survives. Returns false when something could not
// be written; it never raises an error.
bool writeTo(const QString &desktopFolder, const QString &executable, const QString &workingFolder,
             const QString &iconFile);

// Writes the launcher for the running executable and the data module's folder into
// the user's desktop folder.
bool write();

} // namespace DesktopShortcut
