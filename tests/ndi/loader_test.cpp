#include "ndi/ndi_runtime.h"
#include "ndi_standin/standin_runtime.h"
#include "tests/ndi/double_access.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string LastWord(const std::string& text) {
    return text.substr(text.rfind(' ') + 1);
}

// Sets the two runtime directory variables for one test and restores them after.
class RuntimeDirs {
public:
    RuntimeDirs(const char* v6, const char* v5) {
        Set("NDI_RUNTIME_DIR_V6", v6);
        Set("NDI_RUNTIME_DIR_V5", v5);
    }
    ~RuntimeDirs() {
        unsetenv("NDI_RUNTIME_DIR_V6");
        unsetenv("NDI_RUNTIME_DIR_V5");
    }
    RuntimeDirs(const RuntimeDirs&) = delete;
    RuntimeDirs& operator=(const RuntimeDirs&) = delete;

private:
    static void Set(const char* name, const char* value) {
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
};

TEST(NdiLoader, CandidatesGoVersionDirectoriesFirstThenTheLinkersSearch) {
    EXPECT_EQ(NdiRuntimeCandidates("/opt/ndi6", "/opt/ndi5/"),
              (std::vector<std::string>{"/opt/ndi6/libndi.so.6", "/opt/ndi5/libndi.so.5",
                                        "libndi.so.6", "libndi.so.5"}));
    // Unset and empty variables are skipped rather than turned into relative paths.
    EXPECT_EQ(NdiRuntimeCandidates(nullptr, ""),
              (std::vector<std::string>{"libndi.so.6", "libndi.so.5"}));
}

TEST(NdiLoader, LoadsTheRuntimeNamedByTheV6Directory) {
    const RuntimeDirs dirs(NDI_DOUBLE_V6_DIR, NDI_DOUBLE_V5_DIR);
    const NdiRuntime runtime = LoadNdiRuntime();
    ASSERT_EQ(runtime.origin, NdiRuntimeOrigin::Library) << runtime.report;
    EXPECT_EQ(runtime.libraryPath, std::string(NDI_DOUBLE_V6_DIR) + "/libndi.so.6");
    EXPECT_TRUE(runtime.report.empty());
    EXPECT_STREQ(runtime.api.version(), "recording double 6.0");
}

TEST(NdiLoader, FallsBackToTheV5RuntimeWhenNoV6LoadsAndSaysWhy) {
    const RuntimeDirs dirs(NDI_BROKEN_DIR, NDI_DOUBLE_V5_DIR);
    const NdiRuntime runtime = LoadNdiRuntime();
    ASSERT_EQ(runtime.origin, NdiRuntimeOrigin::Library) << runtime.report;
    EXPECT_EQ(runtime.libraryPath, std::string(NDI_DOUBLE_V5_DIR) + "/libndi.so.5");
    EXPECT_STREQ(runtime.api.version(), "recording double 5.0");
    EXPECT_NE(runtime.report.find(std::string(NDI_BROKEN_DIR) + "/libndi.so.6"), std::string::npos);
}

TEST(NdiLoader, AnIncompleteRuntimeIsReportedWholeAndNeverCalled) {
    // The broken library's functions abort, so any call into it ends this test.
    const std::string broken = std::string(NDI_BROKEN_DIR) + "/libndi.so.6";
    const NdiRuntime runtime = LoadNdiRuntimeFrom({broken});
    EXPECT_EQ(runtime.origin, NdiRuntimeOrigin::StandIn);
    EXPECT_EQ(runtime.report, broken + ": missing NDIlib_destroy, NDIlib_send_create, "
                                       "NDIlib_send_destroy, NDIlib_send_send_video_v2, "
                                       "NDIlib_send_add_connection_metadata\n");
    // The whole table is the stand-in's; nothing of the broken library leaked in.
    const NdiRuntimeApi standIn = standin::Api();
    EXPECT_EQ(runtime.api.initialize, standIn.initialize);
    EXPECT_EQ(runtime.api.version, standIn.version);
    EXPECT_EQ(runtime.api.send_send_video_v2, standIn.send_send_video_v2);
}

TEST(NdiLoader, WithNoRuntimeAnywhereTheStandInRunsAndSaysSo) {
    const NdiRuntime runtime = LoadNdiRuntimeFrom({"/nonexistent/libndi.so.6"});
    EXPECT_EQ(runtime.origin, NdiRuntimeOrigin::StandIn);
    EXPECT_TRUE(runtime.libraryPath.empty());
    EXPECT_EQ(runtime.report.rfind("/nonexistent/libndi.so.6: ", 0), 0u);
    ASSERT_TRUE(runtime.api.initialize());
    const std::string version = runtime.api.version();
    EXPECT_NE(version.find("stand-in"), std::string::npos);
    EXPECT_EQ(LastWord(version), "1.0");
    runtime.api.destroy();
}

TEST(NdiLoader, CallsReachTheLoadedLibrary) {
    DoubleRuntime runtime;
    ASSERT_TRUE(runtime.Loaded());
    ASSERT_TRUE(runtime.Api().initialize());
    runtime.Api().destroy();
    EXPECT_EQ(runtime.Kinds(), (std::vector<int32_t>{kCallInitialize, kCallDestroy}));
}

} // namespace
