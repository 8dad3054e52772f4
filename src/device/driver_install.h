// Making sure the virtual keyboard exists: when it is missing, the device console tool from the
// driver folder beside the program removes any stale device node and installs the drivers anew.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "device/vhidev.h"
#include "platform/platform.h"

namespace keyrig::device {

// The hardware identifier of the virtual keyboard's root device node.
inline constexpr const char* kVirtualHardwareId = R"(root\vhidev)";
// The tool never keeps start-up waiting longer than this.
inline constexpr std::chrono::seconds kToolTimeLimit{120};

// The program directory's "driver" folder, then "x64" on 64-bit Windows, else "x86".
std::filesystem::path driverDirectory(platform::System& system = platform::Current());

// True when the virtual keyboard is open in `vhidev` afterwards. An empty folder means
// driverDirectory().
bool ensureVirtualKeyboard(VHidev& vhidev, const std::filesystem::path& folder = {},
                           platform::System& system = platform::Current());

// Runs " remove root\vhidev"; true when the tool started.
bool removeVirtualDevice(const std::filesystem::path& folder = {},
                         platform::System& system = platform::Current());

// Starts `program` with `commandLine` and waits for it, at most kToolTimeLimit; true when it
// started.
bool runAndWait(const std::filesystem::path& program, const std::string& commandLine,
                platform::System& system = platform::Current());

// The command lines given to the tool; each begins with a blank.
std::string RemoveCommandLine();
std::string InstallCommandLine(const std::filesystem::path& packageDescription);

}  // namespace keyrig::device
