#pragma once

// The vendor's NDI runtime, fetched by scripts/fetch-ndi-runtime.sh, and a receiver's
// view of what Skyfill publishes through it. Discovery asks the loopback address
// directly: test machines have no mDNS responder.

#include "ndi/ndi_runtime.h"
#include "ndi_receive/ndi_receive.h"

#include <QString>
#include <QSysInfo>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace e2e {

inline const std::string kRuntimeDir = NDI_RUNTIME_CACHE_DIR;
inline const std::string kLibrary = kRuntimeDir + "/libndi.so.6";

inline bool RuntimePresent() {
    return ::access(kLibrary.c_str(), R_OK) == 0;
}

#define SKIP_WITHOUT_NDI_RUNTIME()                                                                 \
    if (!e2e::RuntimePresent()) {                                                                  \
        GTEST_SKIP() << "no NDI runtime in " << e2e::kRuntimeDir                                   \
                     << " (scripts/fetch-ndi-runtime.sh fetches it)";                              \
    }

// Points the runtime, before it starts, at a configuration that asks the loopback
// address directly, so that a receiver connected by name finds its source again after
// the source moves to another port. Also passed on to the copies a test starts.
inline const std::string& UseLoopbackDiscovery() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/skyfill-ndi-config.XXXXXX";
        std::string made = ::mkdtemp(pattern) != nullptr ? pattern : "";
        std::FILE* file = std::fopen((made + "/ndi-config.v1.json").c_str(), "w");
        if (file != nullptr) {
            std::fputs(R"({"ndi": {"networks": {"ips": "127.0.0.1", "discovery": ""}}})", file);
            std::fclose(file);
        }
        ::setenv("NDI_CONFIG_DIR", made.c_str(), 1);
        return made;
    }();
    return dir;
}

// The name NDI discovery gives a source here: the host name in capitals, then the
// source's own name in parentheses.
inline std::string DiscoveredName(const std::string& source) {
    return QSysInfo::machineHostName().toUpper().toStdString() + " (" + source + ")";
}

// The runtime's receiving side, loaded once for the test process.
inline const NdiReceiveApi& ReceiveApi() {
    static const NdiReceiveApi api = [] {
        const NdiRuntime runtime = LoadNdiRuntimeFrom({kLibrary});
        runtime.api.initialize();
        std::string missing;
        const std::optional<NdiReceiveApi> loaded = LoadNdiReceiveApi(kLibrary, &missing);
        EXPECT_TRUE(loaded) << missing;
        return loaded.value_or(NdiReceiveApi{});
    }();
    return api;
}

inline std::unique_ptr<NdiFinder> LoopbackFinder() {
    return std::make_unique<NdiFinder>(ReceiveApi(), "127.0.0.1");
}

} // namespace e2e
