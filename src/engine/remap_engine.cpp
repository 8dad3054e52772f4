#include "engine/remap_engine.h"

#include <algorithm>

#include "engine/key_injection.h"

namespace keyrig::engine {
namespace {

void Inject(device::VHidev& vhidev, KeyCode code, bool pressed) {
    InjectKey(vhidev, UsagePageOf(code), UsageIdOf(code), pressed);
}

std::string NameOf(KeyCode code) {
    return FindKey(code).name;
}

}  // namespace

int32_t PassCount(int32_t play, int32_t repeat) {
    switch (play) {
        case PlayCount:
        // Started like a count and without a stop rule of its own: a count is the only end the
        // user can rely on, so it plays `repeat` times too.
        case PlayUnbounded:
            return repeat;
        case PlayWhileHeld:
        case PlayToggle:
        case PlayUntilOtherKey:
        case PlayUntilAnyKey:
            return -1;
        default:
            return 0;
    }
}

RemapEngine::RemapEngine(const KeyAssignmentStore& store, device::VHidev& vhidev)
    : store_(store), vhidev_(vhidev) {
    macroThread.SetLoopCallback(this, &RemapEngine::MacroPlayer);
    macroThread.SetUserData(&playingAssignment, 0);
}

RemapEngine::~RemapEngine() {
    if (channel_ != nullptr) {
        // Waits for an event being handed out, so no injection follows the release below.
        channel_->RemoveMonitor(this, &RemapEngine::KeyEventDispatcher);
    }
    StopMacro();
    vhidev_.releaseAll();
}

void RemapEngine::Bind(device::FilterChannel& channel) {
    channel_ = &channel;
    channel.AddMonitor(this, &RemapEngine::KeyEventDispatcher);
}

void RemapEngine::StopMacro() {
    std::lock_guard control(macroControl_);
    macroThread.Stop();
    // A stop that comes before the player's first pass ends the thread without the player: the
    // macro never played, and is not playing now either.
    macroThread.Lock();
    playingAssignment.code = 0;
    macroThread.Unlock();
    MarkUnderway();
}

void RemapEngine::MarkUnderway() {
    {
        std::lock_guard lock(startLock_);
        macrosUnderway_ = macrosStarted_;
    }
    startChanged_.notify_all();
}

bool RemapEngine::WaitForMacroStart(std::chrono::milliseconds limit) {
    std::unique_lock lock(startLock_);
    return startChanged_.wait_for(lock, limit,
                                  [this] { return macrosUnderway_ == macrosStarted_; });
}

bool RemapEngine::MacroPlaying() {
    macroThread.Lock();
    const bool playing = playingAssignment.code != 0;
    macroThread.Unlock();
    return playing;
}

void RemapEngine::PlayAssignment(const KeyAssignment& assignment) {
    std::lock_guard control(macroControl_);
    // Stop waits until the playing macro has released its keys; it is never called with the
    // user lock held, which the player needs to finish.
    macroThread.Stop();
    macroThread.Lock();
    playingAssignment = assignment;
    macroThread.Unlock();
    {
        std::lock_guard lock(startLock_);
        ++macrosStarted_;
    }
    if (macroThread.Start(nullptr) != 0) {
        MarkUnderway();  // no thread, no macro
    }
}

int RemapEngine::KeyEventDispatcher(uint32_t usagePage, uint32_t usageId, uint32_t pressed) {
    const KeyCode code =
        MakeKeyCode(static_cast<uint16_t>(usagePage), static_cast<uint16_t>(usageId));
    const bool down = pressed != 0;

    macroThread.Lock();
    const KeyCode playingCode = playingAssignment.code;
    const int32_t playingMode = playingAssignment.play;
    macroThread.Unlock();

    // The stop rule of the playing macro comes first; a press or release that stops it does
    // nothing else.
    const auto stopAndForget = [this] {
        StopMacro();
        macroThread.Lock();
        playingAssignment.play = 0;
        macroThread.Unlock();
    };
    switch (playingMode) {
        case PlayWhileHeld:
            if (!down && code == playingCode) {
                StopMacro();
                return 0;
            }
            break;
        case PlayToggle:
            if (down && code == playingCode) {
                StopMacro();
                return 0;
            }
            break;
        case PlayUntilOtherKey:
            if (down) {
                if (code != playingCode) {
                    stopAndForget();
                }
                return 0;
            }
            break;
        case PlayUntilAnyKey:
            if (down) {
                stopAndForget();
                return 0;
            }
            break;
        default:
            break;
    }

    // Every assignment of the key acts, in stored order.
    const auto assignments = store_.Snapshot();
    for (const KeyAssignment& assignment : *assignments) {
        if (assignment.code != code) {
            continue;
        }
        switch (assignment.play) {
            case PlaySingleKey:
                if (!assignment.steps.empty()) {
                    Inject(vhidev_, assignment.steps.front().code, down);
                }
                break;
            case PlayCount:
            case PlayWhileHeld:
            case PlayToggle:
            case PlayUntilOtherKey:
            case PlayUntilAnyKey:
            case PlayUnbounded:
                if (down) {
                    PlayAssignment(assignment);
                }
                break;
            default:
                break;
        }
    }
    return 0;
}

int32_t RemapEngine::MacroPlayer(IEasyThread* thread, void* /*argument*/) {
    thread->Lock();
    const std::vector<MacroStep> steps = playingAssignment.steps;
    const KeyCode code = playingAssignment.code;
    int32_t passes = PassCount(playingAssignment.play, playingAssignment.repeat);
    if (passes == 0) {
        playingAssignment.code = 0;  // nothing to play is not playing
    }
    thread->Unlock();

    if (code == 0 || passes == 0) {
        MarkUnderway();
        // Idle. Only a stop can bring something new to play, so wait for it without a timer.
        thread->WaitForStop(kForever);
        return 0;
    }

    if (steps.empty()) {
        MarkUnderway();
        if (passes < 0) {
            thread->WaitForStop(kForever);  // nothing to press until it is stopped
        }
    } else {
        // Each step is due a delay after the step before was due, so waits never add up.
        auto due = std::chrono::steady_clock::now();
        bool stopped = false;
        while (!stopped) {
            if (passes != -1) {
                if (passes == 0) {
                    break;
                }
                --passes;
            }
            for (const MacroStep& step : steps) {
                if (thread->IsStopRequested()) {
                    stopped = true;
                    break;
                }
                Inject(vhidev_, step.code, step.state != 0);
                if (&step == &steps.front()) {
                    MarkUnderway();
                }
                due += std::chrono::milliseconds(std::max<uint32_t>(step.delay, 1));
                if (thread->WaitForStopUntil(due)) {
                    stopped = true;
                    break;
                }
            }
        }
    }

    thread->Lock();
    playingAssignment.code = 0;
    thread->Unlock();
    // Every key the sequence presses is released once more, one report each.
    for (const MacroStep& step : steps) {
        if (step.state != 0) {
            Inject(vhidev_, step.code, false);
        }
    }
    return 0;
}

std::optional<KeyAssignment> MakeKeyAssignment(KeyCode clicked, const MacroLibrary& library,
                                               std::span<const FunKeyItem> funKeys,
                                               std::span<const CombKeyItem> combKeys) {
    KeyAssignment assignment;
    assignment.code = clicked;
    assignment.name = NameOf(clicked);
    assignment.type = library.type;
    const auto inRange = [](int32_t index, size_t size) {
        return index >= 0 && static_cast<size_t>(index) < size;
    };
    switch (library.type) {
        case KindMacro: {
            if (!inRange(library.group, library.groups.size())) {
                return std::nullopt;
            }
            const MacroGroup& group = library.groups[static_cast<size_t>(library.group)];
            assignment.play = library.playMode;
            assignment.repeat = library.repeat;
            assignment.group = group.name;
            assignment.steps = group.steps;
            return assignment;
        }
        case KindSingleKey:
            assignment.play = PlaySingleKey;
            assignment.repeat = 1;
            assignment.group = NameOf(library.skcode);
            assignment.steps = {{library.skcode, 0, 0, NameOf(library.skcode)}};
            return assignment;
        case KindMedia: {
            if (!inRange(library.media, funKeys.size())) {
                return std::nullopt;
            }
            const FunKeyItem& item = funKeys[static_cast<size_t>(library.media)];
            assignment.play = PlaySingleKey;
            assignment.repeat = 1;
            assignment.group = item.name;
            const std::string keyName = NameOf(item.code);
            assignment.steps = {{item.code, 0, 0, keyName.empty() ? item.name : keyName}};
            return assignment;
        }
        case KindFunction: {
            if (!inRange(library.function, combKeys.size())) {
                return std::nullopt;
            }
            const CombKeyItem& item = combKeys[static_cast<size_t>(library.function)];
            if (item.pairs.empty()) {
                return std::nullopt;
            }
            assignment.play = PlayCount;
            assignment.repeat = 1;
            assignment.group = item.name;
            // A negative delay in config.xml would wrap to a wait of weeks; it counts as none.
            const auto delayOf = [](int32_t delay) {
                return static_cast<uint32_t>(std::max(delay, 0));
            };
            for (const CombKeyItem::Pair& pair : item.pairs) {
                const auto key = static_cast<KeyCode>(pair.first);
                assignment.steps.push_back({key, 1, delayOf(pair.second) + 1, NameOf(key)});
            }
            for (const CombKeyItem::Pair& pair : item.pairs) {
                const auto key = static_cast<KeyCode>(pair.first);
                assignment.steps.push_back({key, 0, delayOf(pair.second), NameOf(key)});
            }
            return assignment;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace keyrig::engine
