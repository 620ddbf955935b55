#pragma once

#include "ndi/ndi_runtime.h"

#include <string>
#include <vector>

// What became of one place in the runtime search, for the self-check. Unlike the loader,
// which stops at the first runtime that loads, every place is tried.
enum class NdiProbeOutcome {
    NotSet,         // its variable is unset or empty
    NotThere,       // no such file, or the dynamic linker found none by that name
    LoadError,      // the file is there but the loader refused it
    MissingSymbols, // it opened but lacks some of the functions Skyfill calls
    Loaded,
};

struct NdiPlaceProbe {
    NdiRuntimePlace place;
    NdiProbeOutcome outcome = NdiProbeOutcome::NotSet;
    // The loader's text, the missing functions, or the runtime's version text.
    std::string detail;
    // The file that loaded; for a name left to the linker, where the linker found it.
    std::string location;
};

// Only NDIlib_version is called in a runtime that loads: the runtime itself is never
// started. Loaded libraries stay loaded, as with the loader.
std::vector<NdiPlaceProbe> ProbeNdiRuntime(const std::vector<NdiRuntimePlace>& places);

// The runtime the loader would take from these places, or null for the stand-in.
const NdiPlaceProbe* ChosenNdiRuntime(const std::vector<NdiPlaceProbe>& probes);

// One line for the place, without indentation or line end, e.g.
// "$NDI_RUNTIME_DIR_V6/libndi.so.6 (/opt/ndi/libndi.so.6): loaded, NDI SDK ... 6.3.0.3".
std::string DescribeNdiPlaceProbe(const NdiPlaceProbe& probe);
