#pragma once

// skyfill-monitor's side for real NDI sources, through the vendor runtime when one loads.

#include "ndi/ndi_runtime.h"
#include "ndi_receive/ndi_receive.h"
#include "tools/frame_timing.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class NdiAccess {
public:
    // Loads the vendor runtime the way Skyfill does; without one, nothing is available.
    explicit NdiAccess(const std::string& extraIps);
    ~NdiAccess();
    NdiAccess(const NdiAccess&) = delete;
    NdiAccess& operator=(const NdiAccess&) = delete;

    bool Available() const { return m_finder != nullptr && m_finder->Valid(); }
    std::vector<NdiSource> Sources();
    std::optional<NdiSource> Find(const std::string& name);

    // The exit status, after a one-line error if there is one.
    int Save(const NdiSource& source, const char* file);
    // What was received; nothing after a one-line error.
    std::optional<std::string> Metadata(const NdiSource& source);
    std::optional<FrameTiming::Summary> Watch(const NdiSource& source, double seconds);

private:
    NdiRuntime m_runtime;
    bool m_initialised = false;
    std::optional<NdiReceiveApi> m_api;
    std::unique_ptr<NdiFinder> m_finder;
};
