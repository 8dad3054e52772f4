#include "device_commands.h"

#include <chrono>
#include <cstdio>
#include <iostream>

#include "app/settings.h"
#include "device/hid_device.h"
#include "device/hid_discovery.h"
#include "device/keyboard_command_set.h"
#include "device/trace.h"
#include "platform/sim/sim_system.h"

namespace keyrig::ctl {
namespace {

// On the simulated backend, what the keyboard received goes out after the command's own lines,
// as the simulated world logged it.
void PrintWhatTheKeyboardReceived() {
    auto* simulated = dynamic_cast<platform::sim::SimulatedSystem*>(&platform::Current());
    if (simulated == nullptr) {
        return;
    }
    for (const platform::sim::LogEntry& entry : simulated->world().Log()) {
        if (entry.kind.starts_with("kbd.")) {
            std::cout << entry.kind << ' ' << platform::sim::HexBytes(entry.bytes) << '\n';
        }
    }
}

device::KeyboardIdentity ConfiguredKeyboard(const std::filesystem::path& directory) {
    AppConfig config;
    config.loadFile(directory / kConfigFile);
    return {config.vid, config.pid, config.interface, config.subdevice};
}

// Opens the keyboard as the main window does: the first device the configured numbers find.
bool OpenKeyboard(const device::KeyboardIdentity& identity, device::HidDevice& keyboard) {
    std::lock_guard lock(keyboard.openLock());
    const auto found = device::findConfiguredKeyboard(identity);
    if (found.empty() || keyboard.Open(found.front().path) == 0) {
        std::cerr << "keyrigctl: Please insert USB device! (no keyboard with vid " << std::hex
                  << identity.vid << ", pid " << identity.pid << std::dec << ", interface "
                  << identity.interfaceNumber << ", collection " << identity.collectionNumber
                  << " is present)\n";
        return false;
    }
    return true;
}

std::string Hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value) & 0xFFFF);
    return text;
}

}  // namespace

int ListDevices(const std::filesystem::path& directory) {
    device::SetTraceEnabled(false);
    const device::KeyboardIdentity identity = ConfiguredKeyboard(directory);
    const auto keyboard = device::findConfiguredKeyboard(identity);
    const std::string configuredPath = keyboard.empty() ? "" : keyboard.front().path;

    platform::System& system = platform::Current();
    const auto interfaces = system.EnumerateInterfaces(platform::kHidInterfaceClass);
    if (!interfaces) {
        std::cerr << "keyrigctl: the system gave no list of HID interfaces\n";
        return 1;
    }
    std::cout << "backend " << system.name() << ", " << interfaces->size()
              << " HID interfaces; * marks the keyboard\n";
    for (const platform::DeviceInterface& each : *interfaces) {
        std::string line = (each.path == configuredPath ? "* " : "  ") + each.path;
        if (const auto ids = device::parseHidDevicePath(each.path)) {
            line += " vid=" + Hex4(ids->vid) + " pid=" + Hex4(ids->pid) +
                    " interface=" + std::to_string(ids->interfaceNumber) +
                    " collection=" + std::to_string(ids->collectionNumber);
        }
        if (const auto device = system.OpenDevice(
                each.path, 0, platform::kShareRead | platform::kShareWrite, false)) {
            if (const auto attributes = device->GetAttributes()) {
                line += " version=" + Hex4(attributes->version);
            }
            if (const auto caps = device->GetCaps()) {
                line += " usage=" + Hex4(caps->usagePage) + ":" + Hex4(caps->usage);
            }
        }
        std::cout << line << '\n';
    }
    PrintWhatTheKeyboardReceived();
    return 0;
}

int ShowFirmware(const std::filesystem::path& directory) {
    device::SetTraceEnabled(false);
    device::HidDevice keyboard;
    if (!OpenKeyboard(ConfiguredKeyboard(directory), keyboard)) {
        return 1;
    }
    LightingStore lighting;
    SideLightStore sideLight;
    device::KeyboardCommandSet commands(keyboard, lighting, sideLight);
    commands.QueryFirmwareVersion();
    const auto text =
        commands.FirmwareVersionText([](std::string_view english) { return std::string(english); });
    if (!text) {
        std::cerr << "keyrigctl: the keyboard did not answer the version request\n";
        return 1;
    }
    std::cout << *text << '\n';
    PrintWhatTheKeyboardReceived();
    return 0;
}

int ApplyLighting(const std::filesystem::path& directory) {
    device::SetTraceEnabled(false);
    OwnedSettings settings;
    LoadSettings(directory, settings.view());
    const AppConfig& config = settings.config;

    device::HidDevice keyboard;
    if (!OpenKeyboard({config.vid, config.pid, config.interface, config.subdevice}, keyboard)) {
        return 1;
    }
    device::KeyboardCommandSet commands(keyboard, settings.lighting, settings.sideLight);
    commands.ResetPacing();
    commands.ApplyLightingEffect(settings.lighting.selection);
    commands.ApplySideLight(settings.sideLight.selection);
    // The reports leave paced, on the command set's own thread; what the keyboard received is
    // only complete once both have gone.
    if (!commands.WaitUntilSent(std::chrono::seconds(5))) {
        std::cerr << "keyrigctl: the lighting reports were not sent within 5 s\n";
        return 1;
    }
    PrintWhatTheKeyboardReceived();
    return 0;
}

}  // namespace keyrig::ctl
