#pragma once

#include "ndi/sender_setup.h"

#include <QString>
#include <string>

// The output line, e.g. "1280 x 720 - 25.00 fps"; the rate is divided in single
// precision.
QString OutputLineText(const OutputFormat& format);

// The format as the log and a service manager's status say it, e.g. "1920 x 1080 at
// 25p"; empty for a format that is not whole.
std::string FormatSummary(const OutputFormat& format);
