#include "session/output_line.h"

#include "vocabulary/output_formats.h"

#include <cstdio>

QString OutputLineText(const OutputFormat& format) {
    const float rate =
        static_cast<float>(format.frameRateN) / static_cast<float>(format.frameRateD);
    return QStringLiteral("%1 x %2 - %3 fps")
        .arg(format.width)
        .arg(format.height)
        .arg(static_cast<double>(rate), 0, 'f', 2);
}

std::string FormatSummary(const OutputFormat& format) {
    if (format.width <= 0 || format.height <= 0 || format.frameRateN <= 0 ||
        format.frameRateD <= 0) {
        return {};
    }
    std::string rate;
    if (format.frameRateN == kFrameRateNumerator) {
        for (const FrameRate& item : kFrameRates) {
            if (item.denominator == format.frameRateD) {
                rate = item.menuText;
            }
        }
    }
    if (rate.empty()) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2fp",
                      static_cast<double>(format.frameRateN) / format.frameRateD);
        rate = text;
    }
    return std::to_string(format.width) + " x " + std::to_string(format.height) + " at " + rate;
}
