#pragma once

// Runs skyfill-monitor as its own process and reads what it prints.

#include "ndi/ndi_abi.h"
#include "ndi/standin_runtime.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace monitor_test {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MonitorTest : public ::testing::Test {
protected:
    std::string dir;
    NdiRuntimeApi api = standin::Api();

    void SetUp() override {
        char pattern[] = "/tmp/skyfill-monitor-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + Quote(dir)).c_str()); }

    Result Monitor(const std::vector<std::string>& args) const {
        // A monitor that hangs is a failure, not a stuck suite.
        std::string command = "timeout -s KILL 120 " + Quote(SKYFILL_MONITOR);
        for (const std::string& arg : args) {
            command += " " + Quote(arg);
        }
        command += " >" + Quote(dir + "/out") + " 2>" + Quote(dir + "/err");
        Result result;
        const int status = std::system(command.c_str());
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = Slurp(dir + "/out");
        result.err = Slurp(dir + "/err");
        return result;
    }

    std::string Name(const char* what) const {
        return std::string("Monitor test ") + what + " " + std::to_string(getpid());
    }

    NDIlib_send_instance_t Create(const std::string& name, bool clock) const {
        NDIlib_send_create_t create{};
        create.p_ndi_name = name.c_str();
        create.clock_video = clock;
        return api.send_create(&create);
    }
};

// The line `list` prints for `name`, or empty.
inline std::string LineFor(const std::string& listing, const std::string& name) {
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + "\t", 0) == 0) {
            return line;
        }
    }
    return {};
}

inline std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

} // namespace monitor_test
