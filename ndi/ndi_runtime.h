#pragma once

#include "ndi/ndi_runtime_api.h"

#include <string>
#include <vector>

enum class NdiRuntimeOrigin { Library, StandIn };

struct NdiRuntime {
    NdiRuntimeApi api;
    NdiRuntimeOrigin origin = NdiRuntimeOrigin::StandIn;
    // The file that was loaded (empty for the stand-in).
    std::string libraryPath;
    // One line per candidate that was tried and failed, naming every missing symbol of
    // a library that opened; empty when the first candidate loaded.
    std::string report;
};

// One place the runtime is looked for. `variable` names the environment variable whose
// folder holds the file, or is empty for a name left to the dynamic linker's search;
// `file` is empty when that variable is unset or empty, so nothing is tried there.
struct NdiRuntimePlace {
    std::string variable;
    std::string file;
};

// Where the runtime is looked for, in order: libndi.so.6 in $NDI_RUNTIME_DIR_V6,
// libndi.so.5 in $NDI_RUNTIME_DIR_V5, then libndi.so.6 and libndi.so.5 through the
// dynamic linker's own search.
std::vector<NdiRuntimePlace> NdiRuntimePlaces(const char* dirV6, const char* dirV5);

// The same places as files to open, skipping those whose variable is unset or empty.
std::vector<std::string> NdiRuntimeCandidates(const char* dirV6, const char* dirV5);

// One candidate opened and the seven functions looked up in it.
struct NdiLibraryLookup {
    bool opened = false;
    // The loader's own text when the library did not open.
    std::string openError;
    // Every function the library lacks, ", "-separated; such a library is closed again.
    std::string missing;
    // Complete only when the library opened and lacks nothing.
    NdiRuntimeApi api;

    bool Complete() const { return opened && missing.empty(); }
};

// Calls nothing in the library. A complete one stays loaded (see LoadNdiRuntimeFrom).
NdiLibraryLookup LookUpNdiLibrary(const std::string& candidate);

// Loads the first candidate that opens and exports all seven functions; otherwise
// returns the built-in stand-in. A library that is missing any function is closed
// again before anything in it is called. A loaded library stays loaded for the rest
// of the process, because a vendor runtime may keep threads that outlive its shutdown.
NdiRuntime LoadNdiRuntimeFrom(const std::vector<std::string>& candidates);

// The same, with the candidates taken from the environment.
NdiRuntime LoadNdiRuntime();

// The built-in stand-in (see ndi_standin/standin_runtime.h).
NdiRuntime StandInNdiRuntime();
