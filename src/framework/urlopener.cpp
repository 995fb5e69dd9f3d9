#include "urlopener.h"

#include <QDesktopServices>

namespace {
UrlOpener::Opener installedOpener;
}

namespace UrlOpener {

bool open(const QUrl &url)
{
    if (installedOpener)
        return installedOpener(url);
    return QDesktopServices::openUrl(url);
}

void setOpener(Opener opener)
{
    installedOpener = std::move(opener);
}

} // namespace UrlOpener
