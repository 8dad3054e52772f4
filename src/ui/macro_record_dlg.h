// The dialog a click on a key opens. For now it shows the key and what the macro library's
// current choice would make of it, and closes with OK (assign), Delete (remove the key's
// assignment) or Cancel; the recording editor takes its place.
#pragma once

#include <QDialog>
#include <map>
#include <span>
#include <string>

#include "device/filter_channel.h"
#include "store/config_items.h"
#include "store/macro_library.h"
#include "ui/framework/event_router.h"

namespace keyrig::ui {

class CoordButtonImage;

class MacroRecordDlg final : public QDialog, public WidgetEventHandler {
    Q_OBJECT

  public:
    // The results the dialog ends with.
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;
    static constexpr int kResultDelete = 65596;

    MacroRecordDlg(device::FilterChannel& filterChannel, MacroLibrary& library,
                   CoordButtonImage* keyboard, const std::map<KeyCode, std::string>& editedKey,
                   std::span<const FunKeyItem> funKeys, std::span<const CombKeyItem> combKeys,
                   QWidget* owner);

    bool OnCommand(const QString& name, int id) override;
    bool OnSliderPosition(QSlider* /*slider*/, int /*value*/) override { return false; }

  private:
    // Only the first result counts: a second button press while closing changes nothing.
    void Finish(int result);

    bool finished_ = false;
};

}  // namespace keyrig::ui
