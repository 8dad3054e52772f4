// Finding the keyboard's command interface among the HID device interfaces, by the numbers its
// device path carries.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace keyrig::device {

// The numbers a HID device path carries; -1 where the path has no interface or collection part.
struct HidIds {
    int32_t vid = 0;
    int32_t pid = 0;
    int32_t interfaceNumber = -1;
    int32_t collectionNumber = -1;

    bool operator==(const HidIds&) const = default;
};

struct HidDeviceInfo {
    std::string path;
    platform::Guid interfaceClassGuid;
    uint32_t interfaceFlags = 0;
    int32_t vid = 0;
    int32_t pid = 0;
    uint16_t version = 0;    // 0 when the device did not open
    uint16_t usagePage = 0;  // 0 when not read
    uint16_t usage = 0;
};

// The keyboard as config.xml names it.
struct KeyboardIdentity {
    int32_t vid = 0;
    int32_t pid = 0;
    int32_t interfaceNumber = 0;
    int32_t collectionNumber = 0;
};

// Nothing when the path is not a HID device path.
std::optional<HidIds> parseHidDevicePath(std::string_view path);

// The present HID interfaces that pass the filters, in enumeration order. A vendor of 0 or less
// is any vendor; an empty product list is any product, but then a vendor must be given, else
// nothing is enumerated. For the interface and collection numbers -1 is any, a value of 0 or more
// must equal the path's, and any other value matches nothing.
std::vector<HidDeviceInfo> findHidDevices(int32_t vid, std::span<const int32_t> pids,
                                          int32_t interfaceNumber, int32_t collectionNumber,
                                          platform::System& system = platform::Current());

// The product list findHidDevices takes for the configured keyboard: its product, or any when
// the configuration gives 0.
std::vector<int32_t> productList(const KeyboardIdentity& keyboard);
// The present interfaces of the configured keyboard, as findHidDevices gives them.
std::vector<HidDeviceInfo> findConfiguredKeyboard(const KeyboardIdentity& keyboard,
                                                  platform::System& system = platform::Current());

// Whether a device that arrived or departed is the keyboard. Here it is the path that may stand
// for any value: a vid or pid of 0 and an absent interface or collection match anything.
bool isConfiguredKeyboard(const HidIds& ids, const KeyboardIdentity& configured);

// Arrival and removal notices of device interfaces go to `sink` while the result lives.
std::unique_ptr<platform::DeviceWatch> registerHidNotifications(
    platform::DeviceChangeSink& sink, platform::System& system = platform::Current());

// A GUID as the trace lines write it.
std::string GuidText(const platform::Guid& guid);

}  // namespace keyrig::device
