#include "store/key_table.h"

#include <array>

namespace keyrig {
namespace {

constexpr uint32_t kNone = kNoScanCode;

// A key whose break code is its make code with bit 7 of the low byte set, as for every key of the
// standard PC keyboard.
constexpr KeyTableEntry Key(uint16_t page, uint16_t id, uint32_t make, const char* name) {
    return {id, page, make, make == kNone ? kNone : (make | 0x80), kNone, name};
}

// A code the keyboard sends once, without a release.
constexpr KeyTableEntry MakeOnly(uint16_t page, uint16_t id, uint32_t make, const char* name) {
    return {id, page, make, kNone, kNone, name};
}

constexpr uint16_t S = kGenericDesktopPage;
constexpr uint16_t K = kKeyboardPage;
constexpr uint16_t C = kConsumerPage;

constexpr std::array<KeyTableEntry, 205> kTable = {{
    Key(S, 0x81, 0xE05E, "System Power"),
    Key(S, 0x82, 0xE05F, "System Sleep"),
    Key(S, 0x83, 0xE063, "System Wake"),

    Key(K, 0x00, kNone, "No Event"),
    MakeOnly(K, 0x01, 0xFF, "Overrun Error"),
    MakeOnly(K, 0x02, 0xFC, "POST Fail"),
    Key(K, 0x03, kNone, "ErrorUndefined"),
    Key(K, 0x04, 0x1E, "A"),
    Key(K, 0x05, 0x30, "B"),
    Key(K, 0x06, 0x2E, "C"),
    Key(K, 0x07, 0x20, "D"),
    Key(K, 0x08, 0x12, "E"),
    Key(K, 0x09, 0x21, "F"),
    Key(K, 0x0A, 0x22, "G"),
    Key(K, 0x0B, 0x23, "H"),
    Key(K, 0x0C, 0x17, "I"),
    Key(K, 0x0D, 0x24, "J"),
    Key(K, 0x0E, 0x25, "K"),
    Key(K, 0x0F, 0x26, "L"),
    Key(K, 0x10, 0x32, "M"),
    Key(K, 0x11, 0x31, "N"),
    Key(K, 0x12, 0x18, "O"),
    Key(K, 0x13, 0x19, "P"),
    Key(K, 0x14, 0x10, "Q"),
    Key(K, 0x15, 0x13, "R"),
    Key(K, 0x16, 0x1F, "S"),
    Key(K, 0x17, 0x14, "T"),
    Key(K, 0x18, 0x16, "U"),
    Key(K, 0x19, 0x2F, "V"),
    Key(K, 0x1A, 0x11, "W"),
    Key(K, 0x1B, 0x2D, "X"),
    Key(K, 0x1C, 0x15, "Y"),
    Key(K, 0x1D, 0x2C, "Z"),
    Key(K, 0x1E, 0x02, "1"),
    Key(K, 0x1F, 0x03, "2"),
    Key(K, 0x20, 0x04, "3"),
    Key(K, 0x21, 0x05, "4"),
    Key(K, 0x22, 0x06, "5"),
    Key(K, 0x23, 0x07, "6"),
    Key(K, 0x24, 0x08, "7"),
    Key(K, 0x25, 0x09, "8"),
    Key(K, 0x26, 0x0A, "9"),
    Key(K, 0x27, 0x0B, "0"),
    Key(K, 0x28, 0x1C, "Return"),
    Key(K, 0x29, 0x01, "Escape"),
    Key(K, 0x2A, 0x0E, "Backspace"),
    Key(K, 0x2B, 0x0F, "Tab"),
    Key(K, 0x2C, 0x39, "Space"),
    Key(K, 0x2D, 0x0C, "-"),
    Key(K, 0x2E, 0x0D, "="),
    Key(K, 0x2F, 0x1A, "["),
    Key(K, 0x30, 0x1B, "]"),
    Key(K, 0x31, 0x2B, "\\"),
    Key(K, 0x32, 0x2B, "Europe 1"),
    Key(K, 0x33, 0x27, ";"),
    Key(K, 0x34, 0x28, "'"),
    Key(K, 0x35, 0x29, "`"),
    Key(K, 0x36, 0x33, ","),
    Key(K, 0x37, 0x34, "."),
    Key(K, 0x38, 0x35, "/"),
    Key(K, 0x39, 0x3A, "Caps Lock"),
    Key(K, 0x3A, 0x3B, "F1"),
    Key(K, 0x3B, 0x3C, "F2"),
    Key(K, 0x3C, 0x3D, "F3"),
    Key(K, 0x3D, 0x3E, "F4"),
    Key(K, 0x3E, 0x3F, "F5"),
    Key(K, 0x3F, 0x40, "F6"),
    Key(K, 0x40, 0x41, "F7"),
    Key(K, 0x41, 0x42, "F8"),
    Key(K, 0x42, 0x43, "F9"),
    Key(K, 0x43, 0x44, "F10"),
    Key(K, 0x44, 0x57, "F11"),
    Key(K, 0x45, 0x58, "F12"),
    Key(K, 0x46, 0xE037, "Print Screen"),
    Key(K, 0x47, 0x46, "Scroll Lock"),
    Key(K, 0x48, 0xE046, "Break"),
    Key(K, 0x49, 0xE052, "Insert"),
    Key(K, 0x4A, 0xE047, "Home"),
    Key(K, 0x4B, 0xE049, "Page Up"),
    Key(K, 0x4C, 0xE053, "Delete"),
    Key(K, 0x4D, 0xE04F, "End"),
    Key(K, 0x4E, 0xE051, "Page Down"),
    Key(K, 0x4F, 0xE04D, "Right Arrow"),
    Key(K, 0x50, 0xE04B, "Left Arrow"),
    Key(K, 0x51, 0xE050, "Down Arrow"),
    Key(K, 0x52, 0xE048, "Up Arrow"),
    Key(K, 0x53, 0x45, "Num Lock"),
    Key(K, 0x54, 0xE035, "Keypad /"),
    Key(K, 0x55, 0x37, "Keypad *"),
    Key(K, 0x56, 0x4A, "Keypad -"),
    Key(K, 0x57, 0x4E, "Keypad +"),
    Key(K, 0x58, 0xE01C, "Keypad Enter"),
    Key(K, 0x59, 0x4F, "Keypad 1"),
    Key(K, 0x5A, 0x50, "Keypad 2"),
    Key(K, 0x5B, 0x51, "Keypad 3"),
    Key(K, 0x5C, 0x4B, "Keypad 4"),
    Key(K, 0x5D, 0x4C, "Keypad 5"),
    Key(K, 0x5E, 0x4D, "Keypad 6"),
    Key(K, 0x5F, 0x47, "Keypad 7"),
    Key(K, 0x60, 0x48, "Keypad 8"),
    Key(K, 0x61, 0x49, "Keypad 9"),
    Key(K, 0x62, 0x52, "Keypad 0"),
    Key(K, 0x63, 0x53, "Keypad ."),
    Key(K, 0x64, 0x56, "Europe 2"),
    Key(K, 0x65, 0xE05D, "App"),
    Key(K, 0x66, 0xE05E, "Power"),
    Key(K, 0x67, 0x59, "Keypad ="),
    Key(K, 0x68, 0x64, "F13"),
    Key(K, 0x69, 0x65, "F14"),
    Key(K, 0x6A, 0x66, "F15"),
    Key(K, 0x6B, 0x67, "F16"),
    Key(K, 0x6C, 0x68, "F17"),
    Key(K, 0x6D, 0x69, "F18"),
    Key(K, 0x6E, 0x6A, "F19"),
    Key(K, 0x6F, 0x6B, "F20"),
    Key(K, 0x70, 0x6C, "F21"),
    Key(K, 0x71, 0x6D, "F22"),
    Key(K, 0x72, 0x6E, "F23"),
    Key(K, 0x73, 0x76, "F24"),
    Key(K, 0x74, kNone, "Execute"),
    Key(K, 0x75, kNone, "Help"),
    Key(K, 0x76, kNone, "Menu"),
    Key(K, 0x77, kNone, "Select"),
    Key(K, 0x78, kNone, "Stop"),
    Key(K, 0x79, kNone, "Again"),
    Key(K, 0x7A, kNone, "Undo"),
    Key(K, 0x7B, kNone, "Cut"),
    Key(K, 0x7C, kNone, "Copy"),
    Key(K, 0x7D, kNone, "Paste"),
    Key(K, 0x7E, kNone, "Find"),
    Key(K, 0x7F, kNone, "Mute"),
    Key(K, 0x80, kNone, "Volume Up"),
    Key(K, 0x81, kNone, "Volume Dn"),
    Key(K, 0x82, kNone, "Locking Caps Lock"),
    Key(K, 0x83, kNone, "Locking Num Lock"),
    Key(K, 0x84, kNone, "Locking Scroll Lock"),
    Key(K, 0x85, 0x7E, "Keypad , "),
    Key(K, 0x86, kNone, "Equal Sign"),
    Key(K, 0x87, 0x73, "Int'l 1"),
    Key(K, 0x88, 0x70, "Intl'2"),
    Key(K, 0x89, 0x7D, "Int'l 2"),
    Key(K, 0x8A, 0x79, "Int'l 4"),
    Key(K, 0x8B, 0x7B, "Int'l 5"),
    Key(K, 0x8C, 0x5C, "Int'l 6"),
    Key(K, 0x8D, kNone, "Int'l 7"),
    Key(K, 0x8E, kNone, "Int'l 8"),
    Key(K, 0x8F, kNone, "Int'l 9"),
    MakeOnly(K, 0x90, 0xF2, "Lang 1"),
    MakeOnly(K, 0x91, 0xF1, "Lang 2"),
    Key(K, 0x92, 0x78, "Lang 3"),
    Key(K, 0x93, 0x77, "Lang 4"),
    Key(K, 0x94, 0x76, "Lang 5"),
    Key(K, 0x95, kNone, "Lang 6"),
    Key(K, 0x96, kNone, "Lang 7"),
    Key(K, 0x97, kNone, "Lang 8"),
    Key(K, 0x98, kNone, "Lang 9"),
    Key(K, 0x99, kNone, "Alternate Erase"),
    Key(K, 0x9A, kNone, "SysReq Attention"),
    Key(K, 0x9B, kNone, "Cancel"),
    Key(K, 0x9C, kNone, "Clear"),
    Key(K, 0x9D, kNone, "Prior"),
    Key(K, 0x9E, kNone, "Return"),
    Key(K, 0x9F, kNone, "Separator"),
    Key(K, 0xA0, kNone, "Out"),
    Key(K, 0xA1, kNone, "Oper"),
    Key(K, 0xA2, kNone, "Clear Again"),
    Key(K, 0xA3, kNone, "CrSel Props"),
    Key(K, 0xA4, kNone, "ExSel"),
    Key(K, 0xE0, 0x1D, "Left Control"),
    Key(K, 0xE1, 0x2A, "Left Shift"),
    Key(K, 0xE2, 0x38, "Left Alt"),
    Key(K, 0xE3, 0xE05B, "Left GUI"),
    Key(K, 0xE4, 0xE01D, "Right Control"),
    Key(K, 0xE5, 0x36, "Right Shift"),
    Key(K, 0xE6, 0xE038, "Right Alt"),
    Key(K, 0xE7, 0xE05C, "Right GUI"),

    Key(C, 0xB5, 0xE019, "Scan Next Track"),
    Key(C, 0xB6, 0xE010, "Scan Previous Track"),
    Key(C, 0xB7, 0xE024, "Stop"),
    Key(C, 0xCD, 0xE022, "Play Pause"),
    Key(C, 0xE2, 0xE020, "Mute"),
    Key(C, 0xE5, kNone, "Bass Boost"),
    Key(C, 0xE7, kNone, "Loudness"),
    Key(C, 0xE9, 0xE030, "Volume Up"),
    Key(C, 0xEA, 0xE02E, "Volume Down"),
    Key(C, 0x152, kNone, "Bass Up"),
    Key(C, 0x153, kNone, "Bass Down"),
    Key(C, 0x154, kNone, "Treble Up"),
    Key(C, 0x155, kNone, "Treble Down"),
    Key(C, 0x183, 0xE06D, "Media Select"),
    Key(C, 0x18A, 0xE06C, "Mail"),
    Key(C, 0x192, 0xE021, "Calculator"),
    Key(C, 0x194, 0xE06B, "My Computer"),
    Key(C, 0x221, 0xE065, "WWW Search"),
    Key(C, 0x223, 0xE032, "WWW Home"),
    Key(C, 0x224, 0xE06A, "WWW Back"),
    Key(C, 0x225, 0xE069, "WWW Forward"),
    Key(C, 0x226, 0xE068, "WWW Stop"),
    Key(C, 0x227, 0xE067, "WWW Refresh"),
    Key(C, 0x22A, 0xE066, "WWW Favorites"),

    Key(S, 0x01, kNone, "Mouse Left"),
    Key(S, 0x02, kNone, "Mouse Middle"),
    Key(S, 0x03, kNone, "Mouse Right"),
    Key(S, 0x04, kNone, "Mouse Left Side"),
    Key(S, 0x05, kNone, "Mouse Right Side"),
}};
// Too few rows would leave zero rows at the end; too many do not compile.
static_assert(kTable.back().usagePage == S && kTable.back().usageId == 0x05);

}  // namespace

const KeyTableEntry emptyKeyEntry = {0, 0, 0, 0, 0, ""};

std::span<const KeyTableEntry> KeyTable() {
    return kTable;
}

const KeyTableEntry& FindKey(KeyCode code) {
    return FindKeyByUsage(UsageIdOf(code), UsagePageOf(code));
}

const KeyTableEntry& FindKeyByUsage(uint16_t usageId, uint16_t usagePage) {
    for (const KeyTableEntry& entry : kTable) {
        if (entry.usagePage == usagePage && entry.usageId == usageId) {
            return entry;
        }
    }
    return emptyKeyEntry;
}

}  // namespace keyrig
