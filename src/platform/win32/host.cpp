// Files and the program's own location on Windows.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_system.h"

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

namespace {

// The named mutex is only a marker: created owned, never waited on, closed at the end.
class MutexClaim final : public InstanceClaim {
  public:
    explicit MutexClaim(HANDLE mutex) : mutex_(mutex) {}
    ~MutexClaim() override { CloseHandle(mutex_); }

  private:
    HANDLE mutex_;
};

}  // namespace

std::unique_ptr<InstanceClaim> ClaimInstance(std::string_view name) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, win32::Widen(name).c_str());
    // The handle of an existing mutex is valid too; only the last error tells.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex != nullptr) {
            CloseHandle(mutex);
        }
        return nullptr;
    }
    return std::make_unique<MutexClaim>(mutex);
}

bool MarkWindow(uintptr_t window, std::string_view name) {
    return SetPropW(reinterpret_cast<HWND>(window), win32::Widen(name).c_str(),
                    reinterpret_cast<HANDLE>(1)) != FALSE;
}

void UnmarkWindow(uintptr_t window, std::string_view name) {
    RemovePropW(reinterpret_cast<HWND>(window), win32::Widen(name).c_str());
}

bool BringMarkedWindowsForward(std::string_view name) {
    const std::wstring property = win32::Widen(name);
    // Every marked window, not only the first: a copy may have more than one.
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); IsWindow(window);
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetPropW(window, property.c_str()) == nullptr) {
            continue;
        }
        if (IsIconic(window)) {
            ShowWindow(window, SW_RESTORE);
        }
        if (!IsWindowVisible(window)) {
            ShowWindow(window, SW_SHOW);
        }
        SetForegroundWindow(window);
    }
    return true;
}

std::filesystem::path RuntimeDirectory() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return length == 0 ? std::filesystem::path()
                       : std::filesystem::path(std::wstring(buffer, length));
}

}  // namespace keyrig::platform
