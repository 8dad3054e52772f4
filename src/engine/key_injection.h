// Turning "this key is now down / up" into the virtual keyboard's reports: which slot a key
// belongs to, what it changes there, and the whole slot sent after each change.
#pragma once

#include <cstdint>

#include "device/vhidev.h"

namespace keyrig::engine {

// The device's answer to the report it sent (non-zero when taken), or 0 when the key belongs to
// no slot and nothing was sent. The change and its send happen under the slots' lock.
int32_t InjectKey(device::VHidev& vhidev, uint16_t usagePage, uint16_t usageId, bool pressed);

}  // namespace keyrig::engine
