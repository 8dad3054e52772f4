// The user's key reassignments, mirrored in record.xml.
//
// The UI thread changes the store while the key-event listener walks it on its own thread. A
// change never edits the list in place: it builds a new list and swaps it in, so a reader holds
// an unchanging snapshot for as long as it needs one and never waits for the UI.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/macro_library.h"
#include "store/xml_data_file.h"

namespace keyrig {

enum AssignmentKind : int32_t {
    KindMacro = 0,
    KindSingleKey = 1,
    KindMedia = 2,
    KindFunction = 3,
};

enum PlayMode : int32_t {
    PlaySingleKey = 1,      // the first step's key follows the physical key
    PlayCount = 2,          // play the steps `repeat` times
    PlayWhileHeld = 3,      // repeat until the key is released
    PlayToggle = 4,         // repeat until the key is pressed again
    PlayUntilOtherKey = 5,  // repeat until another reported key is pressed
    PlayUntilAnyKey = 6,    // repeat until any reported key is pressed
    PlayUnbounded = 8,      // started like PlayCount, without a defined end
};

struct KeyAssignment {
    KeyCode code = 0;  // the physical key
    int32_t type = 0;  // AssignmentKind
    int32_t play = 0;  // PlayMode; other values do nothing
    int32_t repeat = 0;
    std::string name;   // the physical key's display name
    std::string group;  // what the key was given, as shown to the user
    std::vector<MacroStep> steps;

    bool operator==(const KeyAssignment&) const = default;
};

using KeyAssignments = std::vector<KeyAssignment>;

class KeyAssignmentStore final {
  public:
    static KeyAssignmentStore& Instance();

    KeyAssignmentStore();

    // Reads the file at `path` and remembers the path for Save(). False, with the store
    // unchanged, when the file is missing or cannot be parsed; a damaged file is kept aside before
    // the first Save() writes over it. A file with only the declaration line is an empty store.
    bool Load(const std::filesystem::path& path);
    bool Save();

    // Overwrites the first assignment with the same code, or appends.
    void Put(const KeyAssignment& assignment);
    // Removes the first assignment with `code`; false when there is none.
    bool Remove(KeyCode code);
    void Clear();

    // The assignments in stored order, as they stand now. Safe from any thread; later changes
    // do not touch the returned list.
    std::shared_ptr<const KeyAssignments> Snapshot() const;

    std::filesystem::path path() const;
    const XmlDataFile& file() const { return file_; }

  private:
    void Replace(std::shared_ptr<const KeyAssignments> assignments);

    XmlDataFile file_;  // UI thread only
    mutable std::mutex mutex_;
    std::shared_ptr<const KeyAssignments> assignments_;  // guarded by mutex_
};

}  // namespace keyrig
