#pragma once

#include "ndi/sender_setup.h"

#include <QString>

// The output line, e.g. "1280 x 720 - 25.00 fps"; the rate is divided in single
// precision.
QString OutputLineText(const OutputFormat& format);
