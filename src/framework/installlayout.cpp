#include "installlayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString &binaryFolderOverride()
{
    static QString folder;
    return folder;
}

} // namespace

namespace InstallLayout {

bool isInstalled(const QString &executable, const QString &binaryFolder)
{
    if (executable.isEmpty() || binaryFolder.isEmpty())
        return false;
    // A folder that does not exist resolves to nothing; two nothings are no match.
    const QString folder = QFileInfo(executable).absoluteDir().canonicalPath();
    const QString installed = QDir(binaryFolder).canonicalPath();
    return !folder.isEmpty() && folder == installed;
}

QString binaryFolder()
{
    if (!binaryFolderOverride().isEmpty())
        return binaryFolderOverride();
    return QStringLiteral(QUILLMORA_INSTALL_BINDIR);
}

void setBinaryFolder(const QString &folder)
{
    binaryFolderOverride() = folder;
}

bool isInstalled(const QString &executable)
{
    return isInstalled(executable, binaryFolder());
}

bool runsInstalled()
{
    return isInstalled(QCoreApplication::applicationFilePath());
}

} // namespace InstallLayout
