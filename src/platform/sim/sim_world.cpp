#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/sim/sim_internal.h"

namespace keyrig::platform::sim {
namespace {

constexpr const char* kHidClassSuffix = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

HidInterfaceDescription KeyboardInterface(const char* part, uint16_t usagePage, uint16_t usage,
                                          HidCaps caps, Role role) {
    caps.usagePage = usagePage;
    caps.usage = usage;
    return {
        std::string(R"(\\?\hid#vid_1a2b&pid_3c4d&)") + part + "#8&2f0a&0&0000" + kHidClassSuffix,
        {kKeyboardVendor, kKeyboardProduct, 0x0105},
        caps,
        role,
        true,
        false};
}

HidInterfaceDescription VirtualInterface(const char* collection, uint16_t usagePage, uint16_t usage,
                                         uint16_t output) {
    return {std::string(R"(\\?\hid#vhidev&)") + collection + "#1&2d595ca7&0&0000" + kHidClassSuffix,
            {kVirtualVendor, kVirtualProduct, 0x0001},
            {usage, usagePage, 0, output, 0},
            output == 0 ? Role::Plain : Role::VirtualKeyboard,
            false,
            true};
}

}  // namespace

std::string HexBytes(std::span<const uint8_t> bytes) {
    std::string text;
    char digits[4];
    for (const uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        if (!text.empty()) {
            text += ' ';
        }
        text += digits;
    }
    return text;
}

std::string TrimmedHexBytes(std::span<const uint8_t> bytes, size_t minimum) {
    size_t length = bytes.size();
    while (length > minimum && bytes[length - 1] == 0) {
        --length;
    }
    return HexBytes(bytes.first(std::min(length, bytes.size())));
}

bool SamePath(std::string_view left, std::string_view right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(a) == lower(b);
    });
}

struct World::Timer {
    std::thread thread;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>>
        due;                // by World::mutex_
    bool running = false;   // by World::mutex_; an action taken from `due` is under way
    bool stopping = false;  // by World::mutex_
};

bool World::NothingDue() const {
    std::lock_guard lock(mutex_);
    return !timer_ ||
           (!timer_->running &&
            (timer_->due.empty() || timer_->due.begin()->first > std::chrono::steady_clock::now()));
}

World::World() : start_(std::chrono::steady_clock::now()) {
    interfaces_.push_back(
        {KeyboardInterface("mi_00", 0x0001, 0x0006, {0, 0, 9, 2, 0}, Role::Plain)});
    interfaces_.push_back(
        {KeyboardInterface("mi_01&col01", 0x000C, 0x0001, {0, 0, 3, 0, 0}, Role::Plain)});
    interfaces_.push_back(
        {KeyboardInterface("mi_01&col02", 0xFF02, 0x0002, {0, 0, 8, 8, 8}, Role::KeyboardCommand)});
    interfaces_.push_back(
        {KeyboardInterface("mi_01&col03", 0x0001, 0x0080, {0, 0, 2, 0, 0}, Role::Plain)});
    interfaces_.push_back({HidInterfaceDescription{
        std::string(R"(\\?\hid#vid_1111&pid_2222#7&1c2d3e4f&0&0000)") + kHidClassSuffix,
        {0x1111, 0x2222, 0x0200},
        {0x0002, 0x0001, 5, 0, 0},
        Role::Plain,
        false,
        false}});
    // The virtual device shows two collections; only the vendor-defined one takes reports.
    interfaces_.push_back({VirtualInterface("col01", 0x0001, 0x0006, 0)});
    interfaces_.push_back({VirtualInterface("col02", 0xFF00, 0x0001, 64)});
}

World::~World() {
    std::thread timer;
    {
        std::lock_guard lock(mutex_);
        if (timer_) {
            timer_->stopping = true;
            timer = std::move(timer_->thread);
        }
    }
    changed_.notify_all();
    if (timer.joinable()) {
        timer.join();
    }
}

World::Interface* World::FindInterfaceLocked(std::string_view path) {
    for (Interface& each : interfaces_) {
        if (SamePath(each.description.path, path)) {
            return &each;
        }
    }
    return nullptr;
}

uint64_t World::Now() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
}

void World::RecordLocked(LogEntry entry, std::vector<LogEntry>& toAnnounce) {
    entry.when = std::chrono::steady_clock::now();
    entry.ms = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.when - start_).count());
    log_.push_back(entry);
    if (logListener_) {
        toAnnounce.push_back(std::move(entry));
    }
}

void World::Announce(const std::vector<LogEntry>& entries) {
    std::function<void(const LogEntry&)> listener;
    {
        std::lock_guard lock(mutex_);
        listener = logListener_;
    }
    if (listener) {
        for (const LogEntry& entry : entries) {
            listener(entry);
        }
    }
}

void World::Record(LogEntry entry) {
    std::vector<LogEntry> announce;
    {
        std::lock_guard lock(mutex_);
        RecordLocked(std::move(entry), announce);
    }
    Announce(announce);
}

std::string DescribeEntry(const LogEntry& entry) {
    if (entry.kind == "vkbd") {
        return "vkbd " + TrimmedHexBytes(entry.bytes, 2);
    }
    if (entry.kind == "filter.ioctl") {
        char code[16];
        std::snprintf(code, sizeof code, "0x%06X", static_cast<unsigned>(entry.code));
        const std::string bytes = TrimmedHexBytes(entry.bytes, 0);
        return std::string("filter.ioctl ") + code + (bytes.empty() ? "" : " " + bytes);
    }
    if (entry.kind == "key.passthrough") {
        char code[16];
        std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(entry.code));
        return "key.passthrough " + std::string(code) + " " + entry.text;
    }
    if (entry.kind.starts_with("kbd.")) {
        return entry.kind + " " + HexBytes(entry.bytes);
    }
    if (entry.kind == "lighting" || entry.kind == "sidelight" || entry.kind == "process") {
        return entry.kind + " " + entry.text;
    }
    return {};
}

void WorldSimulator::SetObserver(std::function<void(const std::string& line)> observer) {
    if (!observer) {
        return world_.SetLogListener(nullptr);
    }
    world_.SetLogListener([observer = std::move(observer)](const LogEntry& entry) {
        if (std::string line = DescribeEntry(entry); !line.empty()) {
            observer(line);
        }
    });
}

void World::SetLogListener(std::function<void(const LogEntry&)> listener) {
    std::lock_guard lock(mutex_);
    logListener_ = std::move(listener);
}

std::vector<LogEntry> World::Log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<std::vector<uint8_t>> World::Received(const std::string& kind) const {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<uint8_t>> result;
    for (const LogEntry& entry : log_) {
        if (entry.kind == kind) {
            result.push_back(entry.bytes);
        }
    }
    return result;
}

void World::ClearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

void World::NotifyArrivals(const std::vector<std::string>& paths, bool arrival) {
    if (paths.empty()) {
        return;
    }
    // Held while sinks run, so a watch that ends waits for a notice in flight.
    std::lock_guard delivering(deliveryLock_);
    std::vector<DeviceChangeSink*> sinks;
    {
        std::lock_guard lock(mutex_);
        sinks = sinks_;
    }
    for (const std::string& path : paths) {
        for (DeviceChangeSink* sink : sinks) {
            if (arrival) {
                sink->OnDeviceArrival(path);
            } else {
                sink->OnDeviceRemoval(path);
            }
        }
    }
}

void World::After(std::chrono::milliseconds delay, std::function<void()> action) {
    {
        std::lock_guard lock(mutex_);
        AfterLocked(delay, std::move(action));
    }
    changed_.notify_all();
}

void World::AfterLocked(std::chrono::milliseconds delay, std::function<void()> action) {
    if (!timer_) {
        timer_ = std::make_unique<Timer>();
        timer_->thread = std::thread([this] {
            std::unique_lock lock(mutex_);
            for (;;) {
                if (timer_->stopping) {
                    return;
                }
                if (timer_->due.empty()) {
                    changed_.wait(lock);
                    continue;
                }
                const auto next = timer_->due.begin();
                if (next->first > std::chrono::steady_clock::now()) {
                    changed_.wait_until(lock, next->first);
                    continue;
                }
                auto run = std::move(next->second);
                timer_->due.erase(next);
                timer_->running = true;
                lock.unlock();
                run();
                lock.lock();
                timer_->running = false;
            }
        });
    }
    timer_->due.emplace(std::chrono::steady_clock::now() + delay, std::move(action));
}

// --- The keyboard ------------------------------------------------------------------------------

void World::SetFirmwareVersion(uint16_t version) {
    std::lock_guard lock(mutex_);
    firmwareVersion_ = version;
}

FirmwareLighting World::KeyboardLighting() const {
    std::lock_guard lock(mutex_);
    return lighting_;
}

bool World::KeyboardOnBus() const {
    std::lock_guard lock(mutex_);
    return keyboardOnBus_;
}

void World::SetResetReturnDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    resetReturnDelay_ = delay;
}

std::string World::KeyboardCommandPath() const {
    std::lock_guard lock(mutex_);
    for (const Interface& each : interfaces_) {
        if (each.description.role == Role::KeyboardCommand) {
            return each.description.path;
        }
    }
    return {};
}

void World::SetPresenceLocked(bool keyboardPart, bool present, std::vector<std::string>& changed) {
    for (Interface& each : interfaces_) {
        const bool concerned =
            keyboardPart ? each.description.keyboard : each.description.virtualDevice;
        if (concerned && each.present != present) {
            each.present = present;
            ++each.generation;  // handles opened before never work again
            changed.push_back(each.description.path);
        }
    }
}

void World::SetKeyboardPresent(bool present) {
    std::vector<std::string> changed;
    {
        std::lock_guard lock(mutex_);
        keyboardOnBus_ = present;
        SetPresenceLocked(true, present, changed);
    }
    changed_.notify_all();
    NotifyArrivals(changed, present);
}

void World::FactoryResetLocked() {
    lighting_ = FirmwareLighting{};
    const auto delay = resetReturnDelay_;
    AfterLocked(std::chrono::milliseconds(0), [this] { SetKeyboardPresent(false); });
    AfterLocked(delay, [this] { SetKeyboardPresent(true); });
    changed_.notify_all();
}

void World::ApplyFeatureLocked(const std::array<uint8_t, 8>& report,
                               std::vector<LogEntry>& toAnnounce) {
    if (report[0] != 0x07 || report[1] != 0xFF || report[2] != 0xFF) {
        return;  // the version request, or nothing the firmware knows
    }
    if (report[3] == 0x20) {
        lighting_.sideReport = report;
        lighting_.sideMode = report[6] & 0x0F;
        lighting_.sideLevel = report[6] >> 4;
        RecordLocked(
            Entry("sidelight", {},
                  std::to_string(lighting_.sideMode) + " " + std::to_string(lighting_.sideLevel)),
            toAnnounce);
        return;
    }
    if (report[3] >= 20) {
        return;
    }
    lighting_.effect = report[3];
    lighting_.brightness = report[4];
    lighting_.speed = report[5];
    // The start-up report carries the direction and the stored option (1..3) in bytes 6 and 7;
    // the effect report carries the option (0..2) in byte 6 and nothing in byte 7.
    if (report[7] != 0) {
        lighting_.startupReport = report;
        lighting_.direction = report[6];
        lighting_.option = report[7] - 1;
    } else {
        lighting_.effectReport = report;
        lighting_.option = report[6];
    }
    RecordLocked(
        Entry("lighting", {},
              std::to_string(lighting_.effect) + " " + std::to_string(lighting_.brightness) + " " +
                  std::to_string(lighting_.speed) + " " + std::to_string(lighting_.direction) +
                  " " + std::to_string(lighting_.option)),
        toAnnounce);
}

// --- Other HID interfaces ------------------------------------------------------------------------

void World::AddHidInterface(const HidInterfaceDescription& description) {
    std::vector<std::string> added{description.path};
    {
        std::lock_guard lock(mutex_);
        interfaces_.push_back({description});
    }
    NotifyArrivals(added, true);
}

void World::RemoveAllHidInterfaces() {
    std::vector<std::string> removed;
    {
        std::lock_guard lock(mutex_);
        for (Interface& each : interfaces_) {
            if (each.present) {
                each.present = false;
                ++each.generation;
                removed.push_back(each.description.path);
            }
        }
        keyboardOnBus_ = false;
        virtualPresent_ = false;
    }
    changed_.notify_all();
    NotifyArrivals(removed, false);
}

std::vector<HidInterfaceDescription> World::HidInterfaces() const {
    std::lock_guard lock(mutex_);
    std::vector<HidInterfaceDescription> present;
    for (const Interface& each : interfaces_) {
        if (each.present) {
            present.push_back(each.description);
        }
    }
    return present;
}

// --- The filter driver ---------------------------------------------------------------------------

void World::SetFilterPresent(bool present) {
    {
        std::lock_guard lock(mutex_);
        filterPresent_ = present;
        if (!present) {
            keyList_.clear();
            keyEvents_.clear();
        }
        ++filterGeneration_;
    }
    changed_.notify_all();
}

std::vector<std::pair<uint8_t, uint8_t>> World::FilterKeyList() const {
    std::lock_guard lock(mutex_);
    return keyList_;
}

void World::KeyEventLocked(uint32_t keyCode, bool pressed, std::vector<LogEntry>& toAnnounce) {
    const uint16_t page = static_cast<uint16_t>(keyCode >> 16);
    const uint16_t usage = static_cast<uint16_t>(keyCode & 0xFFFF);
    // The driver matches on what the key list holds: both numbers cut to 8 bits.
    const std::pair<uint8_t, uint8_t> key{static_cast<uint8_t>(page), static_cast<uint8_t>(usage)};
    const bool listed =
        filterPresent_ && std::find(keyList_.begin(), keyList_.end(), key) != keyList_.end();
    LogEntry entry =
        Entry(listed ? "key.reported" : "key.passthrough", {}, pressed ? "down" : "up", keyCode);
    RecordLocked(std::move(entry), toAnnounce);
    if (!listed) {
        return;
    }
    constexpr size_t kQueueLimit = 256;
    if (keyEvents_.size() < kQueueLimit) {
        keyEvents_.push_back({static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8),
                              static_cast<uint8_t>(page), static_cast<uint8_t>(pressed ? 1 : 0)});
    }
}

void World::PressKey(uint32_t keyCode) {
    std::vector<LogEntry> announce;
    {
        std::lock_guard lock(mutex_);
        KeyEventLocked(keyCode, true, announce);
    }
    changed_.notify_all();
    Announce(announce);
}

void World::ReleaseKey(uint32_t keyCode) {
    std::vector<LogEntry> announce;
    {
        std::lock_guard lock(mutex_);
        KeyEventLocked(keyCode, false, announce);
    }
    changed_.notify_all();
    Announce(announce);
}

bool World::KeyRequestPending() const {
    std::lock_guard lock(mutex_);
    return keyRequestsPending_ > 0;
}

std::chrono::steady_clock::time_point World::LastKeyTaken() const {
    std::lock_guard lock(mutex_);
    return lastKeyTaken_;
}

bool World::WaitUntilKeysHandled(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit,
                             [this] { return keyEvents_.empty() && keyRequestsPending_ > 0; });
}

bool World::WaitForKeyRequest(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return keyRequestsPending_ > 0; });
}

// --- The virtual keyboard ------------------------------------------------------------------------

void World::SetVirtualPresenceLocked(bool present, std::vector<std::string>& changed) {
    virtualPresent_ = present;
    if (!present) {
        virtualState_ = VirtualKeyboardState{};
    }
    SetPresenceLocked(false, present, changed);
}

void World::SetVirtualKeyboardPresent(bool present) {
    std::vector<std::string> changed;
    {
        std::lock_guard lock(mutex_);
        SetVirtualPresenceLocked(present, changed);
    }
    changed_.notify_all();
    NotifyArrivals(changed, present);
}

bool World::VirtualKeyboardPresent() const {
    std::lock_guard lock(mutex_);
    return virtualPresent_;
}

VirtualKeyboardState World::VirtualKeyboard() const {
    std::lock_guard lock(mutex_);
    return virtualState_;
}

void World::ApplyVirtualReportLocked(std::span<const uint8_t> report) {
    const std::span<const uint8_t> data = report.subspan(2);
    switch (report[1]) {
        case 1:
            // Byte 0 of the keyboard report is unused; then one bit per usage id.
            for (int usage = 0; usage < 256; ++usage) {
                const bool down = (data[1 + (usage >> 3)] >> (usage & 7)) & 1;
                if (down) {
                    virtualState_.keysDown.insert(static_cast<uint8_t>(usage));
                } else {
                    virtualState_.keysDown.erase(static_cast<uint8_t>(usage));
                }
            }
            break;
        case 2:
            std::copy_n(data.begin(), 4, virtualState_.pointer.begin());
            break;
        case 3:
            virtualState_.consumerUsage = static_cast<uint16_t>(data[0] | (data[1] << 8));
            break;
        case 4:
            virtualState_.systemUsage = static_cast<uint16_t>(data[0] | (data[1] << 8));
            break;
        default:
            break;
    }
}

// --- The device console tool ---------------------------------------------------------------------

void World::SetToolStarts(bool starts) {
    std::lock_guard lock(mutex_);
    toolStarts_ = starts;
}

void World::SetToolRunTime(std::chrono::milliseconds runTime) {
    std::lock_guard lock(mutex_);
    toolRunTime_ = runTime;
}

std::vector<std::string> World::ToolRuns() const {
    std::lock_guard lock(mutex_);
    return toolRuns_;
}

// --- Faults --------------------------------------------------------------------------------------

void World::FailOpens(const std::string& pathPart) {
    std::lock_guard lock(mutex_);
    failingOpens_.push_back(pathPart);
}

void World::FailFeatureRequests(bool fail) {
    std::lock_guard lock(mutex_);
    failFeatures_ = fail;
}

void World::StallKeyboardWrites(bool stall) {
    std::lock_guard lock(mutex_);
    stallWrites_ = stall;
}

void World::SetIs64Bit(bool is64Bit) {
    std::lock_guard lock(mutex_);
    is64Bit_ = is64Bit;
}

bool World::Is64Bit() const {
    std::lock_guard lock(mutex_);
    return is64Bit_;
}

}  // namespace keyrig::platform::sim
