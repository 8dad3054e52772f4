// The channel to the keyboard's command interface: 8-byte feature reports both ways and 8-byte
// output reports out. Each operation runs under a system-wide lock of its own name, so calls of
// one operation never overlap, across threads and across processes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "platform/platform.h"

namespace keyrig::device {

class HidDevice final {
  public:
    // Read and write access, shared for reading and writing: the only access word the program uses.
    static constexpr uint32_t kReadWriteShared = 0xC0000003;
    static constexpr uint32_t kWriteTimeoutMs = 3000;
    static constexpr size_t kReportLength = 8;

    enum class State { NeverOpened, Open, OpenFailed, Closed };

    explicit HidDevice(platform::System& system = platform::Current());
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // 1 when the device at `path` opened; an open channel is closed first.
    int Open(const std::string& path, uint32_t access = kReadWriteShared);
    // Opens the first device findHidDevices gives for these identifiers; 0 when none matches,
    // and then the open channel is left as it was.
    int Open(int32_t vid, std::span<const int32_t> pids, int32_t interfaceNumber,
             int32_t collectionNumber, uint32_t access = kReadWriteShared);
    void Close();

    // `report` is 8 bytes starting with the report ID. 1 on success, 0 otherwise.
    int GetFeature(uint8_t* report);
    int SetFeature(const uint8_t* report);
    // Sends an output report, waiting at most 3000 ms; the bytes written, 0 on failure or timeout.
    int Write(const uint8_t* report);

    bool isOpen() const;
    State state() const;
    platform::HidCaps caps() const;

    // The lock "HidDevice::Open", for callers that find and open in one step of their own.
    platform::NamedMutex& openLock() { return *openLock_; }

  private:
    platform::System& system_;
    std::unique_ptr<platform::NamedMutex> openLock_;
    std::unique_ptr<platform::NamedMutex> closeLock_;
    std::unique_ptr<platform::NamedMutex> writeLock_;
    std::unique_ptr<platform::NamedMutex> getFeatureLock_;
    std::unique_ptr<platform::NamedMutex> setFeatureLock_;

    // The device and what is known of it. Opened and closed on the UI thread and used from the
    // task worker too, so each access holds stateLock_ besides the operation's named lock.
    mutable std::mutex stateLock_;
    std::unique_ptr<platform::Device> handle_;  // by stateLock_
    State state_ = State::NeverOpened;          // by stateLock_
    platform::HidCaps caps_;                    // by stateLock_
};

}  // namespace keyrig::device
