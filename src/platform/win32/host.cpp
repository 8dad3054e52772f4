// Files and the program's own location on Windows.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace keyrig::platform {

std::filesystem::path ProgramDirectory() {
    return ProgramPath().parent_path();
}

std::filesystem::path ProgramPath() {
    // Paths may be longer than MAX_PATH; grow the buffer until the whole path fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::filesystem::path(std::wstring(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes) {
    auto temporary = target;
    temporary += L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                 std::to_wstring(GetTickCount64() % 1000000) + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool written = true;
    while (written && !bytes.empty()) {
        DWORD chunk = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        written = WriteFile(file, bytes.data(), wanted, &chunk, nullptr) != 0;
        bytes.remove_prefix(chunk);
    }
    written = written && FlushFileBuffers(file) != 0;
    CloseHandle(file);
    if (!written || !MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

namespace {

std::atomic<bool> terminationRequested{false};
HANDLE cleanupDone = nullptr;

BOOL WINAPI NoteTermination(DWORD) {
    terminationRequested = true;
    // Windows ends the process when this returns from a console close; give the program the
    // time to release its keys first.
    if (cleanupDone != nullptr) {
        WaitForSingleObject(cleanupDone, 4000);
    }
    return TRUE;
}

}  // namespace

void CatchTerminationRequests() {
    if (cleanupDone == nullptr) {
        cleanupDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    SetConsoleCtrlHandler(&NoteTermination, TRUE);
}

bool TerminationRequested() {
    return terminationRequested;
}

void TerminationHandled() {
    if (cleanupDone != nullptr) {
        SetEvent(cleanupDone);
    }
}

}  // namespace keyrig::platform
