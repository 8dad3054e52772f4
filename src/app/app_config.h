// config.xml: the language, the keyboard's USB identity, and the media keys and key combinations
// the macro editor offers. Read once at start-up, never written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "store/config_items.h"

namespace keyrig {

class AppConfig final {
  public:
    static AppConfig& instance();

    // Reads config.xml from the program directory.
    void load();
    // Reads `file`; true when it parsed. A file that is missing or does not parse leaves every
    // field as it was.
    bool loadFile(const std::filesystem::path& file);

    int32_t vid = 0;
    int32_t pid = 0;
    int32_t interface = 0;
    int32_t subdevice = 0;
    bool isChinese = false;
    std::vector<FunKeyItem> funKeys;
    std::vector<CombKeyItem> combKeys;

    const pugi::xml_document& document() const { return document_; }

  private:
    pugi::xml_document document_;
};

// The pairs of a key-combination text such as "458976:0,458756:0": blanks are dropped, runs of
// commas and of colons count as one, a piece's third and later numbers are ignored, and a piece
// with no number at all gives no pair.
std::vector<CombKeyItem::Pair> ParseKeyCombination(std::string text);

// The first direct child of `parent` whose name matches `name` regardless of ASCII letter case.
pugi::xml_node ChildNoCase(const pugi::xml_node& parent, const char* name);
pugi::xml_attribute AttributeNoCase(const pugi::xml_node& node, const char* name);

}  // namespace keyrig
