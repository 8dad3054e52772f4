// What the benchmarks share: percentiles, the report line of a figure beside its goal, and the
// wake-ups of the process's threads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace keyrig::bench {

inline double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1,
                               static_cast<size_t>(fraction * static_cast<double>(values.size())));
    return values[at];
}

inline void Report(const char* name, double value, const char* unit, const char* goal, bool met) {
    std::printf("%-44s %10.1f %-3s  goal %-10s %s\n", name, value, unit, goal,
                met ? "met" : "MISSED");
}

// Every switch of every thread of this process so far: each wake-up counts in it.
inline uint64_t ContextSwitches() {
    uint64_t total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.find("ctxt_switches:") != std::string::npos) {
                total += std::stoull(line.substr(line.find(':') + 1));
            }
        }
    }
    return total;
}

}  // namespace keyrig::bench
