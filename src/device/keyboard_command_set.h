// The keyboard's commands: 8-byte reports with report ID 7 that set the lighting and the side
// light, ask for the firmware version, and reset the keyboard to its factory settings.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "device/hid_device.h"
#include "platform/platform.h"
#include "store/lighting_store.h"

namespace keyrig::device {

using Report = std::array<uint8_t, 8>;

// The reports, as the keyboard takes them.
std::optional<Report> LightingEffectReport(const LightingStore& lighting, int index);
std::optional<Report> StartupLightingEffectReport(const LightingStore& lighting, int index);
std::optional<Report> SideLightReport(const SideLightStore& sideLight, int index);
inline constexpr Report kVersionRequest{0x07, 0xF1, 0, 0, 0, 0, 0, 0};
inline constexpr Report kFactoryResetReport{0x07, 0xF0, 0xAA, 0, 0, 0, 0, 0};

class KeyboardCommandSet final {
  public:
    // Lighting and side-light commands leave at least this far apart.
    static constexpr uint64_t kPacingMs = 100;

    KeyboardCommandSet(HidDevice& device, LightingStore& lighting, SideLightStore& sideLight,
                       platform::System& system = platform::Current());

    // Effect `index` 0..19 (-1: the stored selection) as the lighting-effect report. Paced.
    void ApplyLightingEffect(int index);
    // The start-up task's routine: effect `second` in the start-up layout. Not paced. Returns 0.
    int SendStartupLightingEffect(int first, int second, const void* data, size_t size);
    // Side-light mode `index` 0..11 (-1: the stored selection). Paced.
    void ApplySideLight(int index);
    // Asks the keyboard for its version; `firmwareVersion` keeps its value when that fails.
    void QueryFirmwareVersion();
    // The text for the window's version control, through `translate`; nothing for -1.
    std::optional<std::string> FirmwareVersionText(
        const std::function<std::string(std::string_view)>& translate) const;
    // The factory-reset output report; the bytes written.
    int SendFactoryReset();

    // Starts the pacing afresh: at initialisation and at each arrival of the keyboard.
    void ResetPacing();

    uint64_t lastCommandTime = 0;  // ms of the system's tick; UI thread only
    int32_t firmwareVersion = -1;  // major in bits 15..8, minor in 7..0; -1 for none read

  private:
    void SendPaced(const Report& report);

    HidDevice& device_;
    LightingStore& lighting_;
    SideLightStore& sideLight_;
    platform::System& system_;
};

}  // namespace keyrig::device
