#include "device/vhidev.h"

#include <algorithm>

#include "device/trace.h"

namespace keyrig::device {

VHidev& VHidev::Instance() {
    static VHidev device;
    return device;
}

VHidev::VHidev(platform::System& system) : system_(system) {}

VHidev::~VHidev() = default;

bool VHidev::SendReport(const void* data, size_t length, uint8_t id) {
    std::array<uint8_t, kVirtualReportLength> report{};
    report[0] = kVirtualReportId;
    report[1] = id;
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::copy_n(bytes, std::min(length, kVirtualReportLength - 2), report.begin() + 2);
    std::lock_guard lock(writeLock_);
    if (!handle_) {
        return false;
    }
    return handle_->Write(report, std::chrono::milliseconds(0)).status ==
           platform::WriteOutcome::Status::Written;
}

void VHidev::releaseAll() {
    std::lock_guard lock(slotLock);
    keyboardSlot.data.fill(0);
    keyboardSlot.Send();
    pointerSlot.data.fill(0);
    pointerSlot.Send();
    consumerSlot.data.fill(0);
    consumerSlot.Send();
    systemSlot.data.fill(0);
    systemSlot.Send();
}

bool VHidev::Open() {
    std::unique_ptr<platform::Device> found;
    findVirtualKeyboard(platform::kHidInterfaceClass, &found, system_);
    std::lock_guard lock(writeLock_);
    handle_ = std::move(found);
    return handle_ != nullptr;
}

bool VHidev::isOpen() const {
    std::lock_guard lock(writeLock_);
    return handle_ != nullptr;
}

bool findVirtualKeyboard(const platform::Guid& interfaceClass,
                         std::unique_ptr<platform::Device>* handle, platform::System& system) {
    if (handle == nullptr) {
        Trace("Error: Invalid device handle parameter\n");
        return false;
    }
    handle->reset();
    const platform::System::InterfaceList list = system.ListInterfaces(interfaceClass);
    if (list.sizeError != 0) {
        Trace("Error 0x%x retrieving device interface list size.\n", list.sizeError);
        return false;
    }
    if (list.listError != 0) {
        Trace("Error 0x%x retrieving device interface list.\n", list.listError);
        return false;
    }
    if (list.paths.empty()) {
        Trace("Error: No active device interfaces found.\n Is the sample driver loaded?");
        return false;
    }
    Trace("\n....looking for our HID device (with UP=0x%04X and Usage=0x%02X)\n",
          kVirtualKeyboardUsagePage, kVirtualKeyboardUsage);
    for (const std::string& path : list.paths) {
        uint32_t error = 0;
        auto device =
            system.OpenDevice(path, platform::kGenericRead | platform::kGenericWrite,
                              platform::kShareRead | platform::kShareWrite, false, &error);
        if (!device) {
            Trace("Warning: CreateFile failed: %u\n", error);
            continue;
        }
        if (isVirtualKeyboard(*device)) {
            *handle = std::move(device);
        }
    }
    return *handle != nullptr;
}

bool isVirtualKeyboardPath(const std::string& path, platform::System& system) {
    // Opened without access rights: attributes and capabilities need none.
    auto device = system.OpenDevice(path, 0, platform::kShareRead | platform::kShareWrite, false);
    return device != nullptr && isVirtualKeyboard(*device);
}

bool isVirtualKeyboard(platform::Device& device) {
    const auto attributes = device.GetAttributes();
    if (!attributes) {
        Trace("Error: HidD_GetAttributes failed \n");
        return false;
    }
    Trace("Device Attributes - PID: 0x%x, VID: 0x%x \n", attributes->productId,
          attributes->vendorId);
    if (attributes->vendorId != kVirtualKeyboardVendor ||
        attributes->productId != kVirtualKeyboardProduct) {
        Trace("Device attributes doesn't match the sample \n");
        return false;
    }
    const auto caps = device.GetCaps();
    if (!caps) {
        Trace("Error: HidP_GetCaps failed \n");
        return false;
    }
    if (caps->usagePage == kVirtualKeyboardUsagePage && caps->usage == kVirtualKeyboardUsage) {
        Trace("Success: Found my device.. \n");
        return true;
    }
    return false;
}

}  // namespace keyrig::device
