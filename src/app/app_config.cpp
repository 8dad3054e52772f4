#include "app/app_config.h"

#include <algorithm>

#include "platform/platform.h"
#include "store/number_text.h"

namespace keyrig {
namespace {

bool SameNoCase(const char* left, const char* right) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (; *left != '\0' && *right != '\0'; ++left, ++right) {
        if (lower(*left) != lower(*right)) {
            return false;
        }
    }
    return *left == *right;
}

int32_t HexAttribute(const pugi::xml_node& node, const char* name) {
    const pugi::xml_attribute attribute = AttributeNoCase(node, name);
    return attribute ? ReadSigned(attribute.value(), 16) : 0;
}

// Splits at `separator`, treating a run of separators as one and dropping empty pieces.
std::vector<std::string> SplitPieces(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(separator, start), text.size());
        if (end > start) {
            pieces.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

}  // namespace

pugi::xml_node ChildNoCase(const pugi::xml_node& parent, const char* name) {
    for (const pugi::xml_node& child : parent.children()) {
        if (child.type() == pugi::node_element && SameNoCase(child.name(), name)) {
            return child;
        }
    }
    return {};
}

pugi::xml_attribute AttributeNoCase(const pugi::xml_node& node, const char* name) {
    for (const pugi::xml_attribute& attribute : node.attributes()) {
        if (SameNoCase(attribute.name(), name)) {
            return attribute;
        }
    }
    return {};
}

std::vector<CombKeyItem::Pair> ParseKeyCombination(std::string text) {
    std::erase(text, ' ');
    std::vector<CombKeyItem::Pair> pairs;
    for (const std::string& piece : SplitPieces(text, ',')) {
        const std::vector<std::string> numbers = SplitPieces(piece, ':');
        if (numbers.empty()) {
            continue;  // only colons: no key to press
        }
        pairs.push_back(
            {ReadSigned(numbers[0], 10), numbers.size() > 1 ? ReadSigned(numbers[1], 10) : 0});
    }
    return pairs;
}

AppConfig& AppConfig::instance() {
    static AppConfig config;
    return config;
}

void AppConfig::load() {
    loadFile(platform::ProgramDirectory() / "config.xml");
}

bool AppConfig::loadFile(const std::filesystem::path& file) {
    pugi::xml_document document;
    if (!document.load_file(file.c_str(), pugi::parse_default, pugi::encoding_auto)) {
        return false;
    }

    // The four sections are top-level elements; an enclosing root element hides them.
    const pugi::xml_attribute language =
        AttributeNoCase(ChildNoCase(document, "local"), "language");
    isChinese = std::string_view(language.value()) == "cn";

    const pugi::xml_node usb = ChildNoCase(document, "usb");
    vid = HexAttribute(usb, "vid");
    pid = HexAttribute(usb, "pid");
    interface = HexAttribute(usb, "interface");
    subdevice = HexAttribute(usb, "subdevice");

    funKeys.clear();
    for (const pugi::xml_node& item : ChildNoCase(document, "funkey").children()) {
        const pugi::xml_attribute name = AttributeNoCase(item, "name");
        if (name.value()[0] == '\0') {
            continue;
        }
        const pugi::xml_attribute code = AttributeNoCase(item, "code");
        funKeys.push_back({name.value(), code ? ReadUnsigned(code.value(), 16) : 0,
                           AttributeNoCase(item, "path").value(),
                           AttributeNoCase(item, "argm").value()});
    }

    combKeys.clear();
    for (const pugi::xml_node& item : ChildNoCase(document, "combkey").children()) {
        CombKeyItem combination{AttributeNoCase(item, "name").value(), {}};
        if (const pugi::xml_attribute code = AttributeNoCase(item, "code")) {
            combination.pairs = ParseKeyCombination(code.value());
        }
        combKeys.push_back(std::move(combination));
    }

    document_.reset(document);
    return true;
}

}  // namespace keyrig
