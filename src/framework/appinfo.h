#pragma once

#include <QString>

// The application title: taskbar text and the caption of information and error boxes.
// Not set as Qt's display name, which the window system would append to every caption.
inline QString applicationTitle()
{
    return QStringLiteral("Quillmora");
}
