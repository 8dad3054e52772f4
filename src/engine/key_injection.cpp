#include "engine/key_injection.h"

#include <mutex>

namespace keyrig::engine {
namespace {

constexpr uint16_t kGenericDesktop = 0x0001;
constexpr uint16_t kKeyboard = 0x0007;
constexpr uint16_t kButtons = 0x0005;
constexpr uint16_t kConsumer = 0x000C;

void SetBit(uint8_t& byte, unsigned bit, bool on) {
    if (on) {
        byte = static_cast<uint8_t>(byte | (1u << bit));
    } else {
        byte = static_cast<uint8_t>(byte & ~(1u << bit));
    }
}

void SetUsage(std::array<uint8_t, 2>& data, uint16_t usage) {
    data[0] = static_cast<uint8_t>(usage & 0xFF);
    data[1] = static_cast<uint8_t>(usage >> 8);
}

}  // namespace

int32_t InjectKey(device::VHidev& vhidev, uint16_t usagePage, uint16_t usageId, bool pressed) {
    std::lock_guard lock(vhidev.slotLock);
    switch (usagePage) {
        case kKeyboard: {
            const unsigned usage = usageId & 0xFF;
            SetBit(vhidev.keyboardSlot.data[1 + (usage >> 3)], usage & 7, pressed);
            return vhidev.keyboardSlot.Send() ? 1 : 0;
        }
        case kButtons:
            if ((usageId & 0xFF) < 8) {
                SetBit(vhidev.pointerSlot.data[0], usageId & 0xFF, pressed);
            }
            return vhidev.pointerSlot.Send() ? 1 : 0;
        case kGenericDesktop:
            if (usageId >= 0x80) {
                SetUsage(vhidev.systemSlot.data, pressed ? usageId : 0);
                return vhidev.systemSlot.Send() ? 1 : 0;
            }
            // X, Y and wheel take the usage's own number, press or release alike, until released
            // all at once.
            if (usageId == 0x30 || usageId == 0x31 || usageId == 0x38) {
                const size_t byte = usageId == 0x30 ? 1 : usageId == 0x31 ? 2 : 3;
                vhidev.pointerSlot.data[byte] = static_cast<uint8_t>(usageId & 0xFF);
                return vhidev.pointerSlot.Send() ? 1 : 0;
            }
            return 0;
        case kConsumer:
            SetUsage(vhidev.consumerSlot.data, pressed ? usageId : 0);
            return vhidev.consumerSlot.Send() ? 1 : 0;
        default:
            return 0;
    }
}

}  // namespace keyrig::engine
