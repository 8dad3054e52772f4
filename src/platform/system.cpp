// Which backend is in force.
#include <cstdlib>
#include <mutex>
#include <utility>

#include "platform/platform.h"
#include "platform/sim/sim_system.h"

#ifdef _WIN32
#include "platform/win32/win32_system.h"
#endif

namespace keyrig::platform {
namespace {

std::mutex installLock;
std::unique_ptr<System> installed;  // by installLock

std::unique_ptr<System> MakeBackend(const std::string& name) {
#ifdef _WIN32
    if (name == "win32") {
        return std::make_unique<win32::Win32System>();
    }
#endif
    (void)name;
    return std::make_unique<sim::SimulatedSystem>();
}

}  // namespace

bool ChangeCurrentDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    std::filesystem::current_path(directory, error);
    return !error;
}

FileKind KindOf(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        return FileKind::Missing;
    }
    return std::filesystem::is_directory(status) ? FileKind::Directory : FileKind::File;
}

std::string RequestedBackend() {
    const char* requested = std::getenv("KEYRIG_PLATFORM");
    if (requested != nullptr && *requested != '\0') {
        return requested;
    }
#ifdef _WIN32
    return "win32";
#else
    return "sim";
#endif
}

System& Current() {
    std::lock_guard lock(installLock);
    if (!installed) {
        installed = MakeBackend(RequestedBackend());
    }
    return *installed;
}

std::unique_ptr<System> Install(std::unique_ptr<System> system) {
    std::lock_guard lock(installLock);
    return std::exchange(installed, std::move(system));
}

}  // namespace keyrig::platform
