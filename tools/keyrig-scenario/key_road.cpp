// The key road alone: what a key does from the filter driver to the virtual keyboard.
#include <iostream>
#include <thread>

#include "../keyrigctl/json_view.h"
#include "app/settings.h"
#include "device/filter_channel.h"
#include "device/trace.h"
#include "device/vhidev.h"
#include "engine/remap_engine.h"
#include "runners.h"
#include "trace_lines.h"

namespace keyrig::scenario {

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

int RunKeyRoad(const std::filesystem::path& directory, const Script& script) {
    device::SetTraceEnabled(false);
    auto simulated = std::make_unique<platform::sim::SimulatedSystem>();
    platform::sim::World& world = simulated->world();
    platform::Install(std::move(simulated));

    OwnedSettings settings;
    const SettingsLoadResult loaded = LoadSettings(directory, settings.view());
    const KeyAssignmentStore& assignments = settings.assignments;

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

            start = std::chrono::steady_clock::now();
            // A line ends once the engine has done what the key asks at once: the dispatcher has
            // handed it out and a macro it started has sent its first report.
            const auto settle = [&world, &remapper] {
                world.WaitUntilKeysHandled(std::chrono::seconds(1));
                remapper.WaitForMacroStart(std::chrono::seconds(1));
            };
            for (const Command& command : script.commands) {
                if (platform::TerminationRequested()) {
                    break;
                }
                Note(world, "script", command.line);
                const std::string& verb = command.verb;
                if (verb == "press" || verb == "tap") {
                    world.PressKey(command.code);
                    settle();
                }
                if (verb == "tap") {
                    Pass(command.ms);
                }
                if (verb == "release" || verb == "tap") {
                    world.ReleaseKey(command.code);
                    settle();
                } else if (verb == "wait") {
                    Pass(command.ms);
                } else if (verb == "keyboard" && command.words[0] != "firmware") {
                    world.SetKeyboardPresent(command.words[0] == "present");
                } else if (verb == "keyboard") {
                    world.SetFirmwareVersion(static_cast<uint16_t>(command.first));
                } else if (verb == "virtual") {
                    world.SetVirtualKeyboardPresent(command.words[0] == "present");
                } else if (verb == "unplug" || verb == "plug") {
                    world.SetKeyboardPresent(verb == "plug");
                } else if (verb == "dump") {
                    Note(world, "dump", ctl::ToText(ctl::SettingsJson(loaded, settings.view())));
                }
            }
            const auto limit = std::chrono::steady_clock::now() + kMacroEndLimit;
            while (remapper.MacroPlaying() && std::chrono::steady_clock::now() < limit &&
                   !platform::TerminationRequested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }  // the engine goes as the main window does: macro stopped, every key released
    }      // then the filter channel: listener stopped, the driver's key list cleared
    const auto log = world.Log();
    platform::TerminationHandled();
    PrintTrace(std::cout, log, start, 0);
    return 0;
}

}  // namespace keyrig::scenario
