// Reading and writing attribute values the way every data file of the program does.
#pragma once

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "store/number_text.h"

namespace keyrig {

// A missing attribute reads as `fallback`.
inline uint32_t AttributeUnsigned(const pugi::xml_node& node, const char* name, int base,
                                  uint32_t fallback = 0) {
    const pugi::xml_attribute attribute = node.attribute(name);
    return attribute ? ReadUnsigned(attribute.value(), base) : fallback;
}

inline int32_t AttributeSigned(const pugi::xml_node& node, const char* name, int base,
                               int32_t fallback = 0) {
    const pugi::xml_attribute attribute = node.attribute(name);
    return attribute ? ReadSigned(attribute.value(), base) : fallback;
}

inline std::string AttributeText(const pugi::xml_node& node, const char* name) {
    return node.attribute(name).value();
}

void AppendSigned(pugi::xml_node& node, const char* name, int64_t value);
void AppendUnsigned(pugi::xml_node& node, const char* name, uint32_t value);
void AppendHex(pugi::xml_node& node, const char* name, uint32_t value);
void AppendText(pugi::xml_node& node, const char* name, const std::string& value);

}  // namespace keyrig
