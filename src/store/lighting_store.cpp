#include "store/lighting_store.h"

#include <algorithm>

#include "store/xml_text.h"

namespace keyrig {
namespace {

// Lighting numbers are unsigned decimal; a slot field keeps the low 8 bits before its range rule.
uint8_t LowByte(const pugi::xml_node& node, const char* name, uint32_t fallback) {
    return static_cast<uint8_t>(AttributeUnsigned(node, name, 10, fallback) & 0xFF);
}

bool ReadFailed(XmlDataFile::ReadStatus status) {
    return status != XmlDataFile::ReadStatus::Parsed;
}

}  // namespace

LightingStore& LightingStore::Instance() {
    static LightingStore store;
    return store;
}

void LightingStore::SetDefaults() {
    slots.fill(LightingSlot{});
    selection = kNoEffect;
}

bool LightingStore::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    pugi::xml_document document;
    if (ReadFailed(file_.Read(path, document, pugi::encoding_utf8))) {
        SetDefaults();
        Save();
        return false;
    }

    const pugi::xml_node effect = document.child("effect");
    const uint32_t chosen = AttributeUnsigned(effect, "sel", 10);
    selection = chosen > static_cast<uint32_t>(kNoEffect) ? 0 : static_cast<int32_t>(chosen);

    // Children fill the slots in order, whatever their names; slots past the last child keep
    // what they hold.
    size_t index = 0;
    for (const pugi::xml_node& item : effect.children()) {
        if (index == slots.size()) {
            break;
        }
        LightingSlot& slot = slots[index++];
        slot.speed = std::min<uint8_t>(LowByte(item, "speed", 0), 2);
        slot.brightness = std::min<uint8_t>(LowByte(item, "brightness", 0), 5);
        const uint8_t direction = LowByte(item, "deriction", 0);
        slot.direction = direction > 1 ? 0 : direction;
        slot.option = LowByte(item, "selection", 1);
    }
    return true;
}

bool LightingStore::Save() {
    pugi::xml_document document;
    pugi::xml_node effect = document.append_child("effect");
    AppendSigned(effect, "sel", selection);
    for (const LightingSlot& slot : slots) {
        pugi::xml_node item = effect.append_child("item");
        AppendSigned(item, "speed", slot.speed);
        AppendSigned(item, "brightness", slot.brightness);
        AppendSigned(item, "deriction", slot.direction);
        AppendSigned(item, "selection", slot.option);
    }
    return file_.Write(document);
}

SideLightStore& SideLightStore::Instance() {
    static SideLightStore store;
    return store;
}

SideLightStore::SideLightStore() {
    SetDefaults();
}

void SideLightStore::SetDefaults() {
    levels = {4, 4, 4, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    selection = 0;
}

bool SideLightStore::ResetToDefaults() {
    SetDefaults();
    return Save();
}

bool SideLightStore::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    pugi::xml_document document;
    if (ReadFailed(file_.Read(path, document, pugi::encoding_utf8))) {
        ResetToDefaults();
        return false;
    }

    const pugi::xml_node effect = document.child("effect");
    const uint32_t chosen = AttributeUnsigned(effect, "sel", 10);
    selection = chosen < static_cast<uint32_t>(kModeCount) ? static_cast<int32_t>(chosen) : 0;

    size_t index = 0;
    for (const pugi::xml_node& item : effect.children()) {
        if (index == levels.size()) {
            break;
        }
        // A level is three bits; of the number only the low four are looked at, and 8 or more
        // is no level at all.
        const uint32_t level = AttributeUnsigned(item, "brightness", 10) & 0x0F;
        levels[index++] = level >= 8 ? 0 : static_cast<uint8_t>(level);
    }
    return true;
}

bool SideLightStore::Save() {
    pugi::xml_document document;
    pugi::xml_node effect = document.append_child("effect");
    AppendSigned(effect, "sel", selection);
    for (const uint8_t level : levels) {
        pugi::xml_node item = effect.append_child("item");
        AppendSigned(item, "brightness", level);
    }
    return file_.Write(document);
}

}  // namespace keyrig
