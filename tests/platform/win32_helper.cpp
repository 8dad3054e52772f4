// A small program the Windows tests start. It reads its raw command line, because the program is
// started the way the device console tool is: the command line begins with a blank and does not
// repeat the program's name.
//
//   touch FILE          creates FILE
//   sleep MS            waits MS milliseconds
//   mutex NAME FILE     writes "locked" to FILE when it could take the named mutex at once,
//                       "busy" otherwise
//   instance NAME FILE  plays a second copy of the program: writes "running" to FILE when a
//                       copy holds NAME already, "first" otherwise, and brings the running
//                       copy's marked windows forward
//
// Started under the name devcon.exe it appends its command line to devcon.log beside itself.
#include <windows.h>

#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

std::vector<std::wstring> Words(const wchar_t* line) {
    std::vector<std::wstring> words;
    std::wstring word;
    for (; *line != L'\0'; ++line) {
        if (*line == L' ') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += *line;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

std::wstring OwnPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

void WriteFile(const std::wstring& path, const char* text, bool append) {
    std::ofstream(path.c_str(), std::ios::binary | (append ? std::ios::app : std::ios::trunc))
        << text;
}

}  // namespace

int main() {
    const std::wstring self = OwnPath();
    const std::wstring directory = self.substr(0, self.find_last_of(L'\\') + 1);
    const std::wstring name = self.substr(directory.size());
    if (_wcsicmp(name.c_str(), L"devcon.exe") == 0) {
        const int length =
            WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, nullptr, 0, nullptr, nullptr);
        std::string line(static_cast<size_t>(length), '\0');
        WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line.data(), length, nullptr,
                            nullptr);
        line.resize(line.size() - 1);
        WriteFile(directory + L"devcon.log", (line + "\n").c_str(), true);
        return 0;
    }

    std::vector<std::wstring> words = Words(GetCommandLineW());
    if (!words.empty() && words[0].find(L".exe") != std::wstring::npos) {
        words.erase(words.begin());
    }
    if (words.size() == 2 && words[0] == L"touch") {
        WriteFile(words[1], "", false);
        return 0;
    }
    if (words.size() == 2 && words[0] == L"sleep") {
        Sleep(static_cast<DWORD>(std::wcstoul(words[1].c_str(), nullptr, 10)));
        return 0;
    }
    if (words.size() == 3 && words[0] == L"mutex") {
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, words[1].c_str());
        const DWORD waited = WaitForSingleObject(mutex, 0);
        const bool locked = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        WriteFile(words[2], locked ? "locked" : "busy", false);
        if (locked) {
            ReleaseMutex(mutex);
        }
        CloseHandle(mutex);
        return 0;
    }
    if (words.size() == 3 && words[0] == L"instance") {
        const std::string name(words[1].begin(), words[1].end());
        const auto claim = keyrig::platform::ClaimInstance(name);
        WriteFile(words[2], claim ? "first" : "running", false);
        if (!claim) {
            keyrig::platform::BringMarkedWindowsForward(name);
        }
        return 0;
    }
    return 2;
}
