// The operating system, as the rest of Keyrig sees it.
//
// Everything above this header is written against these declarations only, so the program runs
// unchanged on every backend. A backend is one folder beside this header: win32/ talks to
// Windows, sim/ is a whole simulated world (the keyboard with its firmware, the key-event filter
// driver, the virtual keyboard, the device console tool) that tests and the demo mode run on.
// The backend is chosen once at start-up; nothing outside src/platform/ asks which one it got.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace keyrig::platform {

// --- Files of the host ---------------------------------------------------------------------------
// These always reach the real file system, whatever the backend.

// The full path of the running program's file. Empty when the system cannot say.
std::filesystem::path ProgramPath();

// The folder that holds the running program. config.xml, the data files and the resource folder
// are looked up there, whatever the current directory is. Empty when the system cannot say.
std::filesystem::path ProgramDirectory();

// Replaces the whole content of `target` with `bytes`.
//
// The bytes go to a new file beside the target, reach the disk, and only then take the target's
// name, so a crash or a full disk leaves either the old file or the new one, never half of one.
// Returns false, with the old file untouched, when any step fails.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

// --- Ending the process
// ----------------------------------------------------------------------------

// From now on a request to end the process (Ctrl+C, a termination signal, the console window
// closing) sets a flag instead of ending it, so that the program can release what it holds.
void CatchTerminationRequests();
bool TerminationRequested();
// Says the cleanup after a request is done; where the system waits for it, the process may end.
void TerminationHandled();

// Makes `directory` the current directory, so relative paths resolve against it; false when the
// system refuses.
bool ChangeCurrentDirectory(const std::filesystem::path& directory);

enum class FileKind { Missing, File, Directory };

// What is at `path`: nothing, a file, or a folder.
FileKind KindOf(const std::filesystem::path& path);

// --- One running copy ---------------------------------------------------------------------------
// These reach the real system whatever the backend, so that two copies of the program see each
// other even when each runs on a simulated world of its own.

// Held while the program runs; dropping it lets the next copy claim the name.
class InstanceClaim {
  public:
    virtual ~InstanceClaim() = default;
};

// Claims `name` for this process; nothing when a running copy holds it already.
std::unique_ptr<InstanceClaim> ClaimInstance(std::string_view name);

// Marks a top-level window (the system's handle of it) as the running copy's, so that a second
// copy can find it; false where the system keeps no such marks (the caller then offers another
// road, such as a local socket).
bool MarkWindow(uintptr_t window, std::string_view name);
void UnmarkWindow(uintptr_t window, std::string_view name);
// Restores, shows and brings forward every window marked with `name`; false where the system
// keeps no marks.
bool BringMarkedWindowsForward(std::string_view name);

// The folder for this user's sockets and locks that live only while they run.
std::filesystem::path RuntimeDirectory();

// --- Identities ----------------------------------------------------------------------------------

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    bool operator==(const Guid&) const = default;
};

// The HID device interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
inline constexpr Guid kHidInterfaceClass{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// Access rights and share modes of an open, as Windows numbers them.
inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kShareRead = 1;
inline constexpr uint32_t kShareWrite = 2;

// System error numbers the callers look at, as Windows numbers them.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorIoPending = 997;
inline constexpr uint32_t kErrorOperationAborted = 995;

struct DeviceInterface {
    std::string path;  // UTF-8
    Guid interfaceClass;
    uint32_t flags = 0;
};

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
};

// The top-level collection's capabilities, as the HID parser reports them.
struct HidCaps {
    uint16_t usage = 0;
    uint16_t usagePage = 0;
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;

    bool operator==(const HidCaps&) const = default;
};

// --- Events --------------------------------------------------------------------------------------

class Event {
  public:
    virtual ~Event() = default;
    virtual void Set() = 0;
    virtual void Reset() = 0;
    virtual bool IsSet() const = 0;
};

// --- Open devices --------------------------------------------------------------------------------

struct WriteOutcome {
    enum class Status { Written, TimedOut, Failed };
    Status status = Status::Failed;
    uint32_t bytes = 0;
    uint32_t error = 0;        // the system's error when the write did not complete at once
    bool wentPending = false;  // the write was accepted and completed later (or timed out)
};

struct ControlOutcome {
    enum class Status { Completed, Aborted, Failed };
    Status status = Status::Failed;
    uint32_t bytes = 0;  // bytes returned in the output buffer
    uint32_t error = 0;
};

// One open device file. Destroying it closes it; its owner is whoever holds the unique_ptr.
class Device {
  public:
    virtual ~Device() = default;

    // The system's value for the open handle, for trace lines only.
    virtual uint64_t handleValue() const = 0;

    virtual std::optional<HidAttributes> GetAttributes() = 0;
    // Reads the preparsed data and the collection's capabilities from it.
    virtual std::optional<HidCaps> GetCaps() = 0;
    // `report` starts with the report ID; the answer replaces it.
    virtual bool GetFeature(std::span<uint8_t> report) = 0;
    virtual bool SetFeature(std::span<const uint8_t> report) = 0;

    // Writes `data`. A device opened for overlapped I/O waits at most `timeout`; a write still
    // pending then is cancelled, and has ended, before this returns, so `data` is never used
    // after the call. A synchronous device ignores `timeout`.
    virtual WriteOutcome Write(std::span<const uint8_t> data,
                               std::chrono::milliseconds timeout) = 0;

    // Sends a control request and waits for its own completion, however many other requests are
    // pending on the device. When `abort` is given and becomes set first, the request is
    // cancelled, has ended before this returns, and the outcome is Aborted.
    virtual ControlOutcome Control(uint32_t code, std::span<const uint8_t> input,
                                   std::span<uint8_t> output, const Event* abort) = 0;

    // Ends every request in progress on this device, from any thread, and makes later requests
    // fail at once. Used before the device is closed while another thread may still wait on it.
    virtual void Shutdown() = 0;
};

// --- Named mutexes -------------------------------------------------------------------------------

// A system-wide lock by name, re-entrant for the thread that holds it.
class NamedMutex {
  public:
    virtual ~NamedMutex() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

// --- Device arrival and removal ------------------------------------------------------------------

class DeviceChangeSink {
  public:
    virtual ~DeviceChangeSink() = default;
    virtual void OnDeviceArrival(const std::string& path) = 0;
    virtual void OnDeviceRemoval(const std::string& path) = 0;
};

// Notices are delivered while this lives; destroying it stops them and waits for one in flight.
class DeviceWatch {
  public:
    virtual ~DeviceWatch() = default;
};

// --- Programs ------------------------------------------------------------------------------------

enum class RunOutcome {
    Finished,    // the program ran to its end
    NotStarted,  // no such program, or the system would not start it
    TimedOut,    // still running when the wait ended; it is left running
};

// --- A simulated world
// ----------------------------------------------------------------------------

// What a backend that simulates the devices lets a user do with them, for a panel that stands
// in for the real keyboard. Only the simulated backend has one.
class Simulator {
  public:
    virtual ~Simulator() = default;
    // A physical key of the keyboard goes down or up (a key code: usage page << 16 | usage id).
    virtual void PressKey(uint32_t keyCode) = 0;
    virtual void ReleaseKey(uint32_t keyCode) = 0;
    // The keyboard leaves or joins the bus, with the notices.
    virtual void SetKeyboardPresent(bool present) = 0;
    virtual bool KeyboardPresent() const = 0;
    // Major version in bits 15..8, minor in 7..0.
    virtual void SetFirmwareVersion(uint16_t version) = 0;
    // What the devices receive, one line each as a trace shows it ("vkbd 05 01 00 20",
    // "lighting 14 3 1 0 0", "sidelight 5 7"), on the thread that caused it, until replaced.
    virtual void SetObserver(std::function<void(const std::string& line)> observer) = 0;
};

// --- The system ----------------------------------------------------------------------------------

class System {
  public:
    virtual ~System() = default;

    virtual std::string_view name() const = 0;

    // The present interfaces of a device interface class, in the system's order; nothing when the
    // system cannot give the set.
    virtual std::optional<std::vector<DeviceInterface>> EnumerateInterfaces(
        const Guid& interfaceClass) = 0;

    // The configuration manager's list of present interfaces of a class. `sizeError` and
    // `listError` are the manager's codes for the two steps (0 for success).
    struct InterfaceList {
        uint32_t sizeError = 0;
        uint32_t listError = 0;
        std::vector<std::string> paths;
    };
    virtual InterfaceList ListInterfaces(const Guid& interfaceClass) = 0;

    // Opens a device path. On failure returns nothing and, when `error` is given, the system's
    // error number.
    virtual std::unique_ptr<Device> OpenDevice(std::string_view path, uint32_t access,
                                               uint32_t share, bool overlapped,
                                               uint32_t* error = nullptr) = 0;

    virtual std::unique_ptr<Event> NewEvent(bool manualReset) = 0;
    virtual std::unique_ptr<NamedMutex> NewNamedMutex(std::string_view name) = 0;

    // Starts `program` with `commandLine` as its whole command line and waits at most `limit`
    // for it to end; its window is shown normally.
    virtual RunOutcome RunAndWait(const std::filesystem::path& program,
                                  std::string_view commandLine,
                                  std::chrono::milliseconds limit) = 0;

    // True when the system is 64-bit Windows: a 64-bit program, or a 32-bit one under WOW64.
    virtual bool Is64BitSystem() = 0;

    // The full path of the running program's file.
    virtual std::filesystem::path ModulePath() = 0;

    // Milliseconds of a steady clock.
    virtual uint64_t TickMilliseconds() = 0;

    // Delivers arrival and removal notices of device interfaces to `sink`, on a thread of the
    // system's choosing, until the returned watch is destroyed.
    virtual std::unique_ptr<DeviceWatch> WatchDeviceChanges(DeviceChangeSink& sink) = 0;

    // The simulated world's controls, or null where the devices are real.
    virtual Simulator* simulator() { return nullptr; }
};

// The backend in force. Chosen on first use from KEYRIG_PLATFORM (sim or win32; the default is
// the build's native backend, sim where there is none) unless one was installed before.
System& Current();

// Makes `system` the backend in force and returns the previous one. For start-up and for tests,
// before any device object exists.
std::unique_ptr<System> Install(std::unique_ptr<System> system);

// The name of the backend KEYRIG_PLATFORM asks for, or of the default.
std::string RequestedBackend();

}  // namespace keyrig::platform
