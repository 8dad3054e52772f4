#include "store/key_assignment_store.h"

#include <algorithm>
#include <utility>

#include "store/xml_text.h"

namespace keyrig {

KeyAssignmentStore& KeyAssignmentStore::Instance() {
    static KeyAssignmentStore store;
    return store;
}

KeyAssignmentStore::KeyAssignmentStore() : assignments_(std::make_shared<const KeyAssignments>()) {}

bool KeyAssignmentStore::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    pugi::xml_document document;
    const auto status = file_.Read(path, document, pugi::encoding_utf8);
    if (status == XmlDataFile::ReadStatus::Missing || status == XmlDataFile::ReadStatus::Damaged) {
        return false;
    }

    auto loaded = std::make_shared<KeyAssignments>();
    // Every top-level node is an assignment and every node inside it a step, whatever its name.
    for (const pugi::xml_node& record : document.children()) {
        KeyAssignment assignment;
        for (const pugi::xml_node& item : record.children()) {
            assignment.steps.push_back(ReadMacroStep(item, 16));
        }
        assignment.code = AttributeUnsigned(record, "code", 16);
        assignment.type = static_cast<int32_t>(AttributeUnsigned(record, "type", 10));
        assignment.play = AttributeSigned(record, "play", 10);
        assignment.repeat = static_cast<int32_t>(AttributeUnsigned(record, "repeat", 10));
        assignment.name = AttributeText(record, "name");
        assignment.group = AttributeText(record, "group");
        loaded->push_back(std::move(assignment));
    }
    Replace(std::move(loaded));
    return true;
}

bool KeyAssignmentStore::Save() {
    const auto assignments = Snapshot();
    pugi::xml_document document;
    for (const KeyAssignment& assignment : *assignments) {
        pugi::xml_node record = document.append_child("record");
        AppendHex(record, "code", assignment.code);
        AppendSigned(record, "play", assignment.play);
        AppendSigned(record, "type", assignment.type);
        AppendSigned(record, "repeat", assignment.repeat);
        AppendText(record, "name", assignment.name);
        AppendText(record, "group", assignment.group);
        for (const MacroStep& step : assignment.steps) {
            AppendMacroStep(record, step, 16);
        }
    }
    return file_.Write(document);
}

void KeyAssignmentStore::Put(const KeyAssignment& assignment) {
    auto changed = std::make_shared<KeyAssignments>(*Snapshot());
    const auto same =
        std::find_if(changed->begin(), changed->end(),
                     [&](const KeyAssignment& each) { return each.code == assignment.code; });
    if (same != changed->end()) {
        *same = assignment;
    } else {
        changed->push_back(assignment);
    }
    Replace(std::move(changed));
}

bool KeyAssignmentStore::Remove(KeyCode code) {
    auto changed = std::make_shared<KeyAssignments>(*Snapshot());
    const auto same = std::find_if(changed->begin(), changed->end(),
                                   [&](const KeyAssignment& each) { return each.code == code; });
    if (same == changed->end()) {
        return false;
    }
    changed->erase(same);
    Replace(std::move(changed));
    return true;
}

void KeyAssignmentStore::Clear() {
    Replace(std::make_shared<const KeyAssignments>());
}

std::shared_ptr<const KeyAssignments> KeyAssignmentStore::Snapshot() const {
    std::lock_guard lock(mutex_);
    return assignments_;
}

std::filesystem::path KeyAssignmentStore::path() const {
    return file_.path();
}

void KeyAssignmentStore::Replace(std::shared_ptr<const KeyAssignments> assignments) {
    std::shared_ptr<const KeyAssignments> previous;
    {
        std::lock_guard lock(mutex_);
        previous = std::exchange(assignments_, std::move(assignments));
    }
    // `previous` may be the last reference; free it outside the lock so readers never wait for it.
}

}  // namespace keyrig
