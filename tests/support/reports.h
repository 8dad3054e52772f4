// Virtual keyboard reports as the simulated world logs them, and the ones tests expect.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace keyrig::test {

// Each 64-byte report, trailing zero bytes dropped (at least two shown).
inline std::vector<std::string> VirtualReports(const platform::sim::World& world) {
    std::vector<std::string> reports;
    for (const auto& bytes : world.Received("vkbd")) {
        reports.push_back(platform::sim::TrimmedHexBytes(bytes, 2));
    }
    return reports;
}

inline std::string TrimmedReport(std::vector<uint8_t> report) {
    report.resize(64, 0);
    return platform::sim::TrimmedHexBytes(report, 2);
}

// The keyboard report with these keyboard-page usages down.
inline std::string Keys(std::initializer_list<int> usages) {
    std::vector<uint8_t> report{0x05, 0x01, 0x00};
    report.resize(64, 0);
    for (const int usage : usages) {
        report[3 + (usage >> 3)] |= static_cast<uint8_t>(1 << (usage & 7));
    }
    return TrimmedReport(report);
}

inline std::string Consumer(int usage) {
    return TrimmedReport(
        {0x05, 0x03, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)});
}

inline std::string System(int usage) {
    return TrimmedReport(
        {0x05, 0x04, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)});
}

inline std::string Pointer(int buttons, int x, int y, int wheel) {
    return TrimmedReport({0x05, 0x02, static_cast<uint8_t>(buttons), static_cast<uint8_t>(x),
                          static_cast<uint8_t>(y), static_cast<uint8_t>(wheel)});
}

}  // namespace keyrig::test
