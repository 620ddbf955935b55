#pragma once

// skyfill-monitor's side for real NDI sources, through the vendor runtime when one loads.

#include "ndi/ndi_runtime.h"
#include "ndi_receive/ndi_receive.h"

#include <memory>
#include <optional>
#include <string>

class NdiAccess {
public:
    // Loads the vendor runtime the way Skyfill does; without one, nothing is available.
    explicit NdiAccess(const std::string& extraIps);
    ~NdiAccess();
    NdiAccess(const NdiAccess&) = delete;
    NdiAccess& operator=(const NdiAccess&) = delete;

    bool Available() const { return m_finder != nullptr && m_finder->Valid(); }
    void List();
    std::optional<NdiSource> Find(const std::string& name);

    // Each prints what it found, or a one-line error; the exit status.
    int Save(const NdiSource& source, const char* file);
    int Metadata(const NdiSource& source);
    int Watch(const NdiSource& source, double seconds);

private:
    NdiRuntime m_runtime;
    bool m_initialised = false;
    std::optional<NdiReceiveApi> m_api;
    std::unique_ptr<NdiFinder> m_finder;
};
