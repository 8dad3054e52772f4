// A fresh simulated world per test, installed as the backend in force.
#pragma once

#include <gtest/gtest.h>

#include "device/trace.h"
#include "platform/sim/sim_system.h"

namespace keyrig::test {

class SimWorldTest : public testing::Test {
  protected:
    SimWorldTest() {
        device::SetTraceEnabled(false);
        auto simulated = std::make_unique<platform::sim::SimulatedSystem>();
        system_ = simulated.get();
        world = &simulated->world();
        previous_ = platform::Install(std::move(simulated));
    }
    ~SimWorldTest() override { platform::Install(std::move(previous_)); }

    platform::System& system() { return *system_; }

    platform::sim::World* world;

  private:
    platform::System* system_;
    std::unique_ptr<platform::System> previous_;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (const int value : values) {
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

// A 64-byte virtual keyboard report from its leading bytes.
inline std::vector<uint8_t> VirtualReport(std::initializer_list<int> leading) {
    std::vector<uint8_t> report = Bytes(leading);
    report.resize(64, 0);
    return report;
}

}  // namespace keyrig::test
