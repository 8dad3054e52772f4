// The main window's lighting controls: the effect list with the tab control whose pages hold
// each effect's sliders and radios, and the side-light mode list with its level slider. Every
// change goes into the lighting stores, their files are rewritten, and the keyboard is sent the
// new effect (paced, off the UI thread).
#pragma once

#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <array>
#include <vector>

#include "device/keyboard_command_set.h"
#include "store/lighting_store.h"
#include "ui/framework/event_router.h"

namespace keyrig::ui {

class LightingPanel final {
  public:
    LightingPanel(LightingStore& lighting, SideLightStore& sideLight,
                  device::KeyboardCommandSet& commands);

    // Finds the controls under `root` and subscribes to the two lists' selection changes.
    void LookUpControls(QWidget* root, EventRouter& router);

    // `fromStore`: the stored effect onto the controls (and, with `selectItem`, into the list);
    // otherwise the controls' values into the store, whose file is rewritten.
    void SyncLightingControls(bool fromStore, bool selectItem);
    void SyncSideLightControls(bool fromStore, bool selectItem);

    // Whether the slider or radio belongs to the main lighting or to the side light.
    bool IsLightingSlider(const QSlider* slider) const;
    bool IsSideLightSlider(const QSlider* slider) const { return slider == sideSlider_; }
    bool IsLightingRadio(int id) const;

    // A lighting slider or radio moved: the controls into the store, the effect to the keyboard.
    void OnLightingControlChanged();
    void OnSideLightControlChanged();

    // Sends what the stores hold now, as an arrival of the keyboard does.
    void ApplyStored();

    QComboBox* effectList() const { return effectList_; }
    QComboBox* sideList() const { return sideList_; }

  private:
    bool OnSelectionChange(QComboBox* list);
    QSlider* Slider(std::array<QSlider*, 4> sliders, int page) const;

    LightingStore& lighting_;
    SideLightStore& sideLight_;
    device::KeyboardCommandSet& commands_;

    QTabWidget* pages_ = nullptr;
    QComboBox* effectList_ = nullptr;
    QComboBox* sideList_ = nullptr;
    QSlider* sideSlider_ = nullptr;
    QWidget* sideLabel_ = nullptr;
    std::array<QSlider*, 4> speedSliders_{};       // by page; page 2 has none
    std::array<QSlider*, 4> brightnessSliders_{};  // by page
    std::vector<QRadioButton*> directionRadios_;
    std::vector<QRadioButton*> loaderRadios_;
};

}  // namespace keyrig::ui
