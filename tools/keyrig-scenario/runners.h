// The two ways a script runs: on the key road alone (the engine with the filter channel and the
// virtual keyboard, prepared as the main window prepares them), or on the whole program, started
// by the script's `start` line.
#pragma once

#include <filesystem>

#include "script.h"

namespace keyrig::scenario {

inline constexpr std::chrono::milliseconds kMacroEndLimit{2000};

// Each prints the trace and returns the exit status.
int RunKeyRoad(const std::filesystem::path& directory, const Script& script);
int RunProgram(const std::filesystem::path& directory, const Script& script, int argc, char** argv);

// Lets real time pass, unless the process is asked to end.
void Pass(std::chrono::milliseconds time);

}  // namespace keyrig::scenario
