#include "check.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <set>

#include "app/app_config.h"
#include "app/settings.h"
#include "store/key_assignment_store.h"
#include "store/key_table.h"
#include "store/lighting_store.h"
#include "store/number_text.h"
#include "store/xml_data_file.h"

namespace keyrig::ctl {
namespace {

std::string Format(const char* format, auto... values) {
    const int size = std::snprintf(nullptr, 0, format, values...);
    std::string text(static_cast<size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, format, values...);
    return text;
}

std::string Hex(uint32_t value) {
    return Format("0x%" PRIx32, value);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string KeyLabel(KeyCode code) {
    const char* name = FindKey(code).name;
    return Hex(code) + (*name ? " (" + std::string(name) + ")" : "");
}

class Report {
  public:
    explicit Report(std::vector<std::string>& lines, std::string file)
        : lines_(lines), file_(std::move(file)) {}

    void Add(const std::string& text) { lines_.push_back(file_ + ": " + text); }

    // Reports a number whose text the loader reads only in part, or not at all.
    void Number(const std::string& where, const pugi::xml_attribute& attribute, int base,
                const std::string& readsAs) {
        const ParsedNumber number = ParseNumber(attribute.value(), base);
        if (!number.hasDigits) {
            Add(where + " " + Quoted(attribute.name()) + " is " + Quoted(attribute.value()) +
                ", which is not a number and reads as " + readsAs);
        } else if (number.hasTrailingText) {
            Add(where + " " + Quoted(attribute.name()) + " is " + Quoted(attribute.value()) +
                ", which reads as " + readsAs);
        } else if (number.overflow) {
            Add(where + " " + Quoted(attribute.name()) + " " + attribute.value() +
                " is beyond 32 bits and reads as " + readsAs);
        }
    }

    // Reports a file that does not parse; true when there is a document to look into.
    bool Readable(XmlDataFile::ReadStatus status, const XmlDataFile& file,
                  const std::string& consequence) {
        if (status == XmlDataFile::ReadStatus::Damaged) {
            const pugi::xml_parse_result& result = file.parseResult();
            Add(Format("does not parse: %s at offset %td; %s", result.description(), result.offset,
                       consequence.c_str()));
        }
        return status == XmlDataFile::ReadStatus::Parsed;
    }

  private:
    std::vector<std::string>& lines_;
    std::string file_;
};

void CheckConfig(const std::filesystem::path& directory, std::vector<std::string>& lines) {
    Report report(lines, kConfigFile);
    const auto path = directory / kConfigFile;
    AppConfig config;
    if (!std::filesystem::exists(path)) {
        report.Add(
            "missing; the keyboard cannot be found and no media keys or key combinations are "
            "offered");
        return;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_file(path.c_str());
    if (!result) {
        report.Add(
            Format("does not parse: %s at offset %td; the keyboard cannot be found and no media "
                   "keys or key combinations are offered",
                   result.description(), result.offset));
        return;
    }
    config.loadFile(path);

    const pugi::xml_node usb = ChildNoCase(document, "usb");
    if (!usb) {
        report.Add("no top-level \"usb\" element; the keyboard cannot be found");
    } else {
        const std::pair<const char*, int32_t> fields[] = {{"vid", config.vid},
                                                          {"pid", config.pid},
                                                          {"interface", config.interface},
                                                          {"subdevice", config.subdevice}};
        for (const auto& [name, value] : fields) {
            const pugi::xml_attribute attribute = AttributeNoCase(usb, name);
            if (!attribute) {
                report.Add(Format("usb has no \"%s\"; it reads as 0", name));
            } else {
                report.Number("usb", attribute, 16, std::to_string(value));
            }
        }
    }

    int index = 0;
    for (const pugi::xml_node& item : ChildNoCase(document, "funkey").children()) {
        ++index;
        const std::string name = AttributeNoCase(item, "name").value();
        if (name.empty()) {
            report.Add(Format("funkey item %d has no name and is skipped", index));
            continue;
        }
        const pugi::xml_attribute code = AttributeNoCase(item, "code");
        const uint32_t value = code ? ReadUnsigned(code.value(), 16) : 0;
        if (code) {
            report.Number("funkey " + Quoted(name), code, 16, Hex(value));
        }
        if (FindKey(value).code() == 0) {
            report.Add("funkey " + Quoted(name) + " has key code " + Hex(value) +
                       ", which is no key Keyrig knows");
        }
    }

    index = 0;
    for (const CombKeyItem& combination : config.combKeys) {
        const std::string label = Format("combkey item %d", ++index) +
                                  (combination.name.empty() ? "" : " " + Quoted(combination.name));
        if (combination.pairs.empty()) {
            report.Add(label + " has no keys; assigning it does nothing");
        }
        for (const CombKeyItem::Pair& pair : combination.pairs) {
            if (FindKey(static_cast<KeyCode>(pair.first)).code() == 0) {
                report.Add(label + " names key " + std::to_string(pair.first) +
                           ", which is no key Keyrig knows");
            }
            if (pair.second < 0) {
                report.Add(label + " has the delay " + std::to_string(pair.second) +
                           ", which is negative and counts as no delay");
            }
        }
    }
}

void CheckMacroLibrary(const std::filesystem::path& directory, std::vector<std::string>& lines) {
    Report report(lines, kMacroFile);
    XmlDataFile file;
    pugi::xml_document document;
    if (!report.Readable(
            file.Read(directory / kMacroFile, document, pugi::encoding_utf8), file,
            "the program starts without macros and keeps it as macro.xml.bad when it next saves")) {
        return;
    }
    if (const pugi::xml_node config = document.child("config")) {
        for (const char* name :
             {"type", "repeat", "delay", "mode", "media", "function", "group", "skcode", "play"}) {
            const pugi::xml_attribute attribute = config.attribute(name);
            if (!attribute) {
                report.Add(Format("config has no \"%s\"; it reads as 0", name));
            } else {
                report.Number(
                    "config", attribute, 10,
                    std::to_string(static_cast<int32_t>(ReadUnsigned(attribute.value(), 10))));
            }
        }
    }
    int groupIndex = 0;
    for (const pugi::xml_node& group : document.child("macro").children()) {
        ++groupIndex;
        int stepIndex = 0;
        for (const pugi::xml_node& step : group.children()) {
            ++stepIndex;
            const std::string where = Format("group %d step %d", groupIndex, stepIndex);
            for (const char* name : {"code", "state", "delay"}) {
                if (const pugi::xml_attribute attribute = step.attribute(name)) {
                    report.Number(where, attribute, 10,
                                  std::to_string(ReadUnsigned(attribute.value(), 10)));
                }
            }
        }
    }
}

bool PlayModeActs(int32_t play) {
    return (play >= PlaySingleKey && play <= PlayUntilAnyKey) || play == PlayUnbounded;
}

void CheckAssignments(const std::filesystem::path& directory, std::vector<std::string>& lines) {
    Report report(lines, kRecordFile);
    XmlDataFile file;
    pugi::xml_document document;
    if (!report.Readable(
            file.Read(directory / kRecordFile, document, pugi::encoding_utf8), file,
            "the program starts without key assignments and keeps it as record.xml.bad when "
            "it next saves")) {
        return;
    }
    KeyAssignmentStore store;
    store.Load(directory / kRecordFile);
    const auto assignments = store.Snapshot();

    std::map<KeyCode, int> count;
    int index = 0;
    for (const pugi::xml_node& record : document.children()) {
        const KeyAssignment& assignment = (*assignments)[static_cast<size_t>(index++)];
        const std::string label = Format("record %d", index) +
                                  (assignment.name.empty() ? "" : " (" + assignment.name + ")");
        const pugi::xml_attribute code = record.attribute("code");
        if (!code || assignment.code == 0) {
            report.Add(label + " has " +
                       (code ? "the key code " + Quoted(code.value()) : "no key code") +
                       ", which reads as 0 and never matches a key");
        } else {
            report.Number(label, code, 16, Hex(assignment.code));
            ++count[assignment.code];
        }
        if (!PlayModeActs(assignment.play)) {
            report.Add(label + Format(" has the play mode %" PRId32 ", which does nothing",
                                      assignment.play));
        } else if (assignment.play == PlaySingleKey && assignment.steps.empty()) {
            report.Add(label + " is a single key without a key to send; it does nothing");
        }
        for (const char* name : {"play", "type", "repeat"}) {
            if (const pugi::xml_attribute attribute = record.attribute(name)) {
                report.Number(label, attribute, 10,
                              std::to_string(ReadSigned(attribute.value(), 10)));
            }
        }
        int stepIndex = 0;
        for (const pugi::xml_node& item : record.children()) {
            ++stepIndex;
            if (const pugi::xml_attribute attribute = item.attribute("code")) {
                report.Number(label + Format(" step %d", stepIndex), attribute, 16,
                              Hex(ReadUnsigned(attribute.value(), 16)));
            }
        }
    }
    for (const auto& [code, times] : count) {
        if (times > 1) {
            report.Add(Format(
                "key %s has %d assignments; all of them act on every press, and a change made "
                "in the program reaches only the first",
                KeyLabel(code).c_str(), times));
        }
    }
}

// One value of an item of a lighting file, and the loader's rule for it.
struct LightingField {
    const char* attribute;
    const char* label;
    uint32_t fallback;
    uint8_t (*fromFile)(uint32_t);
};

// ledeffect.xml and sidemodel.xml share their shape: <effect sel> with one child per slot.
struct LightingFile {
    const char* name;
    const char* what;       // "lighting", "side light"
    const char* item;       // "effect", "mode"
    int count;              // slots
    uint32_t maxSelection;  // the largest "sel" that is kept
    std::vector<LightingField> fields;
};

void CheckLightingFile(const std::filesystem::path& directory, const LightingFile& shape,
                       std::vector<std::string>& lines) {
    Report report(lines, shape.name);
    XmlDataFile file;
    pugi::xml_document document;
    const auto status = file.Read(directory / shape.name, document, pugi::encoding_utf8);
    if (status == XmlDataFile::ReadStatus::Empty) {
        report.Add(Format("holds no %s; the program replaces it with the default %s", shape.what,
                          shape.what));
    }
    if (!report.Readable(
            status, file,
            Format("the program keeps it as %s.bad and replaces it with the default %s", shape.name,
                   shape.what))) {
        return;
    }
    const pugi::xml_node effect = document.child("effect");
    if (!effect) {
        report.Add(Format("no \"effect\" element; no %s is read and the chosen %s reads as 0",
                          shape.what, shape.item));
        return;
    }
    if (const pugi::xml_attribute sel = effect.attribute("sel")) {
        const uint32_t value = ReadUnsigned(sel.value(), 10);
        if (value > shape.maxSelection) {
            report.Add(Quoted("sel") + " is " + sel.value() +
                       Format(", beyond the %d %ss; it reads as 0", shape.count, shape.item));
        } else {
            report.Number("effect", sel, 10, std::to_string(value));
        }
    }
    int index = 0;
    for (const pugi::xml_node& item : effect.children()) {
        if (++index > shape.count) {
            break;
        }
        const std::string where = Format("%s %d", shape.item, index);
        for (const LightingField& field : shape.fields) {
            const pugi::xml_attribute attribute = item.attribute(field.attribute);
            if (!attribute) {
                report.Add(where + " has no " + Quoted(field.attribute) + "; its " + field.label +
                           " reads as " + std::to_string(field.fallback));
                continue;
            }
            const uint32_t raw = ReadUnsigned(attribute.value(), 10);
            const uint8_t loaded = field.fromFile(raw);
            if (loaded != raw) {
                report.Add(where + " " + Quoted(field.attribute) + " " + attribute.value() +
                           " is out of range; its " + field.label + " reads as " +
                           std::to_string(loaded));
            } else {
                report.Number(where, attribute, 10, std::to_string(loaded));
            }
        }
    }
    if (index > shape.count) {
        report.Add(
            Format("more than %d items; only the first %d are used", shape.count, shape.count));
    } else if (index < shape.count) {
        report.Add(Format("%d items for %d %ss; the others keep the default %s", index, shape.count,
                          shape.item, shape.what));
    }
}

void CheckLighting(const std::filesystem::path& directory, std::vector<std::string>& lines) {
    CheckLightingFile(directory,
                      {kLedEffectFile,
                       "lighting",
                       "effect",
                       LightingStore::kEffectCount,
                       static_cast<uint32_t>(LightingStore::kNoEffect),
                       {{"speed", "speed", 0, &SpeedFromFile},
                        {"brightness", "brightness", 0, &BrightnessFromFile},
                        {"deriction", "direction", 0, &DirectionFromFile},
                        {"selection", "option", 1, &OptionFromFile}}},
                      lines);
}

void CheckSideLight(const std::filesystem::path& directory, std::vector<std::string>& lines) {
    CheckLightingFile(directory,
                      {kSideModelFile,
                       "side light",
                       "mode",
                       SideLightStore::kModeCount,
                       static_cast<uint32_t>(SideLightStore::kModeCount - 1),
                       {{"brightness", "level", 0, &SideLevelFromFile}}},
                      lines);
}

}  // namespace

std::vector<std::string> CheckProgramDirectory(const std::filesystem::path& directory) {
    std::vector<std::string> lines;
    CheckConfig(directory, lines);
    CheckMacroLibrary(directory, lines);
    CheckAssignments(directory, lines);
    CheckSideLight(directory, lines);
    CheckLighting(directory, lines);
    return lines;
}

}  // namespace keyrig::ctl
