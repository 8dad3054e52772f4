#include "store/xml_text.h"

#include <cstdio>

namespace keyrig {

void AppendSigned(pugi::xml_node& node, const char* name, int64_t value) {
    node.append_attribute(name).set_value(std::to_string(value).c_str());
}

void AppendUnsigned(pugi::xml_node& node, const char* name, uint32_t value) {
    node.append_attribute(name).set_value(std::to_string(value).c_str());
}

void AppendHex(pugi::xml_node& node, const char* name, uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
    node.append_attribute(name).set_value(text);
}

void AppendText(pugi::xml_node& node, const char* name, const std::string& value) {
    node.append_attribute(name).set_value(value.c_str());
}

}  // namespace keyrig
