// Numbers as the data files and config.xml write them.
//
// The files are edited by hand as often as by the program, so the readers are lenient in one
// well-defined way: leading white space is skipped, a sign is accepted, base 16 takes an optional
// 0x prefix, reading stops at the first character that is not a digit, and text without digits
// reads as 0. What a value beyond 32 bits becomes is part of each reader's contract below.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace keyrig {

struct ParsedNumber {
    // The magnitude with its sign applied, before any narrowing to 32 bits.
    int64_t value = 0;
    bool hasDigits = false;
    // True when characters other than trailing white space follow the digits ("12ab" in base
    // 10, or "1a2bz" in base 16).
    bool hasTrailingText = false;
    // True when the magnitude does not fit in 32 unsigned bits.
    bool overflow = false;
};

ParsedNumber ParseNumber(std::string_view text, int base);

// A value beyond the unsigned 32-bit range reads as 0xFFFFFFFF; a negative one wraps around
// modulo 2^32, so "-1" reads as 4294967295.
uint32_t ReadUnsigned(std::string_view text, int base);

// A value beyond the signed 32-bit range is clamped to the nearest limit.
int32_t ReadSigned(std::string_view text, int base);

// For arguments typed on a command line or in a script, where a typo must not pass: only digits
// (base 16 also takes a 0x prefix), nothing before or after them, and within 32 bits.
std::optional<uint32_t> ReadExactUnsigned(std::string_view text, int base);

}  // namespace keyrig
