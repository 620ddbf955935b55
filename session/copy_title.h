#pragma once

#include <QString>

// The title of copy `number` (1 to 8) once it is published: the window's, and the
// line a headless copy says when its source exists.
inline QString CopyTitle(int number) {
    return QStringLiteral("Kova Skyfill for NDI® - No %1").arg(number);
}
