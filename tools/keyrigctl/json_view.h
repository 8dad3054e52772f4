// The JSON that keyrigctl prints. Other tools read it, so the keys and their order are fixed.
#pragma once

#include <nlohmann/json.hpp>

#include "app/settings.h"
#include "store/key_table.h"

namespace keyrig::ctl {

using Json = nlohmann::ordered_json;

Json KeyEntryJson(const KeyTableEntry& entry);
Json SettingsJson(const SettingsLoadResult& loaded, const Settings& settings);

// One line of text; names that are not valid UTF-8 are shown with replacement characters.
std::string ToText(const Json& json);

}  // namespace keyrig::ctl
