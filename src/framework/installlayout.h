#pragma once

#include <QString>

// Whether the running program is a system installation, whose files belong to the
// package manager, or a folder of its own (a build, a copied folder). An installation
// keeps its programs in the binary folder fixed when it was built (for example
// /usr/bin); any other place is a folder of its own.
namespace InstallLayout {

// True when `executable` lies directly in `binaryFolder`, both taken with symbolic
// links resolved (/bin and /usr/bin are one folder on a merged system).
bool isInstalled(const QString &executable, const QString &binaryFolder);

// The binary folder of an installation of this build.
QString binaryFolder();
// Tests point it at a folder of their own; an empty text restores the built-in one.
void setBinaryFolder(const QString &folder);

// Whether `executable` (by default the running one) is an installation of this build.
bool isInstalled(const QString &executable);
bool runsInstalled();

} // namespace InstallLayout
