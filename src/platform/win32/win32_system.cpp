#include "platform/win32/win32_system.h"

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
#include <dbt.h>
#include <setupapi.h>
// The HID headers are C declarations without linkage of their own.
extern "C" {
#include <hidsdi.h>
}
// clang-format on

#include <algorithm>
#include <initializer_list>
#include <thread>
#include <vector>

namespace keyrig::platform::win32 {
namespace {

GUID ToGuid(const Guid& guid) {
    GUID native;
    native.Data1 = guid.data1;
    native.Data2 = guid.data2;
    native.Data3 = guid.data3;
    std::copy(std::begin(guid.data4), std::end(guid.data4), native.Data4);
    return native;
}

Guid FromGuid(const GUID& native) {
    Guid guid;
    guid.data1 = native.Data1;
    guid.data2 = native.Data2;
    guid.data3 = native.Data3;
    std::copy(std::begin(native.Data4), std::end(native.Data4), guid.data4);
    return guid;
}

// An event handle that closes itself.
struct EventHandle {
    explicit EventHandle(bool manualReset)
        : handle(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {}
    ~EventHandle() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;
    HANDLE handle;
};

// Waits until the overlapped request signals its event, one of `others` is set, or `timeout`
// passes; anything but completion cancels the request. Returns what woke the wait: WAIT_OBJECT_0
// for the request, WAIT_OBJECT_0 + 1 + i for others[i] (empty ones skipped at the end only),
// or WAIT_TIMEOUT. The caller then reaps the request with GetOverlappedResult(..., TRUE).
DWORD AwaitOrCancel(HANDLE device, OVERLAPPED& overlapped, std::initializer_list<HANDLE> others,
                    DWORD timeout) {
    HANDLE waits[4] = {overlapped.hEvent};
    DWORD count = 1;
    for (const HANDLE other : others) {
        if (other != nullptr && count < 4) {
            waits[count++] = other;
        }
    }
    const DWORD woke = WaitForMultipleObjects(count, waits, FALSE, timeout);
    if (woke != WAIT_OBJECT_0) {
        CancelIoEx(device, &overlapped);
    }
    return woke;
}

class Win32Event final : public Event {
  public:
    explicit Win32Event(bool manualReset) : event_(manualReset) {}
    void Set() override { SetEvent(event_.handle); }
    void Reset() override { ResetEvent(event_.handle); }
    // For an auto-reset event this takes the signal, as any wait on it does.
    bool IsSet() const override { return WaitForSingleObject(event_.handle, 0) == WAIT_OBJECT_0; }
    HANDLE native() const { return event_.handle; }

  private:
    EventHandle event_;
};

class Win32Device final : public Device {
  public:
    Win32Device(HANDLE handle, bool overlapped)
        : handle_(handle), overlapped_(overlapped), shutdown_(true) {}
    ~Win32Device() override { CloseHandle(handle_); }

    uint64_t handleValue() const override {
        return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle_));
    }

    std::optional<HidAttributes> GetAttributes() override {
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (!HidD_GetAttributes(handle_, &attributes)) {
            return std::nullopt;
        }
        return HidAttributes{attributes.VendorID, attributes.ProductID, attributes.VersionNumber};
    }

    std::optional<HidCaps> GetCaps() override {
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (!HidD_GetPreparsedData(handle_, &preparsed)) {
            return std::nullopt;
        }
        HIDP_CAPS caps{};
        const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
        HidD_FreePreparsedData(preparsed);
        if (status != HIDP_STATUS_SUCCESS) {
            return std::nullopt;
        }
        return HidCaps{caps.Usage, caps.UsagePage, caps.InputReportByteLength,
                       caps.OutputReportByteLength, caps.FeatureReportByteLength};
    }

    bool GetFeature(std::span<uint8_t> report) override {
        return HidD_GetFeature(handle_, report.data(), static_cast<ULONG>(report.size())) != FALSE;
    }

    bool SetFeature(std::span<const uint8_t> report) override {
        // The call takes a writable buffer though it only reads it.
        std::vector<uint8_t> copy(report.begin(), report.end());
        return HidD_SetFeature(handle_, copy.data(), static_cast<ULONG>(copy.size())) != FALSE;
    }

    WriteOutcome Write(std::span<const uint8_t> data, std::chrono::milliseconds timeout) override {
        WriteOutcome outcome;
        if (!overlapped_) {
            DWORD written = 0;
            if (WriteFile(handle_, data.data(), static_cast<DWORD>(data.size()), &written,
                          nullptr)) {
                outcome.status = WriteOutcome::Status::Written;
                outcome.bytes = written;
            } else {
                outcome.error = GetLastError();
            }
            return outcome;
        }
        EventHandle done(true);
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.handle;
        DWORD written = 0;
        if (WriteFile(handle_, data.data(), static_cast<DWORD>(data.size()), nullptr,
                      &overlapped)) {
            GetOverlappedResult(handle_, &overlapped, &written, TRUE);
            outcome.status = WriteOutcome::Status::Written;
            outcome.bytes = written;
            return outcome;
        }
        outcome.error = GetLastError();
        if (outcome.error != ERROR_IO_PENDING) {
            return outcome;
        }
        outcome.wentPending = true;
        const DWORD woke = AwaitOrCancel(handle_, overlapped, {shutdown_.handle},
                                         static_cast<DWORD>(timeout.count()));
        // Waiting for the result also waits out a cancellation: the caller's buffer is free after.
        if (GetOverlappedResult(handle_, &overlapped, &written, TRUE) && woke == WAIT_OBJECT_0) {
            outcome.status = WriteOutcome::Status::Written;
            outcome.bytes = written;
        } else {
            outcome.status = woke == WAIT_OBJECT_0 ? WriteOutcome::Status::Failed
                                                   : WriteOutcome::Status::TimedOut;
        }
        return outcome;
    }

    ControlOutcome Control(uint32_t code, std::span<const uint8_t> input, std::span<uint8_t> output,
                           const Event* abort) override {
        ControlOutcome outcome;
        if (WaitForSingleObject(shutdown_.handle, 0) == WAIT_OBJECT_0) {
            outcome.error = ERROR_OPERATION_ABORTED;
            return outcome;
        }
        std::vector<uint8_t> in(input.begin(), input.end());
        DWORD returned = 0;
        if (!overlapped_) {
            if (DeviceIoControl(handle_, code, in.data(), static_cast<DWORD>(in.size()),
                                output.data(), static_cast<DWORD>(output.size()), &returned,
                                nullptr)) {
                outcome.status = ControlOutcome::Status::Completed;
                outcome.bytes = returned;
            } else {
                outcome.error = GetLastError();
            }
            return outcome;
        }
        // Each request has an event of its own, so it learns of its own completion and not of
        // another request's on the same handle.
        EventHandle done(true);
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.handle;
        if (!DeviceIoControl(handle_, code, in.data(), static_cast<DWORD>(in.size()), output.data(),
                             static_cast<DWORD>(output.size()), nullptr, &overlapped)) {
            outcome.error = GetLastError();
            if (outcome.error != ERROR_IO_PENDING) {
                return outcome;
            }
            const auto* event = dynamic_cast<const Win32Event*>(abort);
            const DWORD woke =
                AwaitOrCancel(handle_, overlapped,
                              {shutdown_.handle, event ? event->native() : nullptr}, INFINITE);
            if (woke == WAIT_OBJECT_0 + 2) {
                outcome.status = ControlOutcome::Status::Aborted;
            }
        }
        // A request that completed while it was being cancelled keeps its data.
        if (GetOverlappedResult(handle_, &overlapped, &returned, TRUE)) {
            outcome.status = ControlOutcome::Status::Completed;
            outcome.bytes = returned;
            outcome.error = 0;
        } else if (outcome.status != ControlOutcome::Status::Aborted) {
            outcome.status = ControlOutcome::Status::Failed;
            outcome.error = GetLastError();
        }
        return outcome;
    }

    void Shutdown() override { SetEvent(shutdown_.handle); }

  private:
    HANDLE handle_;
    const bool overlapped_;
    EventHandle shutdown_;  // manual reset: once set, every request ends at once
};

class Win32NamedMutex final : public NamedMutex {
  public:
    explicit Win32NamedMutex(HANDLE handle) : handle_(handle) {}
    ~Win32NamedMutex() override {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    // A Windows mutex is re-entrant for the thread that owns it; an abandoned one is owned too.
    void lock() override { WaitForSingleObject(handle_, INFINITE); }
    void unlock() override { ReleaseMutex(handle_); }

  private:
    HANDLE handle_;
};

// Device-interface notices need a window; this one is message-only and lives on its own thread,
// which the watch starts and joins.
class Win32Watch final : public DeviceWatch {
  public:
    explicit Win32Watch(DeviceChangeSink& sink) : sink_(sink) {
        EventHandle ready(true);
        thread_ = std::thread([this, &ready] { Run(ready.handle); });
        WaitForSingleObject(ready.handle, INFINITE);
    }
    ~Win32Watch() override {
        if (window_ != nullptr) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        thread_.join();
    }

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        auto* self = reinterpret_cast<Win32Watch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_DEVICECHANGE && self != nullptr &&
            (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
            const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
            if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
                const auto* notice =
                    reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
                const std::string path = Narrow(notice->dbcc_name);
                if (wParam == DBT_DEVICEARRIVAL) {
                    self->sink_.OnDeviceArrival(path);
                } else {
                    self->sink_.OnDeviceRemoval(path);
                }
            }
            return TRUE;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void Run(HANDLE ready) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &WindowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KeyrigDeviceWatch";
        RegisterClassExW(&windowClass);  // fails harmlessly when already registered
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
        HDEVNOTIFY registration = nullptr;
        if (window_ != nullptr) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            DEV_BROADCAST_DEVICEINTERFACE_W filter{};
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = ToGuid(kHidInterfaceClass);
            registration = RegisterDeviceNotificationW(
                window_, &filter,
                DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
        }
        SetEvent(ready);
        if (window_ == nullptr) {
            return;
        }
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            DispatchMessageW(&message);
        }
        if (registration != nullptr) {
            UnregisterDeviceNotification(registration);
        }
    }

    DeviceChangeSink& sink_;
    HWND window_ = nullptr;  // written by the thread before `ready`, read after
    std::thread thread_;
};

}  // namespace

std::wstring Widen(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
    return narrow;
}

std::optional<std::vector<DeviceInterface>> Win32System::EnumerateInterfaces(
    const Guid& interfaceClass) {
    const GUID guid = ToGuid(interfaceClass);
    const HDEVINFO set =
        SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<DeviceInterface> found;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data); ++index) {
        DeviceInterface each{"", FromGuid(data.InterfaceClassGuid), data.Flags};
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
        if (size >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            std::vector<uint8_t> buffer(size);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr)) {
                each.path = Narrow(detail->DevicePath);
            }
        }
        found.push_back(std::move(each));  // an empty path tells the caller the details failed
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

System::InterfaceList Win32System::ListInterfaces(const Guid& interfaceClass) {
    InterfaceList list;
    GUID guid = ToGuid(interfaceClass);
    ULONG size = 0;
    list.sizeError = CM_Get_Device_Interface_List_SizeW(&size, &guid, nullptr,
                                                        CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
    if (list.sizeError != CR_SUCCESS || size <= 1) {
        return list;
    }
    std::vector<wchar_t> buffer(size, L'\0');
    list.listError = CM_Get_Device_Interface_ListW(&guid, nullptr, buffer.data(), size,
                                                   CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
    if (list.listError != CR_SUCCESS) {
        return list;
    }
    for (const wchar_t* path = buffer.data(); *path != L'\0'; path += wcslen(path) + 1) {
        list.paths.push_back(Narrow(path));
    }
    return list;
}

std::unique_ptr<Device> Win32System::OpenDevice(std::string_view path, uint32_t access,
                                                uint32_t share, bool overlapped, uint32_t* error) {
    const HANDLE handle =
        CreateFileW(Widen(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                    overlapped ? FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL : 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) {
            *error = GetLastError();
        }
        return nullptr;
    }
    return std::make_unique<Win32Device>(handle, overlapped);
}

std::unique_ptr<Event> Win32System::NewEvent(bool manualReset) {
    return std::make_unique<Win32Event>(manualReset);
}

std::unique_ptr<NamedMutex> Win32System::NewNamedMutex(std::string_view name) {
    return std::make_unique<Win32NamedMutex>(CreateMutexW(nullptr, FALSE, Widen(name).c_str()));
}

RunOutcome Win32System::RunAndWait(const std::filesystem::path& program,
                                   std::string_view commandLine, std::chrono::milliseconds limit) {
    std::wstring line = Widen(commandLine);  // the call may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.wstring().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return RunOutcome::NotStarted;
    }
    CloseHandle(process.hThread);
    const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(limit.count()));
    CloseHandle(process.hProcess);
    return waited == WAIT_OBJECT_0 ? RunOutcome::Finished : RunOutcome::TimedOut;
}

bool Win32System::Is64BitSystem() {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::filesystem::path Win32System::ModulePath() {
    return ProgramPath();
}

uint64_t Win32System::TickMilliseconds() {
    return GetTickCount64();
}

std::unique_ptr<DeviceWatch> Win32System::WatchDeviceChanges(DeviceChangeSink& sink) {
    return std::make_unique<Win32Watch>(sink);
}

}  // namespace keyrig::platform::win32
