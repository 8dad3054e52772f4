#include "device/hid_device.h"

#include <algorithm>

#include "device/hid_discovery.h"
#include "device/trace.h"

namespace keyrig::device {
namespace {

unsigned long long HandleText(const platform::Device* device) {
    return device ? static_cast<unsigned long long>(device->handleValue()) : ~0ULL;
}

}  // namespace

HidDevice::HidDevice(platform::System& system)
    : system_(system),
      openLock_(system.NewNamedMutex("HidDevice::Open")),
      closeLock_(system.NewNamedMutex("HidDevice::Close")),
      writeLock_(system.NewNamedMutex("HidDevice::Write")),
      getFeatureLock_(system.NewNamedMutex("HidDevice::GetFeature")),
      setFeatureLock_(system.NewNamedMutex("HidDevice::SetFeature")) {}

HidDevice::~HidDevice() = default;

int HidDevice::Open(const std::string& path, uint32_t access) {
    std::lock_guard operation(*openLock_);
    if (path.empty()) {
        return 0;
    }
    std::unique_ptr<platform::Device> previous;
    {
        std::lock_guard lock(stateLock_);
        previous = std::move(handle_);
    }
    previous.reset();  // the old handle is closed before the new one is opened

    const uint32_t rights = access & 0xFF000000;
    const uint32_t share = access & 0xFF;
    auto device = system_.OpenDevice(path, rights, share, true);
    Trace("open dev: %08llx\n", HandleText(device.get()));
    if (!device) {
        std::lock_guard lock(stateLock_);
        state_ = State::OpenFailed;
        return 0;
    }

    // The capabilities come through a second, query-only handle.
    platform::HidCaps caps;
    bool haveCaps = false;
    if (auto query =
            system_.OpenDevice(path, 0, platform::kShareRead | platform::kShareWrite, false)) {
        query->GetAttributes();
        if (const auto read = query->GetCaps()) {
            caps = *read;
            haveCaps = true;
        }
    }
    std::lock_guard lock(stateLock_);
    handle_ = std::move(device);
    state_ = State::Open;
    if (haveCaps) {
        caps_ = caps;
    }
    return 1;
}

int HidDevice::Open(int32_t vid, std::span<const int32_t> pids, int32_t interfaceNumber,
                    int32_t collectionNumber, uint32_t access) {
    std::lock_guard operation(*openLock_);
    const auto found = findHidDevices(vid, pids, interfaceNumber, collectionNumber, system_);
    if (found.empty()) {
        return 0;
    }
    return Open(found.front().path, access);
}

void HidDevice::Close() {
    std::lock_guard operation(*closeLock_);
    std::unique_ptr<platform::Device> closing;
    {
        std::lock_guard lock(stateLock_);
        if (state_ == State::Open) {
            closing = std::move(handle_);
            state_ = State::Closed;
        }
    }
}

int HidDevice::GetFeature(uint8_t* report) {
    std::lock_guard operation(*getFeatureLock_);
    std::lock_guard lock(stateLock_);
    if (report == nullptr || !handle_) {
        return 0;
    }
    return handle_->GetFeature(std::span(report, kReportLength)) ? 1 : 0;
}

int HidDevice::SetFeature(const uint8_t* report) {
    std::lock_guard operation(*setFeatureLock_);
    std::lock_guard lock(stateLock_);
    if (report == nullptr || !handle_) {
        return 0;
    }
    return handle_->SetFeature(std::span(report, kReportLength)) ? 1 : 0;
}

int HidDevice::Write(const uint8_t* report) {
    std::lock_guard operation(*writeLock_);
    std::lock_guard lock(stateLock_);
    int written = 0;
    if (report != nullptr && handle_) {
        const unsigned long long handle = HandleText(handle_.get());
        size_t length = kReportLength;
        Trace("写(异步)USB设备 handle=%08llx, data=%08llx, len=%d, timeout=%d\n", handle,
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(report)),
              static_cast<int>(length), static_cast<int>(kWriteTimeoutMs));
        if (caps_.outputReportLength != 0 && caps_.outputReportLength < length) {
            length = caps_.outputReportLength;
        }
        Trace("正在写入... %d\n", static_cast<int>(length));
        const platform::WriteOutcome outcome =
            handle_->Write(std::span(report, length), std::chrono::milliseconds(kWriteTimeoutMs));
        if (outcome.status == platform::WriteOutcome::Status::Written && !outcome.wentPending) {
            written = static_cast<int>(outcome.bytes);
        } else {
            Trace("写文件错误(%04llx,%d)\n", handle, static_cast<int>(outcome.error));
            if (!outcome.wentPending) {
                Trace("写文件错误(%04llx,%d)\n", handle, static_cast<int>(outcome.error));
            } else if (outcome.status == platform::WriteOutcome::Status::Written) {
                Trace("asynchronous write succeed : %llx\n", handle);
                written = static_cast<int>(outcome.bytes);
            } else {
                // The port has cancelled the write before returning: the report is ours again.
                Trace("超时索引错误\n");
            }
        }
    }
    Trace("已写长度为 %d\n", written);
    return written;
}

bool HidDevice::isOpen() const {
    std::lock_guard lock(stateLock_);
    return handle_ != nullptr;
}

HidDevice::State HidDevice::state() const {
    std::lock_guard lock(stateLock_);
    return state_;
}

platform::HidCaps HidDevice::caps() const {
    std::lock_guard lock(stateLock_);
    return caps_;
}

}  // namespace keyrig::device
