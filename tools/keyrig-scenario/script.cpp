#include "script.h"

#include <map>
#include <set>
#include <sstream>

#include "store/number_text.h"

namespace keyrig::scenario {
namespace {

constexpr std::chrono::milliseconds kTapDefault{20};

// What each verb takes: the least and most number of words (-1: any, the rest of the line).
struct Shape {
    int least;
    int most;
    const char* usage;
    bool programOnly;  // needs the program started by an earlier line
};

const std::map<std::string, Shape, std::less<>>& Shapes() {
    static const std::map<std::string, Shape, std::less<>> shapes = {
        {"press", {1, 1, "press takes one key code", false}},
        {"release", {1, 1, "release takes one key code", false}},
        {"tap", {1, 2, "tap takes a key code and an optional time", false}},
        {"wait", {1, 1, "wait takes a time in milliseconds", false}},
        {"keyboard", {1, 2, "keyboard takes present, absent or firmware MAJOR.MINOR", false}},
        {"virtual", {1, 1, "virtual takes present or absent", false}},
        {"start", {0, -1, "start takes the program's command line", false}},
        {"second", {0, -1, "second takes the second copy's command line", true}},
        {"unplug", {0, 0, "unplug takes nothing", false}},
        {"plug", {0, 0, "plug takes nothing", false}},
        {"click", {1, 1, "click takes a widget name", true}},
        {"select", {2, 2, "select takes a widget name and an index", true}},
        {"slide", {2, 2, "slide takes a slider name and a value", true}},
        {"type", {1, -1, "type takes an edit name and the text", true}},
        {"check", {2, 2, "check takes a widget name and 0 or 1", true}},
        {"cell", {3, -1, "cell takes a list name, a row, a column name and the text", true}},
        {"keyclick", {1, 1, "keyclick takes a key number", true}},
        {"keydrag", {2, 2, "keydrag takes two key numbers", true}},
        {"hover", {1, 1, "hover takes a key number", true}},
        {"answer", {1, 1, "answer takes ok or cancel", false}},
        {"menu", {1, 1, "menu takes a command number", true}},
        {"tray", {1, 1, "tray takes left or right", true}},
        {"language", {1, 1, "language takes cn or en", true}},
        {"close", {0, 0, "close takes nothing", true}},
        {"show", {1, 1, "show takes a widget name", true}},
        {"dump", {0, 0, "dump takes nothing", false}},
        {"screenshot", {1, 1, "screenshot takes a file name", true}},
    };
    return shapes;
}

std::optional<int> ReadNumber(const std::string& text) {
    const bool hexadecimal = text.starts_with("0x") || text.starts_with("0X");
    const auto value =
        ReadExactUnsigned(hexadecimal ? text.substr(2) : text, hexadecimal ? 16 : 10);
    if (!value || *value > 0x7FFFFFFF) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<int> ReadSigned(const std::string& text) {
    if (text.starts_with('-')) {
        const auto value = ReadNumber(text.substr(1));
        return value ? std::optional<int>(-*value) : std::nullopt;
    }
    return ReadNumber(text);
}

}  // namespace

Script ParseScript(std::istream& input) {
    Script script;
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream split(line);
        Command command;
        split >> command.verb;
        if (command.verb.empty() || command.verb[0] == '#') {
            continue;
        }
        for (std::string word; split >> word;) {
            command.words.push_back(word);
        }
        const size_t verbStart = line.find(command.verb);
        const size_t afterVerb = verbStart + command.verb.size();
        command.rest = afterVerb < line.size() ? line.substr(afterVerb + 1) : std::string();
        command.line = line;
        command.number = number;

        const auto fail = [&](const std::string& why) {
            return ScriptError{"line " + std::to_string(number) + ": " + why + ": " + line};
        };
        const auto shape = Shapes().find(command.verb);
        if (shape == Shapes().end()) {
            throw fail("unknown command \"" + command.verb + "\"");
        }
        const int count = static_cast<int>(command.words.size());
        if (count < shape->second.least ||
            (shape->second.most >= 0 && count > shape->second.most)) {
            throw fail(shape->second.usage);
        }
        if (shape->second.programOnly && !script.startsProgram) {
            throw fail(command.verb + " needs the program: put a start line before it");
        }
        const std::string& verb = command.verb;
        const auto number0 = [&](size_t index, const char* what) {
            const auto value = ReadNumber(command.words[index]);
            if (!value) {
                throw fail(std::string("not ") + what + " \"" + command.words[index] + "\"");
            }
            return *value;
        };
        if (verb == "press" || verb == "release" || verb == "tap") {
            const auto code = ReadExactUnsigned(command.words[0], 16);
            if (!code) {
                throw fail("not a hexadecimal key code \"" + command.words[0] + "\"");
            }
            command.code = *code;
            command.ms = kTapDefault;
            if (count == 2) {
                command.ms = std::chrono::milliseconds(number0(1, "a time in milliseconds"));
            }
        } else if (verb == "wait") {
            const auto ms = ReadNumber(command.words[0]);
            if (!ms) {
                throw fail(shape->second.usage);
            }
            command.ms = std::chrono::milliseconds(*ms);
        } else if (verb == "keyboard") {
            const std::string& what = command.words[0];
            if (what == "firmware" && count == 2) {
                const std::string& version = command.words[1];
                const size_t dot = version.find('.');
                const auto major =
                    dot == std::string::npos ? std::nullopt : ReadNumber(version.substr(0, dot));
                const auto minor =
                    dot == std::string::npos ? std::nullopt : ReadNumber(version.substr(dot + 1));
                if (!major || !minor || *major > 255 || *minor > 255) {
                    throw fail("not a firmware version MAJOR.MINOR \"" + version + "\"");
                }
                command.first = (*major << 8) | *minor;
            } else if (!((what == "present" || what == "absent") && count == 1)) {
                throw fail(shape->second.usage);
            }
        } else if (verb == "virtual") {
            if (command.words[0] != "present" && command.words[0] != "absent") {
                throw fail(shape->second.usage);
            }
        } else if (verb == "start") {
            if (script.startsProgram) {
                throw fail("the program is started once");
            }
            script.startsProgram = true;
        } else if (verb == "select" || verb == "slide") {
            const auto value = ReadSigned(command.words[1]);
            if (!value) {
                throw fail("not a number \"" + command.words[1] + "\"");
            }
            command.first = *value;
        } else if (verb == "check") {
            if (command.words[1] != "0" && command.words[1] != "1") {
                throw fail(shape->second.usage);
            }
            command.first = command.words[1] == "1";
        } else if (verb == "cell") {
            command.first = number0(1, "a row number");
        } else if (verb == "keyclick" || verb == "hover") {
            command.first = number0(0, "a key number");
        } else if (verb == "keydrag") {
            command.first = number0(0, "a key number");
            command.second = number0(1, "a key number");
        } else if (verb == "menu") {
            command.first = number0(0, "a command number");
        } else if (verb == "answer" || verb == "tray" || verb == "language") {
            static const std::map<std::string, std::set<std::string>> choices = {
                {"answer", {"ok", "cancel"}},
                {"tray", {"left", "right"}},
                {"language", {"cn", "en"}}};
            if (!choices.at(verb).contains(command.words[0])) {
                throw fail(shape->second.usage);
            }
        }
        script.commands.push_back(std::move(command));
    }
    return script;
}

}  // namespace keyrig::scenario
