#include "device/driver_install.h"

#include "device/trace.h"

namespace keyrig::device {

std::filesystem::path driverDirectory(platform::System& system) {
    // A 64-bit program on 64-bit Windows needs the x64 drivers as much as a 32-bit one under
    // WOW64 does; the system reports both the same way.
    return system.ModulePath().parent_path() / "driver" / (system.Is64BitSystem() ? "x64" : "x86");
}

std::string RemoveCommandLine() {
    return std::string(" remove ") + kVirtualHardwareId;
}

std::string InstallCommandLine(const std::filesystem::path& packageDescription) {
    return " install \"" + packageDescription.string() + "\" " + kVirtualHardwareId;
}

bool runAndWait(const std::filesystem::path& program, const std::string& commandLine,
                platform::System& system) {
    if (program.empty()) {
        return false;
    }
    switch (system.RunAndWait(program, commandLine, kToolTimeLimit)) {
        case platform::RunOutcome::Finished:
            return true;
        case platform::RunOutcome::TimedOut:
            Trace("%s has not ended after %lld s; going on without it\n", program.string().c_str(),
                  static_cast<long long>(kToolTimeLimit.count()));
            return true;
        case platform::RunOutcome::NotStarted:
            break;
    }
    return false;
}

bool removeVirtualDevice(const std::filesystem::path& folder, platform::System& system) {
    const auto directory = folder.empty() ? driverDirectory(system) : folder;
    return runAndWait(directory / "devcon.exe", RemoveCommandLine(), system);
}

bool ensureVirtualKeyboard(VHidev& vhidev, const std::filesystem::path& folder,
                           platform::System& system) {
    if (vhidev.Open()) {
        return true;
    }
    removeVirtualDevice(folder, system);
    const auto directory = folder.empty() ? driverDirectory(system) : folder;
    auto description = directory / "vhidflt.inf";
    if (platform::KindOf(description) != platform::FileKind::File) {
        description = directory / "vhidev.inf";
    }
    if (!runAndWait(directory / "devcon.exe", InstallCommandLine(description), system)) {
        return false;
    }
    return vhidev.Open();
}

}  // namespace keyrig::device
