#include "store/lighting_store.h"

#include <algorithm>

#include "store/xml_text.h"

namespace keyrig {
namespace {

bool ReadFailed(XmlDataFile::ReadStatus status) {
    return status != XmlDataFile::ReadStatus::Parsed;
}

uint8_t LowByte(uint32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

uint8_t SpeedFromFile(uint32_t value) {
    return std::min<uint8_t>(LowByte(value), 2);
}
uint8_t BrightnessFromFile(uint32_t value) {
    return std::min<uint8_t>(LowByte(value), 5);
}
uint8_t DirectionFromFile(uint32_t value) {
    return LowByte(value) > 1 ? 0 : LowByte(value);
}
uint8_t OptionFromFile(uint32_t value) {
    return LowByte(value);
}

uint8_t SideLevelFromFile(uint32_t value) {
    const uint32_t level = value & 0x0F;
    return level >= 8 ? 0 : static_cast<uint8_t>(level);
}

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
        slot.speed = SpeedFromFile(AttributeUnsigned(item, "speed", 10));
        slot.brightness = BrightnessFromFile(AttributeUnsigned(item, "brightness", 10));
        slot.direction = DirectionFromFile(AttributeUnsigned(item, "deriction", 10));
        slot.option = OptionFromFile(AttributeUnsigned(item, "selection", 10, 1));
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
        levels[index++] = SideLevelFromFile(AttributeUnsigned(item, "brightness", 10));
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
