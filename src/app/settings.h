// The configuration and the four data files, loaded the way start-up loads them.
#pragma once

#include <filesystem>

#include "app/app_config.h"
#include "store/key_assignment_store.h"
#include "store/lighting_store.h"
#include "store/macro_library.h"

namespace keyrig {

// The file names inside the program directory.
inline constexpr const char* kConfigFile = "config.xml";
inline constexpr const char* kMacroFile = "macro.xml";
inline constexpr const char* kRecordFile = "record.xml";
inline constexpr const char* kSideModelFile = "sidemodel.xml";
inline constexpr const char* kLedEffectFile = "ledeffect.xml";

struct Settings {
    AppConfig& config;
    MacroLibrary& macros;
    KeyAssignmentStore& assignments;
    SideLightStore& sideLight;
    LightingStore& lighting;

    // The process-wide stores the program runs on.
    static Settings Instances();
};

// What each load reported: whether config.xml parsed, and each store's Load result.
struct SettingsLoadResult {
    bool config = false;
    bool macro = false;
    bool record = false;
    bool sidemodel = false;
    bool ledeffect = false;
};

// A set of stores of its own, for tools that load a program directory beside the program.
struct OwnedSettings {
    AppConfig config;
    MacroLibrary macros;
    KeyAssignmentStore assignments;
    SideLightStore sideLight;
    LightingStore lighting;

    Settings view() { return {config, macros, assignments, sideLight, lighting}; }
};

// Loads config.xml, then macro.xml, record.xml, sidemodel.xml and ledeffect.xml from `directory`,
// in that order. A lighting file that is missing or damaged is written with its defaults.
SettingsLoadResult LoadSettings(const std::filesystem::path& directory, Settings settings);

}  // namespace keyrig
