#pragma once

// Loads the recording double through the program's loader and gives the tests its
// call record.

#include "ndi/ndi_runtime.h"
#include "tests/ndi/ndi_double.h"

#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

class DoubleRuntime {
public:
    // Loads the double from `dir` the way the program does: through $NDI_RUNTIME_DIR_V6.
    explicit DoubleRuntime(const std::string& dir = NDI_DOUBLE_V6_DIR) {
        setenv("NDI_RUNTIME_DIR_V6", dir.c_str(), 1);
        unsetenv("NDI_RUNTIME_DIR_V5");
        m_runtime = LoadNdiRuntime();
        unsetenv("NDI_RUNTIME_DIR_V6");
        m_handle = dlopen(m_runtime.libraryPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (m_handle == nullptr) {
            ADD_FAILURE() << "the double did not load: " << m_runtime.report;
            return;
        }
        m_reset = reinterpret_cast<DoubleResetFn>(dlsym(m_handle, "double_reset"));
        m_count = reinterpret_cast<DoubleCallCountFn>(dlsym(m_handle, "double_call_count"));
        m_get = reinterpret_cast<DoubleGetCallFn>(dlsym(m_handle, "double_get_call"));
        m_createFails =
            reinterpret_cast<DoubleSetIntFn>(dlsym(m_handle, "double_set_create_fails"));
        m_hold = reinterpret_cast<DoubleSetIntFn>(dlsym(m_handle, "double_set_send_hold_ms"));
        m_inProgress =
            reinterpret_cast<DoubleSendsInProgressFn>(dlsym(m_handle, "double_sends_in_progress"));
        m_reset();
    }
    ~DoubleRuntime() {
        if (m_handle != nullptr) {
            dlclose(m_handle);
        }
    }
    DoubleRuntime(const DoubleRuntime&) = delete;
    DoubleRuntime& operator=(const DoubleRuntime&) = delete;

    bool Loaded() const { return m_handle != nullptr; }
    const NdiRuntime& Runtime() const { return m_runtime; }
    const NdiRuntimeApi& Api() const { return m_runtime.api; }

    int32_t CallCount() const { return m_count(); }
    std::vector<DoubleCall> Calls() const {
        std::vector<DoubleCall> calls(static_cast<std::size_t>(m_count()));
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (!m_get(static_cast<int32_t>(i), &calls[i])) {
                calls.resize(i);
                break;
            }
        }
        return calls;
    }
    std::vector<int32_t> Kinds() const {
        std::vector<int32_t> kinds;
        for (const DoubleCall& call : Calls()) {
            kinds.push_back(call.kind);
        }
        return kinds;
    }
    std::vector<DoubleCall> CallsOf(int32_t kind) const {
        std::vector<DoubleCall> out;
        for (const DoubleCall& call : Calls()) {
            if (call.kind == kind) {
                out.push_back(call);
            }
        }
        return out;
    }
    void SetCreateFails(bool fails) { m_createFails(fails ? 1 : 0); }
    void SetSendHoldMs(int32_t ms) { m_hold(ms); }
    int32_t SendsInProgress() const { return m_inProgress(); }

    // Waits up to `limit` for `done`; true when it came.
    static bool WaitFor(const std::function<bool()>& done,
                        std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    NdiRuntime m_runtime;
    void* m_handle = nullptr;
    DoubleResetFn m_reset = nullptr;
    DoubleCallCountFn m_count = nullptr;
    DoubleGetCallFn m_get = nullptr;
    DoubleSetIntFn m_createFails = nullptr;
    DoubleSetIntFn m_hold = nullptr;
    DoubleSendsInProgressFn m_inProgress = nullptr;
};
