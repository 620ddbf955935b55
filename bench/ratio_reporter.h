#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Console output as usual, then each benchmark's time as a multiple of the
// baselines measured in the same run. A baseline is matched by the part of the
// name after the last '/', e.g. "fill/1920x1080" for "gradient/avx2/quad/1920x1080".
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<std::string> baselines) : m_baselines(std::move(baselines)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
                m_order.push_back(run.benchmark_name());
            }
        }
    }

    void PrintRatios() const {
        std::printf("\nRatios against the baselines of this run:\n");
        for (const std::string& name : m_order) {
            const std::string size = name.substr(name.rfind('/') + 1);
            std::printf("  %-40s", name.c_str());
            for (const std::string& baseline : m_baselines) {
                const auto it = m_times.find(baseline + "/" + size);
                if (it != m_times.end() && it->second > 0) {
                    std::printf("  %6.2fx %s", m_times.at(name) / it->second, baseline.c_str());
                }
            }
            std::printf("\n");
        }
    }

private:
    std::vector<std::string> m_baselines;
    std::map<std::string, double> m_times;
    std::vector<std::string> m_order;
};
