#pragma once

// What `list`, `metadata` and `watch` print: tab-separated lines, with source text
// escaped for the terminal, or with --json one JSON document.

#include "ndi_receive/ndi_receive.h"
#include "tools/frame_timing.h"
#include "tools/monitor_standin.h"

#include <QByteArray>
#include <string>
#include <vector>

QByteArray ListOutput(const std::vector<ListedStandIn>& standIns,
                      const std::vector<NdiSource>& ndiSources, bool json);

QByteArray MetadataOutput(const std::string& name, const std::string& metadata, bool json);

QByteArray WatchOutput(const std::string& name, const FrameTiming::Summary& summary, bool json);
