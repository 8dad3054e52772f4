// The Windows backend: the real system calls behind the port.
#pragma once

#include "platform/platform.h"

namespace keyrig::platform::win32 {

class Win32System final : public System {
  public:
    std::string_view name() const override { return "win32"; }
    std::optional<std::vector<DeviceInterface>> EnumerateInterfaces(
        const Guid& interfaceClass) override;
    InterfaceList ListInterfaces(const Guid& interfaceClass) override;
    std::unique_ptr<Device> OpenDevice(std::string_view path, uint32_t access, uint32_t share,
                                       bool overlapped, uint32_t* error) override;
    std::unique_ptr<Event> NewEvent(bool manualReset) override;
    std::unique_ptr<NamedMutex> NewNamedMutex(std::string_view name) override;
    RunOutcome RunAndWait(const std::filesystem::path& program, std::string_view commandLine,
                          std::chrono::milliseconds limit) override;
    bool Is64BitSystem() override;
    std::filesystem::path ModulePath() override;
    uint64_t TickMilliseconds() override;
    std::unique_ptr<DeviceWatch> WatchDeviceChanges(DeviceChangeSink& sink) override;
};

// UTF-8 to the system's wide strings and back.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace keyrig::platform::win32
