#include "json_view.h"

namespace keyrig::ctl {
namespace {

Json StepJson(const MacroStep& step) {
    return {{"code", step.code}, {"state", step.state}, {"delay", step.delay}, {"name", step.name}};
}

Json StepsJson(const std::vector<MacroStep>& steps) {
    Json list = Json::array();
    for (const MacroStep& step : steps) {
        list.push_back(StepJson(step));
    }
    return list;
}

Json ConfigJson(const AppConfig& config) {
    Json funKeys = Json::array();
    for (const FunKeyItem& item : config.funKeys) {
        funKeys.push_back(
            {{"name", item.name}, {"code", item.code}, {"path", item.path}, {"argm", item.argm}});
    }
    Json combKeys = Json::array();
    for (const CombKeyItem& item : config.combKeys) {
        Json pairs = Json::array();
        for (const CombKeyItem::Pair& pair : item.pairs) {
            pairs.push_back(Json::array({pair.first, pair.second}));
        }
        combKeys.push_back({{"name", item.name}, {"pairs", pairs}});
    }
    return {{"isChinese", config.isChinese},
            {"vid", config.vid},
            {"pid", config.pid},
            {"interface", config.interface},
            {"subdevice", config.subdevice},
            {"funKeys", funKeys},
            {"combKeys", combKeys}};
}

Json MacroLibraryJson(const MacroLibrary& library) {
    Json groups = Json::array();
    for (const MacroGroup& group : library.groups) {
        groups.push_back({{"name", group.name}, {"steps", StepsJson(group.steps)}});
    }
    return {{"type", library.type},     {"repeat", library.repeat}, {"delay", library.delay},
            {"mode", library.mode},     {"media", library.media},   {"function", library.function},
            {"skcode", library.skcode}, {"group", library.group},   {"play", library.play},
            {"groups", groups}};
}

Json AssignmentsJson(const KeyAssignmentStore& store) {
    Json list = Json::array();
    for (const KeyAssignment& each : *store.Snapshot()) {
        list.push_back({{"code", each.code},
                        {"type", each.type},
                        {"play", each.play},
                        {"repeat", each.repeat},
                        {"name", each.name},
                        {"group", each.group},
                        {"steps", StepsJson(each.steps)}});
    }
    return list;
}

Json LightingJson(const LightingStore& lighting) {
    Json slots = Json::array();
    for (const LightingSlot& slot : lighting.slots) {
        slots.push_back({{"brightness", slot.brightness},
                         {"speed", slot.speed},
                         {"direction", slot.direction},
                         {"option", slot.option}});
    }
    return {{"selection", lighting.selection}, {"slots", slots}};
}

Json SideLightJson(const SideLightStore& side) {
    Json levels = Json::array();
    for (const uint8_t level : side.levels) {
        levels.push_back(level);
    }
    return {{"selection", side.selection}, {"levels", levels}};
}

}  // namespace

Json KeyEntryJson(const KeyTableEntry& entry) {
    return {{"code", entry.code()},
            {"usageId", entry.usageId},
            {"usagePage", entry.usagePage},
            {"makeCode", entry.makeCode},
            {"breakCode", entry.breakCode},
            {"extraCode", entry.extraCode},
            {"name", entry.name}};
}

Json SettingsJson(const SettingsLoadResult& loaded, const Settings& settings) {
    return {{"loaded",
             {{"config", loaded.config},
              {"macro", loaded.macro},
              {"record", loaded.record},
              {"sidemodel", loaded.sidemodel},
              {"ledeffect", loaded.ledeffect}}},
            {"config", ConfigJson(settings.config)},
            {"macroLibrary", MacroLibraryJson(settings.macros)},
            {"keyAssignments", AssignmentsJson(settings.assignments)},
            {"lighting", LightingJson(settings.lighting)},
            {"sideLight", SideLightJson(settings.sideLight)}};
}

std::string ToText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace keyrig::ctl
