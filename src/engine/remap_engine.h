// The remapping engine: what a reported key turns into.
//
// The key-event dispatcher runs on the filter channel's listener thread. A single or media key
// goes straight to the virtual keyboard; a key combination or a macro is copied into
// playingAssignment and played by the macro player on macroThread. While a macro plays, the
// dispatcher first applies the stop rule of its play mode.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

#include "device/filter_channel.h"
#include "device/vhidev.h"
#include "engine/easy_thread.h"
#include "store/config_items.h"
#include "store/key_assignment_store.h"
#include "store/macro_library.h"

namespace keyrig::engine {

class RemapEngine final {
  public:
    RemapEngine(const KeyAssignmentStore& store, device::VHidev& vhidev);
    // Leaves the channel, stops the macro (its keys are released) and releases every key of the
    // virtual keyboard, in that order, so that no key stays down.
    ~RemapEngine();
    RemapEngine(const RemapEngine&) = delete;
    RemapEngine& operator=(const RemapEngine&) = delete;

    // Makes the player macroThread's loop and subscribes the dispatcher to `channel`, which must
    // outlive the engine's binding (until the destructor).
    void Bind(device::FilterChannel& channel);

    // The subscriber: always 0, so later subscribers would see the event too.
    int KeyEventDispatcher(uint32_t usagePage, uint32_t usageId, uint32_t pressed);
    // macroThread's loop callback. Always 0.
    int32_t MacroPlayer(IEasyThread* thread, void* argument);

    // Stops a playing macro and waits until its keys are released.
    void StopMacro();
    // Whether a macro is being played now.
    bool MacroPlaying();
    // For tools that drive the engine line by line: waits until the macro started last has sent
    // its first report, or found it has nothing to send, or was stopped. False after `limit`.
    bool WaitForMacroStart(std::chrono::milliseconds limit);

    EasyThread macroThread;
    KeyAssignment playingAssignment;  // guarded by macroThread's user lock

  private:
    // Stop, copy, start: one sequence at a time, from the listener or the UI thread.
    void PlayAssignment(const KeyAssignment& assignment);
    // The player has taken up the macro started last.
    void MarkUnderway();

    const KeyAssignmentStore& store_;
    device::VHidev& vhidev_;
    device::FilterChannel* channel_ = nullptr;
    std::mutex macroControl_;  // held around each Stop/Start sequence of macroThread

    std::mutex startLock_;
    std::condition_variable startChanged_;
    uint64_t macrosStarted_ = 0;   // by startLock_
    uint64_t macrosUnderway_ = 0;  // by startLock_
};

// The number of passes a play mode plays: repeat for a count, -1 (without end) for the modes
// that end on a key, 0 for anything else.
int32_t PassCount(int32_t play, int32_t repeat);

// What the macro editor's choices make of the clicked key, or nothing when the choice is out of
// range (the library's type names the tab: macro, single key, media key, key combination).
std::optional<KeyAssignment> MakeKeyAssignment(KeyCode clicked, const MacroLibrary& library,
                                               std::span<const FunKeyItem> funKeys,
                                               std::span<const CombKeyItem> combKeys);

}  // namespace keyrig::engine
