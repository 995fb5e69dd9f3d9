#pragma once

#include <QUrl>
#include <functional>

// Opens a document or web address with the desktop's associated program.
// Tests replace the opener to record the requests (the offscreen platform opens nothing).
namespace UrlOpener {

using Opener = std::function<bool(const QUrl &)>;

bool open(const QUrl &url);
// nullptr restores QDesktopServices::openUrl.
void setOpener(Opener opener);

} // namespace UrlOpener
