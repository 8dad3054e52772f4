#include <algorithm>
#include <thread>

#include "platform/sim/sim_internal.h"

namespace keyrig::platform::sim {
namespace {

constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorDeviceNotConnected = 1167;
constexpr uint32_t kErrorInsufficientBuffer = 122;

constexpr uint32_t kIoctlGetKey = 0x226044;
constexpr uint32_t kIoctlSetKeys = 0x22A000;
constexpr uint32_t kIoctl802 = 0x226008;
constexpr uint32_t kIoctl803 = 0x22600C;
constexpr uint32_t kIoctl804 = 0x226010;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

}  // namespace

// --- Events
// ----------------------------------------------------------------------------------------

void SimEvent::Set() {
    {
        std::lock_guard lock(world_.mutex_);
        set_ = true;
    }
    world_.changed_.notify_all();
}

void SimEvent::Reset() {
    std::lock_guard lock(world_.mutex_);
    set_ = false;
}

bool SimEvent::IsSet() const {
    std::lock_guard lock(world_.mutex_);
    return set_;
}

bool SimEvent::TakeLocked() const {
    const bool wasSet = set_;
    if (!manualReset_) {
        set_ = false;
    }
    return wasSet;
}

// --- Devices
// ---------------------------------------------------------------------------------------

class SimDevice final : public Device {
  public:
    enum class Kind { Hid, Filter };

    SimDevice(World& world, std::string path, Kind kind, uint32_t access, bool overlapped,
              uint64_t generation, uint64_t handle)
        : world_(world),
          path_(std::move(path)),
          kind_(kind),
          access_(access),
          overlapped_(overlapped),
          generation_(generation),
          handle_(handle) {}

    uint64_t handleValue() const override { return handle_; }

    std::optional<HidAttributes> GetAttributes() override {
        std::lock_guard lock(world_.mutex_);
        const World::Interface* found = LiveInterfaceLocked();
        return found ? std::optional(found->description.attributes) : std::nullopt;
    }

    std::optional<HidCaps> GetCaps() override {
        std::lock_guard lock(world_.mutex_);
        const World::Interface* found = LiveInterfaceLocked();
        return found ? std::optional(found->description.caps) : std::nullopt;
    }

    bool GetFeature(std::span<uint8_t> report) override {
        std::vector<LogEntry> announce;
        bool done = false;
        {
            std::lock_guard lock(world_.mutex_);
            const World::Interface* found = LiveInterfaceLocked();
            if (found && found->description.role == Role::KeyboardCommand && access_ != 0 &&
                !world_.failFeatures_ && report.size() == 8 && report[0] == 0x07) {
                std::fill(report.begin() + 1, report.end(), 0);
                report[1] = static_cast<uint8_t>(world_.firmwareVersion_ >> 8);
                report[2] = static_cast<uint8_t>(world_.firmwareVersion_ & 0xFF);
                world_.RecordLocked(Entry("kbd.get_feature", {report.begin(), report.end()}, {}, 0),
                                    announce);
                done = true;
            }
        }
        world_.Announce(announce);
        return done;
    }

    bool SetFeature(std::span<const uint8_t> report) override {
        std::vector<LogEntry> announce;
        bool done = false;
        {
            std::lock_guard lock(world_.mutex_);
            const World::Interface* found = LiveInterfaceLocked();
            if (found && found->description.role == Role::KeyboardCommand && access_ != 0 &&
                !world_.failFeatures_ && report.size() == 8) {
                std::array<uint8_t, 8> bytes;
                std::copy(report.begin(), report.end(), bytes.begin());
                world_.RecordLocked(Entry("kbd.set_feature", {report.begin(), report.end()}, {}, 0),
                                    announce);
                world_.ApplyFeatureLocked(bytes, announce);
                done = true;
            }
        }
        world_.Announce(announce);
        return done;
    }

    WriteOutcome Write(std::span<const uint8_t> data, std::chrono::milliseconds timeout) override {
        std::vector<LogEntry> announce;
        WriteOutcome outcome;
        {
            std::unique_lock lock(world_.mutex_);
            const World::Interface* found = LiveInterfaceLocked();
            if (!found || access_ == 0) {
                outcome.error = found ? kErrorAccessDenied : kErrorDeviceNotConnected;
                return outcome;
            }
            if (found->description.role == Role::KeyboardCommand) {
                if (world_.stallWrites_ && overlapped_) {
                    // Accepted but never completed: wait out the caller's time, then cancel.
                    world_.changed_.wait_for(lock, timeout, [this] { return shutdown_; });
                    outcome.status = WriteOutcome::Status::TimedOut;
                    outcome.error = kErrorIoPending;
                    outcome.wentPending = true;
                    return outcome;
                }
                world_.RecordLocked(Entry("kbd.write", {data.begin(), data.end()}, {}, 0),
                                    announce);
                if (data.size() >= 3 && data[0] == 0x07 && data[1] == 0xF0 && data[2] == 0xAA) {
                    world_.FactoryResetLocked();
                }
                outcome.status = WriteOutcome::Status::Written;
                outcome.bytes = static_cast<uint32_t>(data.size());
            } else if (found->description.role == Role::VirtualKeyboard && data.size() == 64 &&
                       data[0] == 0x05) {
                world_.RecordLocked(Entry("vkbd", {data.begin(), data.end()}, {}, 0), announce);
                world_.ApplyVirtualReportLocked(data);
                outcome.status = WriteOutcome::Status::Written;
                outcome.bytes = 64;
            } else {
                outcome.error = kErrorInvalidFunction;
            }
        }
        world_.Announce(announce);
        return outcome;
    }

    ControlOutcome Control(uint32_t code, std::span<const uint8_t> input, std::span<uint8_t> output,
                           const Event* abort) override {
        const auto* abortEvent = static_cast<const SimEvent*>(abort);
        std::vector<LogEntry> announce;
        ControlOutcome outcome;
        std::unique_lock lock(world_.mutex_);
        if (kind_ != Kind::Filter || !FilterLiveLocked()) {
            outcome.error = kErrorDeviceNotConnected;
            return outcome;
        }
        if (code == kIoctlGetKey) {
            if (output.size() < 4) {
                outcome.error = kErrorInsufficientBuffer;
                return outcome;
            }
            // The driver keeps the request pending until a listed key goes down or up.
            ++world_.keyRequestsPending_;
            world_.changed_.notify_all();
            bool aborted = false;
            world_.changed_.wait(lock, [&] {
                aborted = abortEvent != nullptr && abortEvent->TakeLocked();
                return aborted || shutdown_ || !FilterLiveLocked() || !world_.keyEvents_.empty();
            });
            --world_.keyRequestsPending_;
            if (aborted) {
                outcome.status = ControlOutcome::Status::Aborted;
                outcome.error = kErrorOperationAborted;
            } else if (shutdown_ || !FilterLiveLocked()) {
                outcome.error = kErrorOperationAborted;
            } else {
                const auto event = world_.keyEvents_.front();
                world_.keyEvents_.pop_front();
                world_.lastKeyTaken_ = std::chrono::steady_clock::now();
                std::copy(event.begin(), event.end(), output.begin());
                outcome.status = ControlOutcome::Status::Completed;
                outcome.bytes = 4;
            }
            return outcome;
        }
        if (code != kIoctlSetKeys && code != kIoctl802 && code != kIoctl803 && code != kIoctl804) {
            outcome.error = kErrorInvalidFunction;
            return outcome;
        }
        world_.RecordLocked(Entry("filter.ioctl", {input.begin(), input.end()}, {}, code),
                            announce);
        if (code == kIoctlSetKeys) {
            world_.keyList_.clear();
            for (size_t at = 0; at + 4 <= input.size(); at += 4) {
                if (input[at + 3] & 0x02) {
                    world_.keyList_.emplace_back(input[at + 2], input[at]);
                }
            }
        }
        outcome.status = ControlOutcome::Status::Completed;
        lock.unlock();
        world_.Announce(announce);
        return outcome;
    }

    void Shutdown() override {
        {
            std::lock_guard lock(world_.mutex_);
            shutdown_ = true;
        }
        world_.changed_.notify_all();
    }

  private:
    const World::Interface* LiveInterfaceLocked() const {
        if (kind_ != Kind::Hid || shutdown_) {
            return nullptr;
        }
        World::Interface* found = world_.FindInterfaceLocked(path_);
        return found && found->present && found->generation == generation_ ? found : nullptr;
    }

    bool FilterLiveLocked() const {
        return !shutdown_ && world_.filterPresent_ && world_.filterGeneration_ == generation_;
    }

    World& world_;
    const std::string path_;
    const Kind kind_;
    const uint32_t access_;
    const bool overlapped_;
    const uint64_t generation_;
    const uint64_t handle_;
    bool shutdown_ = false;  // by the world's lock
};

// --- Named mutexes, watches
// ------------------------------------------------------------------------

namespace {

class SimNamedMutex final : public NamedMutex {
  public:
    explicit SimNamedMutex(std::shared_ptr<std::recursive_mutex> mutex)
        : mutex_(std::move(mutex)) {}
    void lock() override { mutex_->lock(); }
    void unlock() override { mutex_->unlock(); }

  private:
    std::shared_ptr<std::recursive_mutex> mutex_;
};

}  // namespace

class SimWatch final : public DeviceWatch {
  public:
    SimWatch(World& world, DeviceChangeSink& sink) : world_(world), sink_(sink) {
        std::lock_guard lock(world_.mutex_);
        world_.sinks_.push_back(&sink_);
    }
    ~SimWatch() override {
        {
            std::lock_guard lock(world_.mutex_);
            std::erase(world_.sinks_, &sink_);
        }
        std::lock_guard waitForDelivery(world_.deliveryLock_);
    }

  private:
    World& world_;
    DeviceChangeSink& sink_;
};

// --- The system
// ------------------------------------------------------------------------------------

SimulatedSystem::SimulatedSystem() : world_(std::make_unique<World>()) {}
SimulatedSystem::~SimulatedSystem() = default;

std::optional<std::vector<DeviceInterface>> SimulatedSystem::EnumerateInterfaces(
    const Guid& interfaceClass) {
    std::vector<DeviceInterface> found;
    if (interfaceClass == kHidInterfaceClass) {
        for (const HidInterfaceDescription& description : world_->HidInterfaces()) {
            found.push_back({description.path, kHidInterfaceClass, 1});
        }
    }
    return found;
}

System::InterfaceList SimulatedSystem::ListInterfaces(const Guid& interfaceClass) {
    InterfaceList list;
    if (const auto interfaces = EnumerateInterfaces(interfaceClass)) {
        for (const DeviceInterface& each : *interfaces) {
            list.paths.push_back(each.path);
        }
    }
    return list;
}

std::unique_ptr<Device> SimulatedSystem::OpenDevice(std::string_view path, uint32_t access,
                                                    uint32_t /*share*/, bool overlapped,
                                                    uint32_t* error) {
    World& world = *world_;
    std::lock_guard lock(world.mutex_);
    const auto fail = [error](uint32_t code) {
        if (error != nullptr) {
            *error = code;
        }
        return nullptr;
    };
    const std::string lowered = Lower(path);
    for (const std::string& part : world.failingOpens_) {
        if (lowered.find(Lower(part)) != std::string::npos) {
            return fail(kErrorAccessDenied);
        }
    }
    const uint64_t handle = world.nextHandle_;
    world.nextHandle_ += 4;
    if (SamePath(path, kFilterDevicePath)) {
        if (!world.filterPresent_) {
            return fail(kErrorFileNotFound);
        }
        return std::make_unique<SimDevice>(world, std::string(path), SimDevice::Kind::Filter,
                                           access, overlapped, world.filterGeneration_, handle);
    }
    const World::Interface* found = world.FindInterfaceLocked(path);
    if (found == nullptr || !found->present) {
        return fail(kErrorFileNotFound);
    }
    return std::make_unique<SimDevice>(world, found->description.path, SimDevice::Kind::Hid, access,
                                       overlapped, found->generation, handle);
}

std::unique_ptr<Event> SimulatedSystem::NewEvent(bool manualReset) {
    return std::make_unique<SimEvent>(*world_, manualReset);
}

std::unique_ptr<NamedMutex> SimulatedSystem::NewNamedMutex(std::string_view name) {
    std::lock_guard lock(mutexesLock_);
    auto found = namedMutexes_.find(name);
    if (found == namedMutexes_.end()) {
        found = namedMutexes_.emplace(std::string(name), std::make_shared<std::recursive_mutex>())
                    .first;
    }
    return std::make_unique<SimNamedMutex>(found->second);
}

RunOutcome SimulatedSystem::RunAndWait(const std::filesystem::path& program,
                                       std::string_view commandLine,
                                       std::chrono::milliseconds limit) {
    World& world = *world_;
    std::chrono::milliseconds runTime;
    {
        std::lock_guard lock(world.mutex_);
        if (!world.toolStarts_ || Lower(program.filename().string()) != "devcon.exe") {
            return RunOutcome::NotStarted;
        }
        world.toolRuns_.emplace_back(commandLine);
        runTime = world.toolRunTime_;
    }
    world.Record(Entry("process", {}, program.filename().string() + std::string(commandLine)));

    // The tool's two commands, as the program writes them.
    const std::string command = Lower(commandLine);
    const bool targetsVirtual = command.find(R"(root\vhidev)") != std::string::npos;
    const size_t first = command.find_first_not_of(' ');
    const std::string verb =
        first == std::string::npos ? "" : command.substr(first, command.find(' ', first) - first);
    const auto act = [&world, targetsVirtual, verb] {
        if (targetsVirtual && verb == "remove") {
            world.SetVirtualKeyboardPresent(false);
        } else if (targetsVirtual && verb == "install") {
            world.SetVirtualKeyboardPresent(true);
        }
    };
    if (runTime > limit) {
        world.After(runTime, act);
        std::this_thread::sleep_for(limit);
        return RunOutcome::TimedOut;
    }
    std::this_thread::sleep_for(runTime);
    act();
    return RunOutcome::Finished;
}

bool SimulatedSystem::Is64BitSystem() {
    return world_->Is64Bit();
}

std::filesystem::path SimulatedSystem::ModulePath() {
    return ProgramPath();
}

uint64_t SimulatedSystem::TickMilliseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

std::unique_ptr<DeviceWatch> SimulatedSystem::WatchDeviceChanges(DeviceChangeSink& sink) {
    return std::make_unique<SimWatch>(*world_, sink);
}

}  // namespace keyrig::platform::sim
