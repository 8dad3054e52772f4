// The trace: everything the devices received and everything the program did, one time-stamped
// line each, in the order it happened. Both runners put their own lines into the simulated
// world's log, so that one ordered list holds all.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace keyrig::scenario {

// Adds an event line of the scenario's own ("window shown", "file record.xml", ...).
void Note(platform::sim::World& world, const std::string& kind, const std::string& text);

// Prints the log with times in milliseconds from `start` (earlier lines, the preparation's,
// at 0), then "exit STATUS".
void PrintTrace(std::ostream& out, const std::vector<platform::sim::LogEntry>& log,
                std::chrono::steady_clock::time_point start, int status);

}  // namespace keyrig::scenario
