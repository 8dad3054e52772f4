// The chosen lighting: 20 main effects (ledeffect.xml) and 12 side-light modes (sidemodel.xml).
//
// Both files are rewritten with their defaults when they are missing or damaged, so the keyboard
// always has something sound to be sent. A damaged file is kept aside first.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "store/xml_data_file.h"

namespace keyrig {

struct LightingSlot {
    uint8_t brightness = 5;  // 0..5
    uint8_t speed = 0;       // 0..2
    uint8_t direction = 0;   // 0..1
    uint8_t option = 0;      // 1..3, 0 after a reset

    bool operator==(const LightingSlot&) const = default;
};

// How a number read from a lighting file becomes what the store holds. A slot field keeps the
// low 8 bits, then its range rule applies; a side-light level keeps the low 4 bits, and 8 or
// more is no level.
uint8_t SpeedFromFile(uint32_t value);
uint8_t BrightnessFromFile(uint32_t value);
uint8_t DirectionFromFile(uint32_t value);
uint8_t OptionFromFile(uint32_t value);
uint8_t SideLevelFromFile(uint32_t value);

class LightingStore final {
  public:
    static constexpr int kEffectCount = 20;
    static constexpr int32_t kNoEffect = 20;

    static LightingStore& Instance();

    // Reads the file at `path`. A missing, damaged or element-less file gives the defaults, which
    // are written at once, and false.
    bool Load(const std::filesystem::path& path);
    bool Save();
    // Every slot and the selection back to their defaults; nothing is written.
    void SetDefaults();

    const std::filesystem::path& path() const { return file_.path(); }
    const XmlDataFile& file() const { return file_; }

    std::array<LightingSlot, kEffectCount> slots{};
    int32_t selection = kNoEffect;  // the chosen effect; kNoEffect for none

  private:
    XmlDataFile file_;
};

class SideLightStore final {
  public:
    static constexpr int kModeCount = 12;

    static SideLightStore& Instance();

    SideLightStore();

    // As LightingStore::Load.
    bool Load(const std::filesystem::path& path);
    bool Save();
    // The defaults, then Save().
    bool ResetToDefaults();

    const std::filesystem::path& path() const { return file_.path(); }
    const XmlDataFile& file() const { return file_; }

    // Modes 0..2 keep their speed here, modes 3..11 their brightness; each 0..7.
    std::array<uint8_t, kModeCount> levels{};
    int32_t selection = 0;

  private:
    void SetDefaults();

    XmlDataFile file_;
};

}  // namespace keyrig
