// The macro editor's memory between runs: the user's macro groups and the editor's last
// settings, mirrored in macro.xml.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/key_table.h"
#include "store/xml_data_file.h"

namespace keyrig {

struct MacroStep {
    KeyCode code = 0;
    uint32_t state = 0;  // 1 key down, 0 key up
    uint32_t delay = 0;  // milliseconds to wait after this step
    std::string name;    // the key's display name when the step was made

    bool operator==(const MacroStep&) const = default;
};

struct MacroGroup {
    std::string name;
    std::vector<MacroStep> steps;

    bool operator==(const MacroGroup&) const = default;
};

// A step as both data files keep it: "code" (decimal in macro.xml, hexadecimal in record.xml),
// "state", "delay" and "name"; missing numbers read as 0.
MacroStep ReadMacroStep(const pugi::xml_node& item, int codeBase);
void AppendMacroStep(pugi::xml_node& parent, const MacroStep& step, int codeBase);

// Used on the UI thread only.
class MacroLibrary final {
  public:
    static MacroLibrary& Instance();

    // Reads the file at `path` and remembers the path for Save(). False, with nothing changed,
    // when the file is missing or cannot be parsed; a damaged file is kept aside before the first
    // Save() writes over it.
    bool Load(const std::filesystem::path& path);
    bool Save();
    void ResetToDefaults();

    // The group at `index`, or the selected one (`group`) for a negative index.
    MacroGroup* GroupAt(int index);
    // Appends an empty group named "Макрос N" with the first free N from the group count, then
    // saves.
    void AddGroup();
    bool DeleteGroup(int index);
    bool RenameGroup(int index, const std::string& name);

    const std::filesystem::path& path() const { return file_.path(); }
    const XmlDataFile& file() const { return file_; }

    // The editor's settings, edited in place by the macro editor, which saves after each change.
    int32_t type = 0;        // editor tab: 0 macro, 1 single key, 2 media key, 3 function key
    int32_t repeat = 1;      // repeat count
    int32_t delay = 10;      // fixed delay, ms
    int32_t mode = 0;        // delays: 0 as recorded, 1 fixed, 2 none
    int32_t media = 0;       // index into config.xml's media keys
    int32_t function = 0;    // index into config.xml's key combinations
    KeyCode skcode = 0;      // the single key
    int32_t group = 0;       // selected group
    int32_t playMode = 0;    // play mode of the selected play entry; never stored
    int32_t play = 0;        // index of the selected play entry
    bool recording = false;  // never stored
    std::vector<MacroGroup> groups;

  private:
    XmlDataFile file_;
};

}  // namespace keyrig
