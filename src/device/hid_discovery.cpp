#include "device/hid_discovery.h"

#include <algorithm>
#include <cstdio>
#include <regex>

#include "device/trace.h"
#include "store/number_text.h"

namespace keyrig::device {
namespace {

int32_t HexGroup(std::string_view text) {
    return ReadSigned(text, 16);
}

}  // namespace

std::string GuidText(const platform::Guid& guid) {
    char data4[17];
    for (int i = 0; i < 8; ++i) {
        std::snprintf(data4 + 2 * i, 3, "%02x", guid.data4[i]);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04x-%02x-%02x-%s", static_cast<unsigned>(guid.data1),
                  guid.data2, guid.data3, data4);
    return text;
}

std::optional<HidIds> parseHidDevicePath(std::string_view path) {
    static const std::regex pattern(
        R"(hid#vid_([\da-zA-Z]{4})&pid_([\da-zA-Z]{4})(&rev_([\da-zA-Z]){4})?(&mi_([\da-zA-Z]){2})?(&col([\da-zA-Z]){2})?)",
        std::regex::ECMAScript | std::regex::icase);
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_search(path.begin(), path.end(), match, pattern)) {
        return std::nullopt;
    }
    HidIds ids;
    ids.vid = HexGroup(match.str(1));
    ids.pid = HexGroup(match.str(2));
    // The two characters after "&mi_" and after "&col", both of them.
    if (match[5].matched) {
        ids.interfaceNumber = HexGroup(match.str(5).substr(4, 2));
    }
    if (match[7].matched) {
        ids.collectionNumber = HexGroup(match.str(7).substr(4, 2));
    }
    return ids;
}

namespace {

bool NumberPasses(int32_t wanted, int32_t actual) {
    if (wanted == -1) {
        return true;
    }
    return wanted >= 0 && wanted == actual;
}

}  // namespace

std::vector<HidDeviceInfo> findHidDevices(int32_t vid, std::span<const int32_t> pids,
                                          int32_t interfaceNumber, int32_t collectionNumber,
                                          platform::System& system) {
    std::vector<HidDeviceInfo> found;
    if (pids.empty() && vid <= 0) {
        return found;
    }
    const auto interfaces = system.EnumerateInterfaces(platform::kHidInterfaceClass);
    if (!interfaces) {
        return found;
    }
    Trace("got classs: guid={%s}\n", GuidText(platform::kHidInterfaceClass).c_str());
    int index = 0;
    for (const platform::DeviceInterface& each : *interfaces) {
        Trace("enum interface: guid={%s} index=%d\n", GuidText(each.interfaceClass).c_str(),
              index++);
        if (each.path.empty()) {
            Trace("获取接口信息失败\n");
            continue;
        }
        const auto ids = parseHidDevicePath(each.path);
        if (!ids) {
            continue;
        }
        if (!pids.empty() && std::find(pids.begin(), pids.end(), ids->pid) == pids.end()) {
            continue;
        }
        if (vid > 0 && ids->vid != vid) {
            continue;
        }
        if (!NumberPasses(interfaceNumber, ids->interfaceNumber) ||
            !NumberPasses(collectionNumber, ids->collectionNumber)) {
            continue;
        }
        HidDeviceInfo info{each.path, each.interfaceClass, each.flags, ids->vid, ids->pid, 0, 0, 0};
        const auto device =
            system.OpenDevice(each.path, platform::kGenericRead | platform::kGenericWrite,
                              platform::kShareRead | platform::kShareWrite, true);
        Trace("open dev: %08llx\n",
              device ? static_cast<unsigned long long>(device->handleValue()) : ~0ULL);
        if (device) {
            if (const auto attributes = device->GetAttributes()) {
                info.version = attributes->version;
            }
            if (const auto caps = device->GetCaps()) {
                info.usagePage = caps->usagePage;
                info.usage = caps->usage;
            }
        }
        found.push_back(std::move(info));
    }
    return found;
}

std::vector<int32_t> productList(const KeyboardIdentity& keyboard) {
    return keyboard.pid != 0 ? std::vector<int32_t>{keyboard.pid} : std::vector<int32_t>{};
}

std::vector<HidDeviceInfo> findConfiguredKeyboard(const KeyboardIdentity& keyboard,
                                                  platform::System& system) {
    return findHidDevices(keyboard.vid, productList(keyboard), keyboard.interfaceNumber,
                          keyboard.collectionNumber, system);
}

bool isConfiguredKeyboard(const HidIds& ids, const KeyboardIdentity& configured) {
    return (ids.vid == 0 || ids.vid == configured.vid) &&
           (ids.pid == 0 || ids.pid == configured.pid) &&
           (ids.interfaceNumber < 0 || ids.interfaceNumber == configured.interfaceNumber) &&
           (ids.collectionNumber < 0 || ids.collectionNumber == configured.collectionNumber);
}

std::unique_ptr<platform::DeviceWatch> registerHidNotifications(platform::DeviceChangeSink& sink,
                                                                platform::System& system) {
    return system.WatchDeviceChanges(sink);
}

}  // namespace keyrig::device
