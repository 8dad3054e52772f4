// Files and the program's own location on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
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
