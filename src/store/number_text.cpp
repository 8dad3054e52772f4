#include "store/number_text.h"

#include <limits>

namespace keyrig {
namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

constexpr uint64_t kUnsigned32Max = std::numeric_limits<uint32_t>::max();

}  // namespace

ParsedNumber ParseNumber(std::string_view text, int base) {
    ParsedNumber result;
    size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // "0x" only counts as a prefix when a hexadecimal digit follows; otherwise the 0 is the number.
    if (base == 16 && at + 2 < text.size() && text[at] == '0' &&
        (text[at + 1] == 'x' || text[at + 1] == 'X') && DigitValue(text[at + 2]) < 16) {
        at += 2;
    }
    uint64_t magnitude = 0;
    for (; at < text.size() && DigitValue(text[at]) < base; ++at) {
        result.hasDigits = true;
        if (!result.overflow) {
            magnitude = magnitude * static_cast<uint64_t>(base) +
                        static_cast<uint64_t>(DigitValue(text[at]));
            result.overflow = magnitude > kUnsigned32Max;
        }
    }
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    result.hasTrailingText = at < text.size();
    if (result.overflow) {
        magnitude = kUnsigned32Max + 1;
    }
    result.value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return result;
}

uint32_t ReadUnsigned(std::string_view text, int base) {
    const ParsedNumber number = ParseNumber(text, base);
    if (number.overflow) {
        return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(number.value));
}

int32_t ReadSigned(std::string_view text, int base) {
    const int64_t value = ParseNumber(text, base).value;
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

std::optional<uint32_t> ReadExactUnsigned(std::string_view text, int base) {
    if (text.empty() || DigitValue(text.front()) >= base) {
        return std::nullopt;  // a sign or a blank in front
    }
    const ParsedNumber number = ParseNumber(text, base);
    if (!number.hasDigits || number.hasTrailingText || number.overflow || IsSpace(text.back())) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(number.value);
}

}  // namespace keyrig
