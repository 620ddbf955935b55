#include "ndi/ndi_runtime.h"

#include "ndi/ndi_symbol.h"
#include "ndi_standin/standin_runtime.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

std::vector<NdiRuntimePlace> NdiRuntimePlaces(const char* dirV6, const char* dirV5) {
    std::vector<NdiRuntimePlace> places;
    const auto inDir = [&](const char* variable, const char* dir, const char* file) {
        NdiRuntimePlace place{variable, ""};
        // Unset and empty variables are skipped rather than turned into relative paths.
        if (dir != nullptr && dir[0] != '\0') {
            place.file = dir;
            if (place.file.back() != '/') {
                place.file += '/';
            }
            place.file += file;
        }
        places.push_back(std::move(place));
    };
    inDir("NDI_RUNTIME_DIR_V6", dirV6, "libndi.so.6");
    inDir("NDI_RUNTIME_DIR_V5", dirV5, "libndi.so.5");
    places.push_back({"", "libndi.so.6"});
    places.push_back({"", "libndi.so.5"});
    return places;
}

std::vector<std::string> NdiRuntimeCandidates(const char* dirV6, const char* dirV5) {
    std::vector<std::string> candidates;
    for (NdiRuntimePlace& place : NdiRuntimePlaces(dirV6, dirV5)) {
        if (!place.file.empty()) {
            candidates.push_back(std::move(place.file));
        }
    }
    return candidates;
}

NdiLibraryLookup LookUpNdiLibrary(const std::string& candidate) {
    NdiLibraryLookup lookup;
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        lookup.openError = why != nullptr ? why : "cannot be opened";
        return lookup;
    }
    lookup.opened = true;
    NdiRuntimeApi& api = lookup.api;
    std::string& missing = lookup.missing;
    // Every symbol is looked up, not just up to the first gap, so one report names all
    // that are missing.
    bool complete = ResolveNdiSymbol(handle, "NDIlib_initialize", api.initialize, missing);
    complete &= ResolveNdiSymbol(handle, "NDIlib_destroy", api.destroy, missing);
    complete &= ResolveNdiSymbol(handle, "NDIlib_version", api.version, missing);
    complete &= ResolveNdiSymbol(handle, "NDIlib_send_create", api.send_create, missing);
    complete &= ResolveNdiSymbol(handle, "NDIlib_send_destroy", api.send_destroy, missing);
    complete &=
        ResolveNdiSymbol(handle, "NDIlib_send_send_video_v2", api.send_send_video_v2, missing);
    complete &= ResolveNdiSymbol(handle, "NDIlib_send_add_connection_metadata",
                                 api.send_add_connection_metadata, missing);
    if (!complete) {
        // Nothing of a library that is going away may be kept.
        api = NdiRuntimeApi{};
        dlclose(handle);
    }
    return lookup;
}

NdiRuntime LoadNdiRuntimeFrom(const std::vector<std::string>& candidates) {
    std::string report;
    for (const std::string& candidate : candidates) {
        NdiLibraryLookup lookup = LookUpNdiLibrary(candidate);
        if (!lookup.opened) {
            report.append(candidate).append(": ").append(lookup.openError).append("\n");
            continue;
        }
        if (!lookup.Complete()) {
            report.append(candidate).append(": missing ").append(lookup.missing).append("\n");
            // Not finding a runtime is normal; finding a broken one is worth saying.
            std::fprintf(stderr, "skyfill: ignoring NDI runtime %s, it lacks %s\n",
                         candidate.c_str(), lookup.missing.c_str());
            continue;
        }
        NdiRuntime runtime;
        runtime.api = lookup.api;
        runtime.origin = NdiRuntimeOrigin::Library;
        runtime.libraryPath = candidate;
        runtime.report = std::move(report);
        return runtime;
    }
    NdiRuntime runtime = StandInNdiRuntime();
    runtime.report = std::move(report);
    return runtime;
}

NdiRuntime LoadNdiRuntime() {
    return LoadNdiRuntimeFrom(
        NdiRuntimeCandidates(std::getenv("NDI_RUNTIME_DIR_V6"), std::getenv("NDI_RUNTIME_DIR_V5")));
}

NdiRuntime StandInNdiRuntime() {
    NdiRuntime runtime;
    runtime.api = standin::Api();
    runtime.origin = NdiRuntimeOrigin::StandIn;
    return runtime;
}
