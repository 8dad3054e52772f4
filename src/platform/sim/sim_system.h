// The simulated world: a whole backend that runs in the process.
//
// It holds the devices Keyrig talks to, each behaving as the program expects of the real one:
// the keyboard (several HID interfaces; its firmware answers the version request, keeps and
// decodes the lighting reports, and leaves the bus and comes back after the factory-reset
// report), other HID devices for discovery to filter out, the key-event filter driver's control
// device, the virtual keyboard, and the device console tool that installs and removes the
// virtual keyboard. Tests and the demo mode drive it through World's control API and read one
// ordered, time-stamped log of everything the devices received.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace keyrig::platform::sim {

// The world's fixed names.
inline constexpr const char* kFilterDevicePath = R"(\\.\vhidflt)";
inline constexpr uint16_t kKeyboardVendor = 0x1A2B;
inline constexpr uint16_t kKeyboardProduct = 0x3C4D;
inline constexpr uint16_t kVirtualVendor = 0xDEED;
inline constexpr uint16_t kVirtualProduct = 0xFEED;

// What a HID interface is for in the world.
enum class Role {
    Plain,            // answers attribute and capability queries, nothing else
    KeyboardCommand,  // the keyboard's command channel: the firmware
    VirtualKeyboard,  // the virtual keyboard's report sink
};

struct HidInterfaceDescription {
    std::string path;
    HidAttributes attributes;
    HidCaps caps;
    Role role = Role::Plain;
    bool keyboard = false;       // part of the physical keyboard: leaves the bus with it
    bool virtualDevice = false;  // part of the virtual keyboard: installed and removed with it
};

struct LogEntry {
    uint64_t ms = 0;   // since the world was made
    std::string kind;  // "kbd.set_feature", "vkbd", "filter.ioctl", "key.passthrough", ...
    std::vector<uint8_t> bytes;
    std::string text;   // for entries that are words: a command line, a key and its state
    uint32_t code = 0;  // the control code or the key code, where there is one
    std::chrono::steady_clock::time_point when;  // the precise moment, for measuring
};

inline LogEntry Entry(std::string kind, std::vector<uint8_t> bytes = {}, std::string text = {},
                      uint32_t code = 0) {
    LogEntry entry;
    entry.kind = std::move(kind);
    entry.bytes = std::move(bytes);
    entry.text = std::move(text);
    entry.code = code;
    return entry;
}

// What the keyboard's firmware made of the lighting reports it was sent.
struct FirmwareLighting {
    std::optional<std::array<uint8_t, 8>> effectReport;
    std::optional<std::array<uint8_t, 8>> startupReport;
    std::optional<std::array<uint8_t, 8>> sideReport;
    int effect = 0;
    int brightness = 5;
    int speed = 0;
    int direction = 0;
    int option = 0;  // 0..2, the report's option
    int sideMode = 0;
    int sideLevel = 4;

    bool operator==(const FirmwareLighting&) const = default;
};

// What the virtual keyboard's reports add up to.
struct VirtualKeyboardState {
    std::set<uint8_t> keysDown;        // keyboard usage ids
    std::array<uint8_t, 4> pointer{};  // buttons, x, y, wheel
    uint16_t consumerUsage = 0;
    uint16_t systemUsage = 0;

    bool operator==(const VirtualKeyboardState&) const = default;
};

class World {
  public:
    // The sane baseline: the keyboard with four interfaces (its command channel is
    // interface 1, collection 2), a mouse, the filter driver and the virtual keyboard present.
    World();
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // --- The keyboard -----------------------------------------------------------------------
    void SetFirmwareVersion(uint16_t version);
    FirmwareLighting KeyboardLighting() const;
    bool KeyboardOnBus() const;
    // How long the keyboard stays off the bus after the factory-reset report (default 1500 ms).
    void SetResetReturnDelay(std::chrono::milliseconds delay);
    void SetKeyboardPresent(bool present);  // plugs or unplugs it, with notices
    // True when nothing the world does later on its own (the keyboard leaving the bus after a
    // reset, coming back after it) is due by now or under way.
    bool NothingDue() const;
    std::string KeyboardCommandPath() const;

    // --- Other HID interfaces ---------------------------------------------------------------
    void AddHidInterface(const HidInterfaceDescription& description);
    void RemoveAllHidInterfaces();
    std::vector<HidInterfaceDescription> HidInterfaces()
        const;  // present ones, in enumeration order

    // --- The filter driver ------------------------------------------------------------------
    void SetFilterPresent(bool present);
    // The keys in the driver's list, as (usage page, usage id) cut to 8 bits each.
    std::vector<std::pair<uint8_t, uint8_t>> FilterKeyList() const;
    // A physical key event: reported to the program when the key is in the list, else passed
    // straight to the system and only recorded.
    void PressKey(uint32_t keyCode);
    void ReleaseKey(uint32_t keyCode);
    bool KeyRequestPending() const;
    // When the program's last key request completed with a key: the start of the way a key
    // takes through the program, for measuring it.
    std::chrono::steady_clock::time_point LastKeyTaken() const;
    // Waits until every reported key has been taken and handed out, and the program waits for
    // the next one again (true), or `limit` passes (false).
    bool WaitUntilKeysHandled(std::chrono::milliseconds limit) const;
    // Waits until the program has a key request pending (true) or `limit` passes (false).
    bool WaitForKeyRequest(std::chrono::milliseconds limit) const;

    // --- The virtual keyboard ---------------------------------------------------------------
    void SetVirtualKeyboardPresent(bool present);  // with notices
    bool VirtualKeyboardPresent() const;
    VirtualKeyboardState VirtualKeyboard() const;

    // --- The device console tool ------------------------------------------------------------
    void SetToolStarts(bool starts);
    void SetToolRunTime(std::chrono::milliseconds runTime);
    std::vector<std::string> ToolRuns() const;  // the command lines, in order

    // --- Faults -----------------------------------------------------------------------------
    void FailOpens(const std::string& pathPart);  // opens of paths containing it fail
    void FailFeatureRequests(bool fail);
    void StallKeyboardWrites(bool stall);  // keyboard writes never complete
    void SetIs64Bit(bool is64Bit);
    bool Is64Bit() const;

    // --- The log ----------------------------------------------------------------------------
    std::vector<LogEntry> Log() const;
    // Entries from `kind`, bytes only, in order.
    std::vector<std::vector<uint8_t>> Received(const std::string& kind) const;
    void ClearLog();
    uint64_t Now() const;         // ms since the world was made
    void Record(LogEntry entry);  // for drivers of the world to put their own lines in order
    // Called, outside the world's lock, for each entry as it is recorded.
    void SetLogListener(std::function<void(const LogEntry&)> listener);

  private:
    friend class SimulatedSystem;
    friend class SimDevice;
    friend class SimEvent;
    friend class SimWatch;
    struct Interface;
    struct Timer;

    // Everything below is guarded by mutex_; changed_ wakes every waiter on any change.
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;

    Interface* FindInterfaceLocked(std::string_view path);
    void RecordLocked(LogEntry entry, std::vector<LogEntry>& toAnnounce);
    void Announce(const std::vector<LogEntry>& entries);
    void NotifyArrivals(const std::vector<std::string>& paths, bool arrival);
    void KeyEventLocked(uint32_t keyCode, bool pressed, std::vector<LogEntry>& toAnnounce);
    // Decodes a lighting report as the firmware does, and logs what it made of it.
    void ApplyFeatureLocked(const std::array<uint8_t, 8>& report,
                            std::vector<LogEntry>& toAnnounce);
    void ApplyVirtualReportLocked(std::span<const uint8_t> report);
    void FactoryResetLocked();
    void After(std::chrono::milliseconds delay, std::function<void()> action);
    void AfterLocked(std::chrono::milliseconds delay, std::function<void()> action);
    void SetPresenceLocked(bool keyboardPart, bool present, std::vector<std::string>& changed);
    void SetVirtualPresenceLocked(bool present, std::vector<std::string>& changed);

    const std::chrono::steady_clock::time_point start_;
    std::vector<Interface> interfaces_;
    uint16_t firmwareVersion_ = 0x0100;
    FirmwareLighting lighting_;
    bool keyboardOnBus_ = true;
    std::chrono::milliseconds resetReturnDelay_{1500};
    bool filterPresent_ = true;
    std::vector<std::pair<uint8_t, uint8_t>> keyList_;
    std::deque<std::array<uint8_t, 4>> keyEvents_;
    int keyRequestsPending_ = 0;
    std::chrono::steady_clock::time_point lastKeyTaken_;
    bool virtualPresent_ = true;
    VirtualKeyboardState virtualState_;
    bool toolStarts_ = true;
    std::chrono::milliseconds toolRunTime_{0};
    std::vector<std::string> toolRuns_;
    std::vector<std::string> failingOpens_;
    bool failFeatures_ = false;
    bool stallWrites_ = false;
    bool is64Bit_ = true;
    std::vector<LogEntry> log_;
    std::function<void(const LogEntry&)> logListener_;
    uint64_t filterGeneration_ = 0;  // a filter device gone and back is a new device
    std::vector<DeviceChangeSink*> sinks_;
    uint64_t nextHandle_ = 0x100;

    // Held while notices are delivered, so that a watch being destroyed waits for them.
    std::recursive_mutex deliveryLock_;

    // The world's own thread runs what happens later (the keyboard coming back after a reset).
    // It is started on first need and joined by the destructor.
    std::unique_ptr<Timer> timer_;
};

// The user's controls of a World.
class WorldSimulator final : public Simulator {
  public:
    explicit WorldSimulator(World& world) : world_(world) {}
    void PressKey(uint32_t keyCode) override { world_.PressKey(keyCode); }
    void ReleaseKey(uint32_t keyCode) override { world_.ReleaseKey(keyCode); }
    void SetKeyboardPresent(bool present) override { world_.SetKeyboardPresent(present); }
    bool KeyboardPresent() const override { return world_.KeyboardOnBus(); }
    void SetFirmwareVersion(uint16_t version) override { world_.SetFirmwareVersion(version); }
    void SetObserver(std::function<void(const std::string& line)> observer) override;

  private:
    World& world_;
};

// The System backed by a World. Owns its world; keep a pointer to drive it.
class SimulatedSystem final : public System {
  public:
    SimulatedSystem();
    ~SimulatedSystem() override;

    World& world() { return *world_; }

    std::string_view name() const override { return "sim"; }
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
    Simulator* simulator() override { return &simulator_; }

  private:
    std::unique_ptr<World> world_;
    WorldSimulator simulator_{*world_};
    std::mutex mutexesLock_;
    std::map<std::string, std::shared_ptr<std::recursive_mutex>, std::less<>>
        namedMutexes_;  // by mutexesLock_
};

// One log entry as a trace line ("vkbd 05 01 00 20", "lighting 14 3 1 0 0"); empty for entries
// that are not about the devices.
std::string DescribeEntry(const LogEntry& entry);

// Formats bytes as the log shows them: two-digit upper-case hexadecimal, one blank between.
std::string HexBytes(std::span<const uint8_t> bytes);
// The same without trailing zero bytes, but never fewer than `minimum` bytes.
std::string TrimmedHexBytes(std::span<const uint8_t> bytes, size_t minimum);

}  // namespace keyrig::platform::sim
