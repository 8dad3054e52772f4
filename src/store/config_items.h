// The media keys and key combinations config.xml offers, as the rest of the program uses them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace keyrig {

struct FunKeyItem {
    std::string name;   // never empty
    uint32_t code = 0;  // KeyCode
    std::string path;   // kept with the item; nothing is started from it
    std::string argm;
};

struct CombKeyItem {
    struct Pair {
        int32_t first = 0;   // KeyCode of the key
        int32_t second = 0;  // delay in milliseconds
        bool operator==(const Pair&) const = default;
    };
    std::string name;
    std::vector<Pair> pairs;
};

}  // namespace keyrig
