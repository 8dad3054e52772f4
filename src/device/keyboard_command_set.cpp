#include "device/keyboard_command_set.h"

#include <thread>

namespace keyrig::device {
namespace {

// The window's option choice 1..3 goes out as 0..2; anything else as it is.
uint8_t OptionByte(uint8_t option) {
    return option >= 1 && option <= 3 ? static_cast<uint8_t>(option - 1) : option;
}

}  // namespace

std::optional<Report> LightingEffectReport(const LightingStore& lighting, int index) {
    if (index == -1) {
        index = lighting.selection;
    }
    if (index < 0 || index >= LightingStore::kEffectCount) {
        return std::nullopt;
    }
    const LightingSlot& slot = lighting.slots[static_cast<size_t>(index)];
    return Report{0x07,
                  0xFF,
                  0xFF,
                  static_cast<uint8_t>(index),
                  slot.brightness,
                  slot.speed,
                  OptionByte(slot.option),
                  0x00};
}

std::optional<Report> StartupLightingEffectReport(const LightingStore& lighting, int index) {
    if (index < 0 || index >= LightingStore::kEffectCount) {
        return std::nullopt;
    }
    const LightingSlot& slot = lighting.slots[static_cast<size_t>(index)];
    return Report{
        0x07,       0xFF,           0xFF,       static_cast<uint8_t>(index), slot.brightness,
        slot.speed, slot.direction, slot.option};
}

std::optional<Report> SideLightReport(const SideLightStore& sideLight, int index) {
    if (index == -1) {
        index = sideLight.selection;
    }
    if (index < 0 || index >= SideLightStore::kModeCount) {
        return std::nullopt;
    }
    const uint8_t level = sideLight.levels[static_cast<size_t>(index)];
    return Report{
        0x07, 0xFF, 0xFF, 0x20, 0x00, 0x00, static_cast<uint8_t>((level << 4) | (index & 0x0F)),
        0x00};
}

KeyboardCommandSet::KeyboardCommandSet(HidDevice& device, LightingStore& lighting,
                                       SideLightStore& sideLight, platform::System& system)
    : device_(device), lighting_(lighting), sideLight_(sideLight), system_(system) {}

void KeyboardCommandSet::ResetPacing() {
    lastCommandTime = system_.TickMilliseconds();
}

void KeyboardCommandSet::SendPaced(const Report& report) {
    const uint64_t elapsed = system_.TickMilliseconds() - lastCommandTime;
    if (elapsed < kPacingMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPacingMs - elapsed));
    }
    device_.SetFeature(report.data());
    lastCommandTime = system_.TickMilliseconds();
}

void KeyboardCommandSet::ApplyLightingEffect(int index) {
    if (const auto report = LightingEffectReport(lighting_, index)) {
        SendPaced(*report);
    }
}

int KeyboardCommandSet::SendStartupLightingEffect(int /*first*/, int second, const void* /*data*/,
                                                  size_t /*size*/) {
    if (const auto report = StartupLightingEffectReport(lighting_, second)) {
        device_.SetFeature(report->data());
    }
    return 0;
}

void KeyboardCommandSet::ApplySideLight(int index) {
    if (const auto report = SideLightReport(sideLight_, index)) {
        SendPaced(*report);
    }
}

void KeyboardCommandSet::QueryFirmwareVersion() {
    if (!device_.isOpen()) {
        return;
    }
    Report buffer = kVersionRequest;
    if (device_.SetFeature(buffer.data()) && device_.GetFeature(buffer.data())) {
        firmwareVersion = (buffer[1] << 8) | buffer[2];
    }
}

std::optional<std::string> KeyboardCommandSet::FirmwareVersionText(
    const std::function<std::string(std::string_view)>& translate) const {
    if (firmwareVersion == -1) {
        return std::nullopt;
    }
    if (firmwareVersion == 0) {
        return translate("Firmware") + translate(": ") + translate("Early version");
    }
    return translate("Firmware") + ": v" + std::to_string((firmwareVersion >> 8) & 0xFF) + "." +
           std::to_string(firmwareVersion & 0xFF);
}

int KeyboardCommandSet::SendFactoryReset() {
    Report report = kFactoryResetReport;
    return device_.Write(report.data());
}

}  // namespace keyrig::device
