#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the main window and the support window go when the main window first shows:
// the main window 450 px to the left, the support window 10 px right of it and
// centred on it vertically (half the height difference, truncated toward zero).
struct SupportPlacement {
    QPoint mainTopLeft;
    QPoint supportTopLeft;
};

// `mainWindow` is the main window's frame as it first appeared; `supportSize` the
// support window's frame size; `available` the screen's area free for windows. On a
// screen too narrow for that placement the pair moves sideways together until it fits;
// where even that cannot fit, each window is kept inside on its own, so they overlap.
// An invalid `available` places them as above, wherever that is.
SupportPlacement PlaceSupportBeside(const QRect& mainWindow, const QSize& supportSize,
                                    const QRect& available = QRect());
