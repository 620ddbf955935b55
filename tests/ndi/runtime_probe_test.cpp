#include "ndi/runtime_probe.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string InDir(const char* dir, const char* file) {
    return std::string(dir) + "/" + file;
}

TEST(NdiProbe, EveryPlaceIsTriedAndSaysWhatBecameOfIt) {
    const std::string garbage = __FILE__; // there, but no shared object
    const std::string broken = InDir(NDI_BROKEN_DIR, "libndi.so.6");
    const std::string v6 = InDir(NDI_DOUBLE_V6_DIR, "libndi.so.6");
    const std::string v5 = InDir(NDI_DOUBLE_V5_DIR, "libndi.so.5");
    const std::vector<NdiPlaceProbe> probes = ProbeNdiRuntime({
        {"NDI_RUNTIME_DIR_V6", ""},
        {"NDI_RUNTIME_DIR_V6", "/nonexistent/libndi.so.6"},
        {"NDI_RUNTIME_DIR_V5", garbage},
        {"NDI_RUNTIME_DIR_V6", broken},
        {"NDI_RUNTIME_DIR_V6", v6},
        {"NDI_RUNTIME_DIR_V5", v5},
        {"", "libskyfill-absent.so.6"},
    });
    ASSERT_EQ(probes.size(), 7u);
    EXPECT_EQ(probes[0].outcome, NdiProbeOutcome::NotSet);
    EXPECT_EQ(probes[1].outcome, NdiProbeOutcome::NotThere);
    EXPECT_EQ(probes[2].outcome, NdiProbeOutcome::LoadError);
    EXPECT_NE(probes[2].detail.find(garbage), std::string::npos) << probes[2].detail;
    EXPECT_EQ(probes[3].outcome, NdiProbeOutcome::MissingSymbols);
    EXPECT_EQ(probes[3].detail, "NDIlib_destroy, NDIlib_send_create, NDIlib_send_destroy, "
                                "NDIlib_send_send_video_v2, NDIlib_send_add_connection_metadata");
    EXPECT_EQ(probes[4].outcome, NdiProbeOutcome::Loaded);
    EXPECT_EQ(probes[4].detail, "recording double 6.0");
    EXPECT_EQ(probes[4].location, v6);
    EXPECT_EQ(probes[5].outcome, NdiProbeOutcome::Loaded);
    EXPECT_EQ(probes[5].detail, "recording double 5.0");
    EXPECT_EQ(probes[6].outcome, NdiProbeOutcome::NotThere);

    // The loader's choice: the first that loads, not the last, and never the broken one.
    EXPECT_EQ(ChosenNdiRuntime(probes), &probes[4]);
    EXPECT_EQ(ChosenNdiRuntime({probes[0], probes[3], probes[6]}), nullptr);
}

// The vendor runtime names itself libndi.so.6, and a loaded library answers to its name.
TEST(NdiProbe, ARuntimeLoadedFromAFolderIsNotTakenForOneTheLinkerFinds) {
    if (void* system = dlopen("libndi.so.6", RTLD_NOW | RTLD_LOCAL)) {
        dlclose(system);
        GTEST_SKIP() << "this system's dynamic linker finds a libndi.so.6";
    }
    const std::string named = InDir(NDI_NAMED_DOUBLE_DIR, "libndi.so.6");
    const std::vector<NdiPlaceProbe> probes =
        ProbeNdiRuntime({{"NDI_RUNTIME_DIR_V6", named}, {"", "libndi.so.6"}});
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_EQ(probes[0].outcome, NdiProbeOutcome::Loaded);
    EXPECT_EQ(probes[1].outcome, NdiProbeOutcome::NotThere) << probes[1].location;
}

} // namespace
