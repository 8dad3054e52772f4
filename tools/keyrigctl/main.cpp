// keyrigctl: inspect and check Keyrig's program directory from the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/settings.h"
#include "check.h"
#include "device_commands.h"
#include "json_view.h"
#include "platform/platform.h"
#include "store/key_table.h"
#include "store/number_text.h"

namespace keyrig::ctl {
namespace {

constexpr int kProblemsFound = 1;
constexpr int kUsageError = 2;

// Thrown for a bad argument; caught once in main and printed as one line.
struct CommandError {
    std::string message;
};

std::filesystem::path CheckedDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) {
        throw CommandError{"cannot read the directory " + directory.string() + ": " +
                           (error ? error.message() : "no such directory")};
    }
    return directory;
}

KeyCode ParseKeyCode(const std::string& text) {
    const auto code = ReadExactUnsigned(text, 16);
    if (!code) {
        throw CommandError{"not a hexadecimal key code: \"" + text + "\""};
    }
    return *code;
}

struct LoadedSettings : OwnedSettings {
    SettingsLoadResult result;
};

void Load(const std::filesystem::path& directory, LoadedSettings& settings) {
    settings.result = LoadSettings(CheckedDirectory(directory), settings.view());
}

int Dump(const std::filesystem::path& directory) {
    LoadedSettings settings;
    Load(directory, settings);
    std::cout << ToText(SettingsJson(settings.result, settings.view())) << '\n';
    return 0;
}

int Resave(const std::filesystem::path& directory) {
    LoadedSettings settings;
    Load(directory, settings);
    const bool saved[] = {settings.macros.Save(), settings.assignments.Save(),
                          settings.sideLight.Save(), settings.lighting.Save()};
    const char* names[] = {kMacroFile, kRecordFile, kSideModelFile, kLedEffectFile};
    int status = 0;
    for (size_t i = 0; i < std::size(saved); ++i) {
        if (!saved[i]) {
            std::cerr << "keyrigctl: could not write " << (directory / names[i]).string() << '\n';
            status = 1;
        }
    }
    return status;
}

int Keys() {
    Json list = Json::array();
    for (const KeyTableEntry& entry : KeyTable()) {
        list.push_back(KeyEntryJson(entry));
    }
    std::cout << ToText(list) << '\n';
    return 0;
}

int Key(const std::string& code) {
    std::cout << ToText(KeyEntryJson(FindKey(ParseKeyCode(code)))) << '\n';
    return 0;
}

int Check(const std::filesystem::path& directory) {
    const auto problems = CheckProgramDirectory(CheckedDirectory(directory));
    for (const std::string& line : problems) {
        std::cout << line << '\n';
    }
    if (problems.empty()) {
        std::cout << "no problems\n";
        return 0;
    }
    return kProblemsFound;
}

int Run(int argc, char** argv) {
    CLI::App app{
        "Inspect and check the configuration and data files of Keyrig's program directory.",
        "keyrigctl"};
    app.require_subcommand(1);
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return std::string("keyrigctl: ") + error.what() + " (see --help)\n";
    });

    std::filesystem::path directory = platform::ProgramDirectory();
    const auto addDirectory = [&directory](CLI::App* command) {
        command->add_option("--dir", directory,
                            "The program directory (default: where keyrigctl is)");
    };
    std::string code;
    int status = 0;

    CLI::App* dump = app.add_subcommand(
        "dump",
        "Load config.xml and the data files as start-up does and print them as JSON. A missing "
        "lighting file is written with its defaults, as at start-up.");
    addDirectory(dump);
    dump->callback([&] { status = Dump(directory); });

    CLI::App* resave = app.add_subcommand(
        "resave",
        "Load as dump does, then save macro.xml, record.xml, sidemodel.xml and ledeffect.xml "
        "once. A file that does not parse is kept as NAME.bad first.");
    addDirectory(resave);
    resave->callback([&] { status = Resave(directory); });

    CLI::App* keys = app.add_subcommand("keys", "Print the key table as a JSON array.");
    keys->callback([&] { status = Keys(); });

    CLI::App* key = app.add_subcommand("key", "Print the key table's row for one key code.");
    key->add_option("CODE", code,
                    "Key code in hexadecimal, usage page << 16 | usage id; 0x optional")
        ->required();
    key->callback([&] { status = Key(code); });

    CLI::App* check = app.add_subcommand(
        "check",
        "Report what in the files a user should know of, one line each; exit status 1 when "
        "there is anything. Reads only.");
    addDirectory(check);
    check->callback([&] { status = Check(directory); });

    CLI::App* devices = app.add_subcommand(
        "devices",
        "List the present HID interfaces with the numbers their paths carry, their version and "
        "usage; * marks the keyboard config.xml names. Uses the backend KEYRIG_PLATFORM names.");
    addDirectory(devices);
    devices->callback([&] { status = ListDevices(CheckedDirectory(directory)); });

    CLI::App* firmware = app.add_subcommand(
        "firmware",
        "Ask the keyboard for its firmware version and print it as the window shows it.");
    addDirectory(firmware);
    firmware->callback([&] { status = ShowFirmware(CheckedDirectory(directory)); });

    CLI::App* apply = app.add_subcommand(
        "apply",
        "Send the stored lighting effect and side light to the keyboard, as the program does when "
        "the keyboard arrives. Loads the files as dump does.");
    addDirectory(apply);
    apply->callback([&] { status = ApplyLighting(CheckedDirectory(directory)); });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int exitCode = app.exit(error);
        return exitCode == 0 ? 0 : kUsageError;
    } catch (const CommandError& error) {
        std::cerr << "keyrigctl: " << error.message << '\n';
        return kUsageError;
    }
    return status;
}

}  // namespace
}  // namespace keyrig::ctl

int main(int argc, char** argv) {
    return keyrig::ctl::Run(argc, argv);
}
