// The virtual keyboard: a HID device of our own driver (vendor 0xDEED, product 0xFEED) that turns
// 64-byte output reports into keyboard, pointer, consumer-control and system-control input.
// VHidev holds the device and the current content of the four inner reports.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/platform.h"

namespace keyrig::device {

inline constexpr uint16_t kVirtualKeyboardVendor = 0xDEED;
inline constexpr uint16_t kVirtualKeyboardProduct = 0xFEED;
inline constexpr uint16_t kVirtualKeyboardUsagePage = 0xFF00;
inline constexpr uint16_t kVirtualKeyboardUsage = 0x01;
inline constexpr size_t kVirtualReportLength = 64;
inline constexpr uint8_t kVirtualReportId = 0x05;

struct IVHidevProxy {
    virtual ~IVHidevProxy() = default;
    // Sends one inner report; true when the device took it.
    virtual bool SendReport(const void* data, size_t length, uint8_t id) = 0;
};

// One inner report: its ID, its current data, and where it is sent.
template <size_t Length>
struct ReportSlot {
    uint8_t id;
    std::array<uint8_t, Length> data{};
    IVHidevProxy* target;

    bool Send() const { return target->SendReport(data.data(), data.size(), id); }
};

class VHidev final : public IVHidevProxy {
  public:
    static VHidev& Instance();

    explicit VHidev(platform::System& system = platform::Current());
    ~VHidev() override;

    bool SendReport(const void* data, size_t length, uint8_t id) override;
    // Clears and sends the keyboard, pointer, consumer and system reports, in that order.
    void releaseAll();
    // Looks for the device again, closing the one held; true when found.
    bool Open();
    bool isOpen() const;

    // Key injection changes a slot and sends it under this lock, so changes from two threads
    // never lose each other's keys.
    std::mutex slotLock;
    ReportSlot<33> keyboardSlot{1, {}, this};  // byte 0 unused, then one bit per usage id
    ReportSlot<4> pointerSlot{2, {}, this};    // buttons, x, y, wheel
    ReportSlot<2> consumerSlot{3, {}, this};   // one consumer usage, little-endian
    ReportSlot<2> systemSlot{4, {}, this};     // one system-control usage, little-endian

  private:
    platform::System& system_;
    mutable std::mutex writeLock_;
    std::unique_ptr<platform::Device> handle_;  // by writeLock_
};

// Looks through the present interfaces of `interfaceClass` for the virtual keyboard; the last
// match wins. False, with `handle` empty, when there is none.
bool findVirtualKeyboard(const platform::Guid& interfaceClass,
                         std::unique_ptr<platform::Device>* handle,
                         platform::System& system = platform::Current());
bool isVirtualKeyboard(platform::Device& device);
// Whether the device interface at `path` is the virtual keyboard's report sink.
bool isVirtualKeyboardPath(const std::string& path, platform::System& system = platform::Current());

}  // namespace keyrig::device
