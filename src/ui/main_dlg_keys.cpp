// The main window's key assignments: the marks and tips on the keyboard picture, the editor a
// click opens, and the factory reset that takes every assignment and setting back.
#include "engine/remap_engine.h"
#include "ui/framework/message_box.h"
#include "ui/framework/translator.h"
#include "ui/macro_record_dlg.h"
#include "ui/main_dlg.h"

namespace keyrig::ui {

QString CMainDlg::TipText(const KeyAssignment& assignment) const {
    QString tip = QString::fromStdString(assignment.name);
    if (!assignment.group.empty()) {
        tip += " : " + Tr(QString::fromStdString(assignment.group));
    }
    return tip;
}

void CMainDlg::MarkAssignedKeys() {
    if (keyboard_ == nullptr) {
        return;
    }
    for (const KeyAssignment& assignment : *settings_.assignments.Snapshot()) {
        const int key = UsageIdOf(assignment.code);
        keyboard_->SetRegionChecked(key, true);
        keyboard_->SetRegionText(key, TipText(assignment));
    }
}

int CMainDlg::OnKeyClicked(int key, const QString& name, int completed, int /*keyFlags*/, int /*x*/,
                           int /*y*/) {
    if (completed == 0 || !keyboardDevice_.isOpen() || keyboard_ == nullptr || macroEditor_) {
        return 0;
    }
    const auto region = keyboard_->FindRegion(key);
    if (!region) {
        return 0;
    }
    const KeyCode edited =
        MakeKeyCode(static_cast<uint16_t>(region->va), static_cast<uint16_t>(region->id));
    editedKey_[static_cast<KeyCode>(key)] = name.toStdString();

    MacroRecordDlg editor(filterChannel_, settings_.macros, keyboard_, editedKey_,
                          settings_.config.funKeys, settings_.config.combKeys, this);
    macroEditor_ = &editor;
    const int result = editor.exec();
    macroEditor_ = nullptr;

    const std::array<uint8_t, 4> stopCapturing{};
    filterChannel_.Request(device::IOCTL_VHIDFLT_804, stopCapturing);

    if (result == MacroRecordDlg::kResultOk) {
        if (key != 0) {
            keyboard_->SetRegionChecked(key, true);
        }
        if (const auto assignment = engine::MakeKeyAssignment(
                edited, settings_.macros, settings_.config.funKeys, settings_.config.combKeys)) {
            settings_.assignments.Put(*assignment);
            keyboard_->SetRegionText(key, TipText(*assignment));
            settings_.assignments.Save();
        }
        settings_.macros.Save();
        SendKeyList();
    } else if (result == MacroRecordDlg::kResultDelete) {
        settings_.assignments.Remove(edited);
        keyboard_->SetRegionText(key, QString());
        keyboard_->SetRegionChecked(key, false);
        settings_.assignments.Save();
        SendKeyList();
    }
    editedKey_.clear();
    return 0;
}

void CMainDlg::RestoreFactorySettings() {
    if (ShowMessageBox(this, "All settings will be restored, are you sure you want to continue?",
                       "Warning", MessageButtons::OkCancel) != kAnswerOk) {
        return;
    }
    factoryResetPending_ = true;
    // The user asked for every setting back: the macro groups go too, in the file as well, so
    // that they do not return at the next start.
    settings_.macros.ResetToDefaults();
    settings_.macros.Save();
    settings_.assignments.Clear();
    settings_.assignments.Save();
    for (LightingSlot& slot : settings_.lighting.slots) {
        slot = LightingSlot{5, 0, 0, 0};
    }
    settings_.lighting.selection = LightingStore::kNoEffect;
    settings_.lighting.Save();
    settings_.sideLight.ResetToDefaults();
    engine_.StopMacro();
    SendKeyList();
    lighting_.SyncSideLightControls(true, true);
    lighting_.SyncLightingControls(true, true);
    if (keyboard_ != nullptr) {
        keyboard_->SetRegionChecked(CoordButtonImage::kEveryRegion, false);
    }
    settings_.assignments.Clear();
    settings_.assignments.Save();
    // Waits for the lighting still on its way, so that the reset is the last the keyboard hears.
    commands_.SendFactoryReset();
}

}  // namespace keyrig::ui
