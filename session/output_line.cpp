#include "session/output_line.h"

QString OutputLineText(const OutputFormat& format) {
    const float rate =
        static_cast<float>(format.frameRateN) / static_cast<float>(format.frameRateD);
    return QStringLiteral("%1 x %2 - %3 fps")
        .arg(format.width)
        .arg(format.height)
        .arg(static_cast<double>(rate), 0, 'f', 2);
}
