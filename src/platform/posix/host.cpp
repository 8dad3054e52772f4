// Files and the program's own location on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace keyrig::platform {

std::filesystem::path ProgramPath() {
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program;
}

std::filesystem::path ProgramDirectory() {
    return ProgramPath().parent_path();
}

namespace {

bool WriteAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The directory entry of a renamed file is only durable once the directory itself is synced.
void SyncDirectory(const std::filesystem::path& directory) {
    const int descriptor =
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target) {
    static thread_local std::mt19937 generator{std::random_device{}()};
    auto name = target;
    name += "." + std::to_string(generator() % 1000000) + ".tmp";
    return name;
}

}  // namespace

bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes) {
    std::filesystem::path temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
        temporary = TemporaryNameBeside(target);
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (descriptor < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (descriptor < 0) {
        return false;
    }
    const bool written = WriteAll(descriptor, bytes) && ::fsync(descriptor) == 0;
    const bool closed = ::close(descriptor) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncDirectory(target.parent_path());
    return true;
}

namespace {

// An exclusive lock on a file of the runtime folder: the system drops it when the process ends,
// however it ends, so a crashed copy never keeps the next one from starting.
class FileLockClaim final : public InstanceClaim {
  public:
    explicit FileLockClaim(int descriptor) : descriptor_(descriptor) {}
    ~FileLockClaim() override { ::close(descriptor_); }

  private:
    int descriptor_;
};

}  // namespace

std::filesystem::path RuntimeDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
        return runtime;
    }
    std::error_code ignored;
    auto folder =
        std::filesystem::temp_directory_path(ignored) / ("keyrig-" + std::to_string(::getuid()));
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ignored);
    return folder;
}

std::unique_ptr<InstanceClaim> ClaimInstance(std::string_view name) {
    const auto path = RuntimeDirectory() / (std::string(name) + ".lock");
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        // Without a lock file every copy runs; better than none.
        return std::make_unique<FileLockClaim>(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return nullptr;
    }
    return std::make_unique<FileLockClaim>(descriptor);
}

bool MarkWindow(uintptr_t /*window*/, std::string_view /*name*/) {
    return false;
}

void UnmarkWindow(uintptr_t /*window*/, std::string_view /*name*/) {}

bool BringMarkedWindowsForward(std::string_view /*name*/) {
    return false;
}

namespace {
volatile sig_atomic_t terminationRequested = 0;
extern "C" void NoteTermination(int) {
    terminationRequested = 1;
}
}  // namespace

void CatchTerminationRequests() {
    struct sigaction action {};
    action.sa_handler = &NoteTermination;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool TerminationRequested() {
    return terminationRequested != 0;
}

void TerminationHandled() {}

}  // namespace keyrig::platform
