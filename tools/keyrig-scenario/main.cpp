// keyrig-scenario: Keyrig driven from a script, on the simulated world, with a trace of
// everything the devices received and the program did.
//
// Without a `start` line the script runs on the key road alone, prepared as the main window
// prepares it; with one, on the whole program, started in this process.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <random>

#include "app/settings.h"
#include "platform/platform.h"
#include "runners.h"

namespace keyrig::scenario {
namespace {

constexpr int kScriptError = 2;

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

}  // namespace
}  // namespace keyrig::scenario

int main(int argc, char** argv) {
    using namespace keyrig;
    CLI::App app{
        "Drive Keyrig on the simulated world from a script and print what the devices received "
        "and what the program did. Without a start line only the key road runs.",
        "keyrig-scenario"};
    std::filesystem::path directory;
    std::string scriptFile;
    app.add_option("--dir", directory,
                   "Program directory with config.xml and the data files (default: a fresh one "
                   "with the shipped files)");
    app.add_option("SCRIPT", scriptFile, "The script, or - for standard input")->required();
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return std::string("keyrig-scenario: ") + error.what() + " (see --help)\n";
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : scenario::kScriptError;
    }

    scenario::Script script;
    try {
        if (scriptFile == "-") {
            script = scenario::ParseScript(std::cin);
        } else {
            std::ifstream file(scriptFile);
            if (!file) {
                std::cerr << "keyrig-scenario: cannot read the script " << scriptFile << '\n';
                return scenario::kScriptError;
            }
            script = scenario::ParseScript(file);
        }
    } catch (const scenario::ScriptError& error) {
        std::cerr << "keyrig-scenario: " << error.message << '\n';
        return scenario::kScriptError;
    }

    platform::CatchTerminationRequests();
    std::optional<scenario::ScratchDirectory> scratch;
    if (directory.empty()) {
        directory = scratch.emplace().path();
    } else if (!std::filesystem::is_directory(directory)) {
        std::cerr << "keyrig-scenario: cannot read the directory " << directory.string() << '\n';
        return scenario::kScriptError;
    }
    directory = std::filesystem::absolute(directory);
    return script.startsProgram ? scenario::RunProgram(directory, script, argc, argv)
                                : scenario::RunKeyRoad(directory, script);
}
