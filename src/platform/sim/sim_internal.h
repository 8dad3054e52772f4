// The simulated system's pieces that only its own sources see.
#pragma once

#include "platform/sim/sim_system.h"

namespace keyrig::platform::sim {

struct World::Interface {
    HidInterfaceDescription description;
    bool present = true;
    uint64_t generation = 0;  // counts arrivals; a handle from an earlier one is dead
};

// Windows paths compare without regard to letter case.
bool SamePath(std::string_view left, std::string_view right);

class SimEvent final : public Event {
  public:
    SimEvent(World& world, bool manualReset) : world_(world), manualReset_(manualReset) {}
    void Set() override;
    void Reset() override;
    bool IsSet() const override;

    // With the world's lock held: whether the event is set, consuming it if it resets itself.
    bool TakeLocked() const;

  private:
    World& world_;
    const bool manualReset_;
    mutable bool set_ = false;  // by the world's lock
};

}  // namespace keyrig::platform::sim
