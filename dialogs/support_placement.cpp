#include "dialogs/support_placement.h"

#include <algorithm>

namespace {

// The start of a span of `length` moved as little as possible into [low, high); a span
// longer than that starts at `low`, so a window's top-left corner stays reachable.
int KeepInside(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length));
}

} // namespace

SupportPlacement PlaceSupportBeside(const QRect& mainWindow, const QSize& supportSize,
                                    const QRect& available) {
    constexpr int kMainShift = 450;
    constexpr int kGap = 10;
    // QRect::right() is the last pixel column; the edge that matters is one past it.
    const int oldRightEdge = mainWindow.x() + mainWindow.width();
    const int heightDifference = supportSize.height() - mainWindow.height();
    SupportPlacement placement{
        QPoint(mainWindow.x() - kMainShift, mainWindow.y()),
        QPoint(oldRightEdge - kMainShift + kGap, mainWindow.y() - heightDifference / 2),
    };
    if (!available.isValid()) {
        return placement;
    }
    const int low = available.x();
    const int high = available.x() + available.width();
    // The pair keeps its gap while it fits across the screen.
    const int pairLeft = std::min(placement.mainTopLeft.x(), placement.supportTopLeft.x());
    const int pairRight = std::max(placement.mainTopLeft.x() + mainWindow.width(),
                                   placement.supportTopLeft.x() + supportSize.width());
    const int shift = KeepInside(pairLeft, pairRight - pairLeft, low, high) - pairLeft;
    placement.mainTopLeft.rx() += shift;
    placement.supportTopLeft.rx() += shift;

    const auto keep = [&](QPoint& topLeft, const QSize& size) {
        topLeft.setX(KeepInside(topLeft.x(), size.width(), low, high));
        topLeft.setY(KeepInside(topLeft.y(), size.height(), available.y(),
                                available.y() + available.height()));
    };
    keep(placement.mainTopLeft, mainWindow.size());
    keep(placement.supportTopLeft, supportSize);
    return placement;
}
