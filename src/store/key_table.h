// Every key Keyrig handles is one 32-bit KeyCode: the HID usage page in the high half and the
// usage id in the low half. The table below gives each known key its display name.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace keyrig {

using KeyCode = uint32_t;

constexpr KeyCode MakeKeyCode(uint16_t usagePage, uint16_t usageId) {
    return (static_cast<KeyCode>(usagePage) << 16) | usageId;
}
constexpr uint16_t UsagePageOf(KeyCode code) {
    return static_cast<uint16_t>(code >> 16);
}
constexpr uint16_t UsageIdOf(KeyCode code) {
    return static_cast<uint16_t>(code & 0xFFFF);
}

// Usage pages the program knows. Mouse buttons are our own convention: usages 1 to 5 of the
// generic desktop page, beside its three system-control keys.
constexpr uint16_t kGenericDesktopPage = 0x0001;
constexpr uint16_t kKeyboardPage = 0x0007;
constexpr uint16_t kConsumerPage = 0x000C;

// Marks a scan code the key does not have.
constexpr uint32_t kNoScanCode = 0x00FFFFFF;

struct KeyTableEntry {
    uint16_t usageId;
    uint16_t usagePage;
    uint32_t makeCode;   // scan code set 1, the 0xE0 prefix of extended keys in the second byte
    uint32_t breakCode;  // scan code set 1
    uint32_t extraCode;  // kNoScanCode in every row
    const char* name;    // UTF-8 display name

    constexpr KeyCode code() const { return MakeKeyCode(usagePage, usageId); }
};

// What a lookup yields when no row matches: all zero, with an empty name.
extern const KeyTableEntry emptyKeyEntry;

// The 205 keys in display order: system control, keyboard page, consumer keys, mouse buttons.
std::span<const KeyTableEntry> KeyTable();

// The row for `code`, or emptyKeyEntry; never null.
const KeyTableEntry& FindKey(KeyCode code);
const KeyTableEntry& FindKeyByUsage(uint16_t usageId, uint16_t usagePage);

}  // namespace keyrig
