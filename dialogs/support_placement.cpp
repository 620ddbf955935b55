#include "dialogs/support_placement.h"

SupportPlacement PlaceSupportBeside(const QRect& mainWindow, const QSize& supportSize) {
    constexpr int kMainShift = 450;
    constexpr int kGap = 10;
    // QRect::right() is the last pixel column; the edge that matters is one past it.
    const int oldRightEdge = mainWindow.x() + mainWindow.width();
    const int heightDifference = supportSize.height() - mainWindow.height();
    return SupportPlacement{
        QPoint(mainWindow.x() - kMainShift, mainWindow.y()),
        QPoint(oldRightEdge - kMainShift + kGap, mainWindow.y() - heightDifference / 2),
    };
}
