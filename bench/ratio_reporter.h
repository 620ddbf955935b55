#pragma once

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Console output as usual, then each benchmark's time as a multiple of the
// baselines measured in the same run. With repetitions the medians are compared,
// which keeps a noisy neighbour on a shared host from deciding the ratio. A baseline is matched by
// the part of the name after the last '/', e.g. "fill/1920x1080" for
// "gradient/avx2/quad/1920x1080".
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<std::string> baselines)
        : m_baselines(std::move(baselines)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && runs.size() == 1;
            if (!median && !single) {
                continue;
            }
            const std::string name = run.run_name.str();
            if (m_times.find(name) == m_times.end()) {
                m_order.push_back(name);
            }
            m_times[name] = run.GetAdjustedRealTime();
        }
    }

    void PrintRatios() {
        // Interleaved runs arrive in random order; print by frame size, baselines first.
        const auto sizeOf = [](const std::string& name) {
            const std::string size = name.substr(name.rfind('/') + 1);
            return std::pair{size.size(), size};
        };
        const auto isBaseline = [this](const std::string& name) {
            return std::find(m_baselines.begin(), m_baselines.end(),
                             name.substr(0, name.find('/'))) != m_baselines.end();
        };
        std::sort(m_order.begin(), m_order.end(), [&](const std::string& a, const std::string& b) {
            return std::tuple{sizeOf(a), !isBaseline(a), a} <
                   std::tuple{sizeOf(b), !isBaseline(b), b};
        });
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

inline std::string SizeName(int w, int h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

// argv with repetitions added unless the caller chose them. The repetitions of all
// benchmarks are interleaved at random, so a slow spell of a shared host falls on
// baselines and measured code alike instead of on one of them.
inline std::vector<char*> WithDefaultRepetitions(int argc, char** argv) {
    static char repetitions[] = "--benchmark_repetitions=9";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    static char interleaved[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args(argv, argv + argc);
    bool chosen = false;
    for (int i = 1; i < argc; ++i) {
        chosen = chosen || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
    }
    if (!chosen) {
        args.push_back(repetitions);
        args.push_back(aggregatesOnly);
        args.push_back(interleaved);
    }
    args.push_back(nullptr);
    return args;
}

// Runs the registered benchmarks and prints their ratios to `baselines`.
inline int RunWithRatios(int argc, char** argv, std::vector<std::string> baselines) {
    std::vector<char*> args = WithDefaultRepetitions(argc, argv);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter(std::move(baselines));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
