#include "store/macro_library.h"

#include <algorithm>
#include <cstdio>

#include "store/xml_text.h"

namespace keyrig {

MacroStep ReadMacroStep(const pugi::xml_node& item, int codeBase) {
    return {AttributeUnsigned(item, "code", codeBase), AttributeUnsigned(item, "state", 10),
            AttributeUnsigned(item, "delay", 10), AttributeText(item, "name")};
}

void AppendMacroStep(pugi::xml_node& parent, const MacroStep& step, int codeBase) {
    pugi::xml_node item = parent.append_child("item");
    if (codeBase == 16) {
        AppendHex(item, "code", step.code);
    } else {
        AppendUnsigned(item, "code", step.code);
    }
    AppendUnsigned(item, "state", step.state);
    AppendUnsigned(item, "delay", step.delay);
    AppendText(item, "name", step.name);
}

MacroLibrary& MacroLibrary::Instance() {
    static MacroLibrary library;
    return library;
}

bool MacroLibrary::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    pugi::xml_document document;
    const auto status = file_.Read(path, document, pugi::encoding_utf8);
    if (status == XmlDataFile::ReadStatus::Missing || status == XmlDataFile::ReadStatus::Damaged) {
        return false;
    }

    groups.clear();
    // Element names inside <macro> are not checked: any child is a group, any grandchild a step.
    for (const pugi::xml_node& groupNode : document.child("macro").children()) {
        MacroGroup loaded;
        for (const pugi::xml_node& stepNode : groupNode.children()) {
            loaded.steps.push_back(ReadMacroStep(stepNode, 10));
        }
        loaded.name = AttributeText(groupNode, "name");
        groups.push_back(std::move(loaded));
    }

    // A <config> element sets every field; an attribute it lacks reads as 0, not as the default.
    if (const pugi::xml_node config = document.child("config")) {
        const auto field = [&](const char* name) {
            return static_cast<int32_t>(AttributeUnsigned(config, name, 10));
        };
        play = field("play");
        type = field("type");
        repeat = field("repeat");
        delay = field("delay");
        mode = field("mode");
        media = field("media");
        function = field("function");
        group = field("group");
        skcode = AttributeUnsigned(config, "skcode", 10);
    }
    return true;
}

bool MacroLibrary::Save() {
    pugi::xml_document document;
    pugi::xml_node config = document.append_child("config");
    AppendSigned(config, "type", type);
    AppendSigned(config, "repeat", repeat);
    AppendSigned(config, "mode", mode);
    AppendSigned(config, "delay", delay);
    AppendSigned(config, "media", media);
    AppendSigned(config, "function", function);
    AppendSigned(config, "group", group);
    AppendSigned(config, "skcode", static_cast<int32_t>(skcode));
    AppendSigned(config, "play", play);

    pugi::xml_node macro = document.append_child("macro");
    for (const MacroGroup& each : groups) {
        pugi::xml_node groupNode = macro.append_child("group");
        AppendText(groupNode, "name", each.name);
        for (const MacroStep& step : each.steps) {
            AppendMacroStep(groupNode, step, 10);
        }
    }
    return file_.Write(document);
}

void MacroLibrary::ResetToDefaults() {
    type = 0;
    repeat = 1;
    delay = 10;
    mode = 0;
    media = 0;
    function = 0;
    skcode = 0;
    group = 0;
    playMode = 0;
    play = 0;
    recording = false;
    groups.clear();
}

MacroGroup* MacroLibrary::GroupAt(int index) {
    const int64_t at = index < 0 ? group : index;
    if (at < 0 || at >= static_cast<int64_t>(groups.size())) {
        return nullptr;
    }
    return &groups[static_cast<size_t>(at)];
}

void MacroLibrary::AddGroup() {
    const auto taken = [this](const std::string& name) {
        return std::any_of(groups.begin(), groups.end(),
                           [&](const MacroGroup& each) { return each.name == name; });
    };
    std::string name;
    for (size_t number = groups.size();; ++number) {
        name = "Макрос " + std::to_string(number);
        if (!taken(name)) {
            break;
        }
    }
    groups.push_back({name, {}});
    Save();
}

bool MacroLibrary::DeleteGroup(int index) {
    if (index < 0 || static_cast<size_t>(index) >= groups.size()) {
        return false;
    }
    groups.erase(groups.begin() + index);
    Save();
    return true;
}

bool MacroLibrary::RenameGroup(int index, const std::string& name) {
    MacroGroup* target = index < 0 ? nullptr : GroupAt(index);
    if (target == nullptr || target->name == name) {
        return false;
    }
    target->name = name;
    Save();
    return true;
}

}  // namespace keyrig
