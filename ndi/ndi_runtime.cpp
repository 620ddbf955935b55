#include "ndi/ndi_runtime.h"

#include "ndi/standin_runtime.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace {

template <typename Fn> bool Resolve(void* handle, const char* name, Fn& out, std::string& missing) {
    // dlerror() is cleared first so that a symbol whose value is null is told apart
    // from one that does not exist.
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        missing += missing.empty() ? "" : ", ";
        missing += name;
        return false;
    }
    out = reinterpret_cast<Fn>(symbol);
    return true;
}

} // namespace

std::vector<std::string> NdiRuntimeCandidates(const char* dirV6, const char* dirV5) {
    std::vector<std::string> candidates;
    const auto inDir = [&](const char* dir, const char* file) {
        if (dir != nullptr && dir[0] != '\0') {
            std::string path = dir;
            if (path.back() != '/') {
                path += '/';
            }
            candidates.push_back(path + file);
        }
    };
    inDir(dirV6, "libndi.so.6");
    inDir(dirV5, "libndi.so.5");
    candidates.emplace_back("libndi.so.6");
    candidates.emplace_back("libndi.so.5");
    return candidates;
}

NdiRuntime LoadNdiRuntimeFrom(const std::vector<std::string>& candidates) {
    std::string report;
    for (const std::string& candidate : candidates) {
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            report += candidate + ": " + (why != nullptr ? why : "cannot be opened") + "\n";
            continue;
        }
        NdiRuntimeApi api;
        std::string missing;
        // Every symbol is looked up, not just up to the first gap, so one report
        // names all that are missing.
        bool complete = Resolve(handle, "NDIlib_initialize", api.initialize, missing);
        complete &= Resolve(handle, "NDIlib_destroy", api.destroy, missing);
        complete &= Resolve(handle, "NDIlib_version", api.version, missing);
        complete &= Resolve(handle, "NDIlib_send_create", api.send_create, missing);
        complete &= Resolve(handle, "NDIlib_send_destroy", api.send_destroy, missing);
        complete &= Resolve(handle, "NDIlib_send_send_video_v2", api.send_send_video_v2, missing);
        complete &= Resolve(handle, "NDIlib_send_add_connection_metadata",
                            api.send_add_connection_metadata, missing);
        if (!complete) {
            report.append(candidate).append(": missing ").append(missing).append("\n");
            // Not finding a runtime is normal; finding a broken one is worth saying.
            std::fprintf(stderr, "skyfill: ignoring NDI runtime %s, it lacks %s\n",
                         candidate.c_str(), missing.c_str());
            dlclose(handle);
            continue;
        }
        NdiRuntime runtime;
        runtime.api = api;
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
