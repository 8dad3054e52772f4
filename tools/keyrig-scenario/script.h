// A scenario script: one command per line, '#' starting a comment. The whole script is read and
// checked before anything runs, so that a mistake on any line runs nothing.
#pragma once

#include <chrono>
#include <istream>
#include <string>
#include <vector>

#include "store/key_table.h"

namespace keyrig::scenario {

struct Command {
    std::string verb;
    std::vector<std::string> words;  // the arguments, split at blanks
    std::string rest;                // everything after the verb and one blank, as written
    std::string line;                // the whole line, for the trace
    int number = 0;                  // its line number

    // Filled in by the parser where the verb has them.
    KeyCode code = 0;
    std::chrono::milliseconds ms{0};
    int first = 0;
    int second = 0;
};

struct Script {
    std::vector<Command> commands;
    // Whether the script starts the program; without `start` only the key road runs.
    bool startsProgram = false;
};

struct ScriptError {
    std::string message;
};

// Throws ScriptError naming the first bad line.
Script ParseScript(std::istream& input);

}  // namespace keyrig::scenario
