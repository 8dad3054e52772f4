#include "ui/lighting_panel.h"

#include <QLabel>
#include <QTabBar>

#include "ui/control_ids.h"
#include "ui/framework/translator.h"
#include "ui/framework/widget_ids.h"

namespace keyrig::ui {
namespace {

// The pages of the tab control, by what the chosen effect has.
constexpr int kBrightnessOnlyPage = 2;      // effects 0..11
constexpr int kSpeedAndBrightnessPage = 1;  // effects 12..19
constexpr int kLastBrightnessOnly = 11;

// A radio found for a list starts unchecked; an exclusive radio can only be unchecked alone.
QRadioButton* Unchecked(QRadioButton* radio) {
    if (radio != nullptr) {
        const bool exclusive = radio->autoExclusive();
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(exclusive);
    }
    return radio;
}

// Selects `index` with the list's change notification, which Qt raises only when the current
// item really changes; an index the list does not have leaves it alone.
void Select(QComboBox* list, int index) {
    if (list != nullptr && index >= 0 && index < list->count()) {
        list->setCurrentIndex(index);
    }
}

int CurrentItem(const QComboBox* list) {
    return list == nullptr ? -1 : list->currentIndex();
}

uint8_t LowBits(const QSlider* slider, int bits) {
    return slider == nullptr ? 0 : static_cast<uint8_t>(slider->value() & ((1 << bits) - 1));
}

}  // namespace

LightingPanel::LightingPanel(LightingStore& lighting, SideLightStore& sideLight,
                             device::KeyboardCommandSet& commands)
    : lighting_(lighting), sideLight_(sideLight), commands_(commands) {}

void LightingPanel::LookUpControls(QWidget* root, EventRouter& router) {
    pages_ = Find<QTabWidget>(root, u"tab_color_effect", "tabctrl");
    if (pages_ != nullptr) {
        // The effect chooses the page; tabs would offer pages that the effect does not use.
        pages_->tabBar()->hide();
    }
    effectList_ = Find<QComboBox>(root, u"cbx_color_effect", "combobox");
    sideList_ = Find<QComboBox>(root, u"cbx_side_color_effect", "combobox");
    const auto selectionChange = [this](QComboBox* list) { return OnSelectionChange(list); };
    router.Subscribe(effectList_, selectionChange);
    router.Subscribe(sideList_, selectionChange);
    sideSlider_ = Find<QSlider>(root, u"bar_side_brightness", "sliderbar");
    sideLabel_ = FindWidget(root, u"text_side_brightness", "window");

    const int speedIds[4] = {control::kGeneralSpeed0, control::kGeneralSpeed1, 0,
                             control::kGeneralSpeed3};
    const int brightnessIds[4] = {control::kConstBrightness0, control::kConstBrightness1,
                                  control::kConstBrightness2, control::kConstBrightness3};
    for (int page = 0; page < 4; ++page) {
        speedSliders_[page] = Find<QSlider>(root, speedIds[page], "sliderbar");
        brightnessSliders_[page] = Find<QSlider>(root, brightnessIds[page], "sliderbar");
    }
    for (const int id : {control::kDirectionLeft0, control::kDirectionRight0}) {
        if (auto* radio = Unchecked(Find<QRadioButton>(root, id, "window"))) {
            directionRadios_.push_back(radio);
        }
    }
    for (const int id : {control::kLoaderLeft3, control::kLoaderCenter3, control::kLoaderRight3}) {
        if (auto* radio = Unchecked(Find<QRadioButton>(root, id, "window"))) {
            loaderRadios_.push_back(radio);
        }
    }
}

QSlider* LightingPanel::Slider(std::array<QSlider*, 4> sliders, int page) const {
    return sliders[static_cast<size_t>(page)];
}

void LightingPanel::SyncLightingControls(bool fromStore, bool selectItem) {
    if (fromStore) {
        const int index = lighting_.selection;
        if (selectItem) {
            Select(effectList_, index);
        }
        if (index < 0 || index >= LightingStore::kEffectCount) {
            return;
        }
        const LightingSlot& slot = lighting_.slots[static_cast<size_t>(index)];
        const int page =
            index <= kLastBrightnessOnly ? kBrightnessOnlyPage : kSpeedAndBrightnessPage;
        if (pages_ != nullptr) {
            pages_->setCurrentIndex(page);
        }
        if (page == kSpeedAndBrightnessPage) {
            SetValueQuietly(Slider(speedSliders_, page), slot.speed);
        }
        SetValueQuietly(Slider(brightnessSliders_, page), slot.brightness);
        return;
    }
    const int index = CurrentItem(effectList_);
    lighting_.selection = index;
    lighting_.Save();
    if (index < 0 || index >= LightingStore::kEffectCount) {
        return;
    }
    LightingSlot& slot = lighting_.slots[static_cast<size_t>(index)];
    if (index <= kLastBrightnessOnly) {
        slot.brightness = LowBits(Slider(brightnessSliders_, kBrightnessOnlyPage), 8);
    } else {
        slot.speed = LowBits(Slider(speedSliders_, kSpeedAndBrightnessPage), 8);
        slot.brightness = LowBits(Slider(brightnessSliders_, kSpeedAndBrightnessPage), 8);
    }
    lighting_.Save();
}

void LightingPanel::SyncSideLightControls(bool fromStore, bool selectItem) {
    if (fromStore) {
        const int mode = sideLight_.selection;
        if (auto* label = qobject_cast<QLabel*>(sideLabel_)) {
            label->setText(mode <= 2 ? Tr("Speed") : Tr("Brightness"));
        }
        if (selectItem) {
            Select(sideList_, mode);
        }
        if (mode >= 0 && mode < SideLightStore::kModeCount) {
            SetValueQuietly(sideSlider_, sideLight_.levels[static_cast<size_t>(mode)]);
        }
        return;
    }
    const int mode = CurrentItem(sideList_);
    sideLight_.selection = mode;
    sideLight_.Save();
    if (mode >= 0 && mode < SideLightStore::kModeCount) {
        sideLight_.levels[static_cast<size_t>(mode)] = LowBits(sideSlider_, 4);
        sideLight_.Save();
    }
}

bool LightingPanel::OnSelectionChange(QComboBox* list) {
    const int id = WidgetId(list);
    if (id == control::kColorEffect) {
        lighting_.selection = list->currentIndex();
        lighting_.Save();
        SyncLightingControls(true, false);
        commands_.ApplyLightingEffect(list->currentIndex());
    } else if (id == control::kSideColorEffect) {
        sideLight_.selection = list->currentIndex();
        sideLight_.Save();
        SyncSideLightControls(true, false);
        commands_.ApplySideLight(list->currentIndex());
    }
    return true;
}

bool LightingPanel::IsLightingSlider(const QSlider* slider) const {
    static const QStringList names = {"bar_general_speed_0",    "bar_const_brightness_0",
                                      "bar_general_speed_1",    "bar_const_brightness_1",
                                      "bar_const_brightness_2", "bar_general_speed_3",
                                      "bar_const_brightness_3"};
    return slider != nullptr && names.contains(slider->objectName());
}

bool LightingPanel::IsLightingRadio(int id) const {
    return (id >= control::kDirectionLeft0 && id <= control::kDirectionRight0) ||
           (id >= control::kLoaderLeft3 && id <= control::kLoaderRight3);
}

void LightingPanel::OnLightingControlChanged() {
    SyncLightingControls(false, false);
    commands_.ApplyLightingEffect(CurrentItem(effectList_));
}

void LightingPanel::OnSideLightControlChanged() {
    SyncSideLightControls(false, false);
    commands_.ApplySideLight(CurrentItem(sideList_));
}

void LightingPanel::ApplyStored() {
    commands_.ApplyLightingEffect(lighting_.selection);
    commands_.ApplySideLight(sideLight_.selection);
}

}  // namespace keyrig::ui
