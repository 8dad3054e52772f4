#include "app/settings.h"

namespace keyrig {

Settings Settings::Instances() {
    return {AppConfig::instance(), MacroLibrary::Instance(), KeyAssignmentStore::Instance(),
            SideLightStore::Instance(), LightingStore::Instance()};
}

SettingsLoadResult LoadSettings(const std::filesystem::path& directory, Settings settings) {
    SettingsLoadResult result;
    result.config = settings.config.loadFile(directory / kConfigFile);
    result.macro = settings.macros.Load(directory / kMacroFile);
    result.record = settings.assignments.Load(directory / kRecordFile);
    result.sidemodel = settings.sideLight.Load(directory / kSideModelFile);
    result.ledeffect = settings.lighting.Load(directory / kLedEffectFile);
    return result;
}

}  // namespace keyrig
