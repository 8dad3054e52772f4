// Where each key of the full-size board sits. The picture and the clickable regions are both made
// from this one table, so a key can never be drawn in one place and clicked in another.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace keyrig::kbgen {

struct KeyPlace {
    double x;            // key units from the left edge of Escape
    double y;            // key units from the top edge of Escape
    double width;        // key units
    double height;       // key units
    const char* legend;  // what the cap shows; "\n" puts the shifted symbol above the plain one
    uint16_t usageId;    // on the keyboard page
};

constexpr KeyPlace Key(double x, double y, uint16_t usageId, const char* legend, double width = 1,
                       double height = 1) {
    return {x, y, width, height, legend, usageId};
}

// Rows in key units: the function row, half a unit of air, then the five rows of the main block.
constexpr double kF = 0;
constexpr double kR1 = 1.5;
constexpr double kR2 = 2.5;
constexpr double kR3 = 3.5;
constexpr double kR4 = 4.5;
constexpr double kR5 = 5.5;
// Left edges of the clusters beside the main block, each half a unit apart.
constexpr double kNav = 15.5;
constexpr double kPad = 19;

// In the order the regions are listed: row by row, left to right, a cluster at a time.
constexpr std::array<KeyPlace, 104> kKeyboard = {{
    Key(0, kF, 0x29, "Esc"),
    Key(2, kF, 0x3A, "F1"),
    Key(3, kF, 0x3B, "F2"),
    Key(4, kF, 0x3C, "F3"),
    Key(5, kF, 0x3D, "F4"),
    Key(6.5, kF, 0x3E, "F5"),
    Key(7.5, kF, 0x3F, "F6"),
    Key(8.5, kF, 0x40, "F7"),
    Key(9.5, kF, 0x41, "F8"),
    Key(11, kF, 0x42, "F9"),
    Key(12, kF, 0x43, "F10"),
    Key(13, kF, 0x44, "F11"),
    Key(14, kF, 0x45, "F12"),
    Key(kNav, kF, 0x46, "PrtSc"),
    Key(kNav + 1, kF, 0x47, "ScrLk"),
    Key(kNav + 2, kF, 0x48, "Pause"),

    Key(0, kR1, 0x35, "~\n`"),
    Key(1, kR1, 0x1E, "!\n1"),
    Key(2, kR1, 0x1F, "@\n2"),
    Key(3, kR1, 0x20, "#\n3"),
    Key(4, kR1, 0x21, "$\n4"),
    Key(5, kR1, 0x22, "%\n5"),
    Key(6, kR1, 0x23, "^\n6"),
    Key(7, kR1, 0x24, "&\n7"),
    Key(8, kR1, 0x25, "*\n8"),
    Key(9, kR1, 0x26, "(\n9"),
    Key(10, kR1, 0x27, ")\n0"),
    Key(11, kR1, 0x2D, "_\n-"),
    Key(12, kR1, 0x2E, "+\n="),
    Key(13, kR1, 0x2A, "Backspace", 2),
    Key(kNav, kR1, 0x49, "Ins"),
    Key(kNav + 1, kR1, 0x4A, "Home"),
    Key(kNav + 2, kR1, 0x4B, "PgUp"),
    Key(kPad, kR1, 0x53, "Num\nLock"),
    Key(kPad + 1, kR1, 0x54, "/"),
    Key(kPad + 2, kR1, 0x55, "*"),
    Key(kPad + 3, kR1, 0x56, "-"),

    Key(0, kR2, 0x2B, "Tab", 1.5),
    Key(1.5, kR2, 0x14, "Q"),
    Key(2.5, kR2, 0x1A, "W"),
    Key(3.5, kR2, 0x08, "E"),
    Key(4.5, kR2, 0x15, "R"),
    Key(5.5, kR2, 0x17, "T"),
    Key(6.5, kR2, 0x1C, "Y"),
    Key(7.5, kR2, 0x18, "U"),
    Key(8.5, kR2, 0x0C, "I"),
    Key(9.5, kR2, 0x12, "O"),
    Key(10.5, kR2, 0x13, "P"),
    Key(11.5, kR2, 0x2F, "{\n["),
    Key(12.5, kR2, 0x30, "}\n]"),
    Key(13.5, kR2, 0x31, "|\n\\", 1.5),
    Key(kNav, kR2, 0x4C, "Del"),
    Key(kNav + 1, kR2, 0x4D, "End"),
    Key(kNav + 2, kR2, 0x4E, "PgDn"),
    Key(kPad, kR2, 0x5F, "7"),
    Key(kPad + 1, kR2, 0x60, "8"),
    Key(kPad + 2, kR2, 0x61, "9"),
    Key(kPad + 3, kR2, 0x57, "+", 1, 2),

    Key(0, kR3, 0x39, "Caps Lock", 1.75),
    Key(1.75, kR3, 0x04, "A"),
    Key(2.75, kR3, 0x16, "S"),
    Key(3.75, kR3, 0x07, "D"),
    Key(4.75, kR3, 0x09, "F"),
    Key(5.75, kR3, 0x0A, "G"),
    Key(6.75, kR3, 0x0B, "H"),
    Key(7.75, kR3, 0x0D, "J"),
    Key(8.75, kR3, 0x0E, "K"),
    Key(9.75, kR3, 0x0F, "L"),
    Key(10.75, kR3, 0x33, ":\n;"),
    Key(11.75, kR3, 0x34, "\"\n'"),
    Key(12.75, kR3, 0x28, "Enter", 2.25),
    Key(kPad, kR3, 0x5C, "4"),
    Key(kPad + 1, kR3, 0x5D, "5"),
    Key(kPad + 2, kR3, 0x5E, "6"),

    Key(0, kR4, 0xE1, "Shift", 2.25),
    Key(2.25, kR4, 0x1D, "Z"),
    Key(3.25, kR4, 0x1B, "X"),
    Key(4.25, kR4, 0x06, "C"),
    Key(5.25, kR4, 0x19, "V"),
    Key(6.25, kR4, 0x05, "B"),
    Key(7.25, kR4, 0x11, "N"),
    Key(8.25, kR4, 0x10, "M"),
    Key(9.25, kR4, 0x36, "<\n,"),
    Key(10.25, kR4, 0x37, ">\n."),
    Key(11.25, kR4, 0x38, "?\n/"),
    Key(12.25, kR4, 0xE5, "Shift", 2.75),
    Key(kNav + 1, kR4, 0x52, "\u2191"),
    Key(kPad, kR4, 0x59, "1"),
    Key(kPad + 1, kR4, 0x5A, "2"),
    Key(kPad + 2, kR4, 0x5B, "3"),
    Key(kPad + 3, kR4, 0x58, "Enter", 1, 2),

    Key(0, kR5, 0xE0, "Ctrl", 1.25),
    Key(1.25, kR5, 0xE3, "Win", 1.25),
    Key(2.5, kR5, 0xE2, "Alt", 1.25),
    Key(3.75, kR5, 0x2C, "", 6.25),
    Key(10, kR5, 0xE6, "Alt", 1.25),
    Key(11.25, kR5, 0xE7, "Win", 1.25),
    Key(12.5, kR5, 0x65, "Menu", 1.25),
    Key(13.75, kR5, 0xE4, "Ctrl", 1.25),
    Key(kNav, kR5, 0x50, "\u2190"),
    Key(kNav + 1, kR5, 0x51, "\u2193"),
    Key(kNav + 2, kR5, 0x4F, "\u2192"),
    Key(kPad, kR5, 0x62, "0", 2),
    Key(kPad + 2, kR5, 0x63, "."),
}};

// Logical pixels of the picture. A unit of 44 makes every quarter unit a whole pixel.
constexpr int kUnit = 44;
constexpr int kGap = 4;
constexpr int kMargin = 20;

constexpr bool IsQuarterUnit(double units) {
    return units * 4 == static_cast<double>(static_cast<int>(units * 4));
}

constexpr bool AllOnQuarterUnits() {
    for (const KeyPlace& key : kKeyboard) {
        if (!IsQuarterUnit(key.x) || !IsQuarterUnit(key.y) || !IsQuarterUnit(key.width) ||
            !IsQuarterUnit(key.height)) {
            return false;
        }
    }
    return true;
}
// Otherwise a region's rect would have to be rounded and could miss its cap by a pixel.
static_assert(AllOnQuarterUnits());
static_assert(kUnit % 4 == 0);

constexpr bool UsagesDistinct() {
    for (size_t i = 0; i < kKeyboard.size(); ++i) {
        for (size_t j = i + 1; j < kKeyboard.size(); ++j) {
            if (kKeyboard[i].usageId == kKeyboard[j].usageId) {
                return false;
            }
        }
    }
    return true;
}
// Two caps sending the same usage would be one region the widget cannot tell apart.
static_assert(UsagesDistinct());

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

constexpr int Pixels(double units) {
    return static_cast<int>(units * kUnit);
}

constexpr PixelRect RectOf(const KeyPlace& key) {
    return {kMargin + Pixels(key.x), kMargin + Pixels(key.y), Pixels(key.width) - kGap,
            Pixels(key.height) - kGap};
}

constexpr PixelRect Extent() {
    int right = 0;
    int bottom = 0;
    for (const KeyPlace& key : kKeyboard) {
        const PixelRect rect = RectOf(key);
        right = rect.x + rect.width > right ? rect.x + rect.width : right;
        bottom = rect.y + rect.height > bottom ? rect.y + rect.height : bottom;
    }
    return {0, 0, right + kMargin, bottom + kMargin};
}

constexpr int kPictureWidth = Extent().width;
constexpr int kPictureHeight = Extent().height;

}  // namespace keyrig::kbgen
