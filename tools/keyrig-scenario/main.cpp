// keyrig-scenario: the whole road of a key, scripted, on the simulated world.
//
// It prepares what the main window prepares for the engine (the virtual keyboard released, the
// filter channel open with the dispatcher subscribed and listening, the key list sent), runs the
// script's lines in order, and prints what the devices received, one time-stamped line each.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <thread>

#include "app/settings.h"
#include "device/filter_channel.h"
#include "device/trace.h"
#include "device/vhidev.h"
#include "engine/remap_engine.h"
#include "platform/platform.h"
#include "platform/sim/sim_system.h"
#include "store/number_text.h"

namespace keyrig::scenario {
namespace {

constexpr int kScriptError = 2;
constexpr std::chrono::milliseconds kTapDefault{20};
constexpr std::chrono::milliseconds kMacroEndLimit{2000};

struct Command {
    enum class Kind { Press, Release, Tap, Wait };
    Kind kind;
    KeyCode code = 0;
    std::chrono::milliseconds ms{0};
    std::string line;
};

struct ScriptError {
    std::string message;
};

// Reads the whole script first, so that a mistake on any line runs nothing.
std::vector<Command> ParseScript(std::istream& input) {
    std::vector<Command> commands;
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb.empty() || verb[0] == '#') {
            continue;
        }
        std::vector<std::string> arguments;
        for (std::string word; words >> word;) {
            arguments.push_back(word);
        }
        const auto fail = [&](const std::string& why) {
            return ScriptError{"line " + std::to_string(number) + ": " + why + ": " + line};
        };
        Command command{Command::Kind::Wait, 0, std::chrono::milliseconds(0), line};
        if (verb == "press" || verb == "release" || verb == "tap") {
            const size_t most = verb == "tap" ? 2 : 1;
            if (arguments.empty() || arguments.size() > most) {
                throw fail(verb == "tap" ? "tap takes a key code and an optional time"
                                         : verb + " takes one key code");
            }
            const auto code = ReadExactUnsigned(arguments[0], 16);
            if (!code) {
                throw fail("not a hexadecimal key code \"" + arguments[0] + "\"");
            }
            command.code = *code;
            command.kind = verb == "press"     ? Command::Kind::Press
                           : verb == "release" ? Command::Kind::Release
                                               : Command::Kind::Tap;
            command.ms = kTapDefault;
            if (arguments.size() == 2) {
                const auto ms = ReadExactUnsigned(arguments[1], 10);
                if (!ms) {
                    throw fail("not a time in milliseconds \"" + arguments[1] + "\"");
                }
                command.ms = std::chrono::milliseconds(*ms);
            }
        } else if (verb == "wait") {
            const auto ms =
                arguments.size() == 1 ? ReadExactUnsigned(arguments[0], 10) : std::nullopt;
            if (!ms) {
                throw fail("wait takes a time in milliseconds");
            }
            command.ms = std::chrono::milliseconds(*ms);
        } else {
            throw fail("unknown command \"" + verb + "\"");
        }
        commands.push_back(std::move(command));
    }
    return commands;
}

// Lets real time pass, unless the process is asked to end.
void Pass(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (!platform::TerminationRequested()) {
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(5)));
    }
}

std::string FormatEntry(const platform::sim::LogEntry& entry) {
    using platform::sim::HexBytes;
    using platform::sim::TrimmedHexBytes;
    if (entry.kind == "script") {
        return "> " + entry.text;
    }
    if (entry.kind == "vkbd") {
        return "vkbd " + TrimmedHexBytes(entry.bytes, 2);
    }
    if (entry.kind == "filter.ioctl") {
        char code[16];
        std::snprintf(code, sizeof code, "0x%06X", static_cast<unsigned>(entry.code));
        const std::string bytes = TrimmedHexBytes(entry.bytes, 0);
        return std::string("filter.ioctl ") + code + (bytes.empty() ? "" : " " + bytes);
    }
    if (entry.kind == "key.passthrough") {
        char code[16];
        std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(entry.code));
        return "key.passthrough " + std::string(code) + " " + entry.text;
    }
    if (entry.kind.starts_with("kbd.")) {
        return entry.kind + " " + HexBytes(entry.bytes);
    }
    return {};
}

// A program directory of its own, with the shipped files, removed at the end.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("keyrig-scenario-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
        std::error_code ignored;
        std::filesystem::copy_file(platform::ProgramDirectory() / kConfigFile, path_ / kConfigFile,
                                   ignored);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

int Run(const std::filesystem::path& directory, const std::vector<Command>& commands) {
    device::SetTraceEnabled(false);
    auto simulated = std::make_unique<platform::sim::SimulatedSystem>();
    platform::sim::World& world = simulated->world();
    platform::Install(std::move(simulated));

    OwnedSettings settings;
    LoadSettings(directory, settings.view());
    const KeyAssignmentStore& assignments = settings.assignments;

    std::vector<platform::sim::LogEntry> log;
    std::chrono::steady_clock::time_point start;
    {
        device::VHidev vhidev;
        vhidev.Open();
        vhidev.releaseAll();
        device::FilterChannel channel;
        {
            engine::RemapEngine remapper(assignments, vhidev);
            remapper.Bind(channel);
            channel.OpenDevice();
            channel.StartListener();
            channel.SetKeyList(assignments);
            world.WaitForKeyRequest(std::chrono::seconds(5));

            world.ClearLog();
            start = std::chrono::steady_clock::now();
            // A line ends once the engine has done what the key asks at once: the dispatcher has
            // handed it out and a macro it started has sent its first report.
            const auto settle = [&world, &remapper] {
                world.WaitUntilKeysHandled(std::chrono::seconds(1));
                remapper.WaitForMacroStart(std::chrono::seconds(1));
            };
            for (const Command& command : commands) {
                if (platform::TerminationRequested()) {
                    break;
                }
                world.Record(platform::sim::Entry("script", {}, command.line));
                switch (command.kind) {
                    case Command::Kind::Press:
                        world.PressKey(command.code);
                        settle();
                        break;
                    case Command::Kind::Release:
                        world.ReleaseKey(command.code);
                        settle();
                        break;
                    case Command::Kind::Tap:
                        world.PressKey(command.code);
                        settle();
                        Pass(command.ms);
                        world.ReleaseKey(command.code);
                        settle();
                        break;
                    case Command::Kind::Wait:
                        Pass(command.ms);
                        break;
                }
            }
            const auto limit = std::chrono::steady_clock::now() + kMacroEndLimit;
            while (remapper.MacroPlaying() && std::chrono::steady_clock::now() < limit &&
                   !platform::TerminationRequested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }  // the engine goes as the main window does: macro stopped, every key released
    }      // then the filter channel: listener stopped, the driver's key list cleared
    log = world.Log();
    platform::TerminationHandled();

    const auto since = [start](std::chrono::steady_clock::time_point when) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(when - start).count();
    };
    for (const platform::sim::LogEntry& entry : log) {
        const std::string text = FormatEntry(entry);
        if (!text.empty()) {
            std::cout << since(entry.when) << ' ' << text << '\n';
        }
    }
    std::cout << since(std::chrono::steady_clock::now()) << " exit 0\n";
    return 0;
}

}  // namespace
}  // namespace keyrig::scenario

int main(int argc, char** argv) {
    using namespace keyrig;
    CLI::App app{
        "Run Keyrig's key remapping end to end on the simulated world, from a script.\n"
        "Script lines: press CODE, release CODE, tap CODE [MS], wait MS; # starts a comment.",
        "keyrig-scenario"};
    std::filesystem::path directory;
    std::string script;
    app.add_option("--dir", directory,
                   "Program directory with config.xml and the data files (default: a fresh one "
                   "with the shipped files)");
    app.add_option("SCRIPT", script, "The script, or - for standard input")->required();
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return std::string("keyrig-scenario: ") + error.what() + " (see --help)\n";
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : scenario::kScriptError;
    }

    std::vector<scenario::Command> commands;
    try {
        if (script == "-") {
            commands = scenario::ParseScript(std::cin);
        } else {
            std::ifstream file(script);
            if (!file) {
                std::cerr << "keyrig-scenario: cannot read the script " << script << '\n';
                return scenario::kScriptError;
            }
            commands = scenario::ParseScript(file);
        }
    } catch (const scenario::ScriptError& error) {
        std::cerr << "keyrig-scenario: " << error.message << '\n';
        return scenario::kScriptError;
    }

    platform::CatchTerminationRequests();
    if (!directory.empty()) {
        if (!std::filesystem::is_directory(directory)) {
            std::cerr << "keyrig-scenario: cannot read the directory " << directory.string()
                      << '\n';
            return scenario::kScriptError;
        }
        return scenario::Run(directory, commands);
    }
    scenario::ScratchDirectory scratch;
    return scenario::Run(scratch.path(), commands);
}
