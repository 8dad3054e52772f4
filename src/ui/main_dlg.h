// The main window. It owns everything that talks to the devices — the keyboard's channel and
// its command set, the key-event filter channel, the remapping engine with its macro thread, and
// the task thread that sends the start-up lighting — and routes the widgets' events to the
// pieces that handle them: the lighting panel, the keyboard picture, the tray icon and menus.
// It runs only while the keyboard is present, except while a factory reset waits for the
// keyboard to come back.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "app/settings.h"
#include "device/filter_channel.h"
#include "device/hid_device.h"
#include "device/hid_discovery.h"
#include "device/keyboard_command_set.h"
#include "device/vhidev.h"
#include "engine/remap_engine.h"
#include "engine/runable_thread.h"
#include "platform/platform.h"
#include "ui/coord_button_image.h"
#include "ui/framework/event_router.h"
#include "ui/lighting_panel.h"
#include "ui/macro_record_dlg.h"

namespace keyrig::ui {

class CMainDlg final : public QWidget,
                       public WidgetEventHandler,
                       public ICoordButtonClickListener,
                       public platform::DeviceChangeSink {
    Q_OBJECT

  public:
    // `instanceName` marks the window for a second copy of the program to find.
    CMainDlg(Settings settings, device::VHidev& vhidev, QString instanceName);
    // Releases every key of the virtual keyboard, then stops the task thread, the macro thread
    // and the filter channel, in that order.
    ~CMainDlg() override;

    // Builds the widgets from the layout "LAYOUT:XML_MAINWND"; false when it cannot be read.
    bool Create();
    // Opens the keyboard and starts everything; without the keyboard it says so and the window
    // is destroyed.
    void Initialise();
    // Ends the window, and with it the program: windowDestroyed() follows.
    void DestroyWindow();
    bool isDestroyed() const { return destroyed_; }

    // The keyboard picture's listener.
    int OnKeyClicked(int key, const QString& name, int completed, int keyFlags, int x,
                     int y) override;

    // Widget events.
    bool OnCommand(const QString& name, int id) override;
    bool OnSliderPosition(QSlider* slider, int value) override;
    void OnMenuCommand(int id) override;

    // Device notices arrive on a thread of the system's; they are handled on the UI thread.
    void OnDeviceArrival(const std::string& path) override;
    void OnDeviceRemoval(const std::string& path) override;

    void MarkAssignedKeys();
    void QueryFirmwareVersion();
    void ShowFirmwareVersion();
    void RestoreFactorySettings();
    void ShowMoreMenu();
    void SwitchLanguage(bool chinese);

    // For tools that drive the window and wait for it to settle.
    device::KeyboardCommandSet& commands() { return commands_; }
    engine::RemapEngine& engine() { return engine_; }
    MacroRecordDlg* macroEditor() const { return macroEditor_; }
    QMenu* moreMenu() const { return moreMenu_.get(); }
    QWidget* root() const { return root_; }
    EventRouter* router() const { return router_; }
    bool factoryResetPending() const { return factoryResetPending_; }

  Q_SIGNALS:
    // The window is gone for the user; the program ends once control returns to its loop.
    void windowDestroyed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void HandleArrival(const std::string& path);
    void HandleRemoval(const std::string& path);
    device::KeyboardIdentity ConfiguredKeyboard() const;
    bool IsConfiguredKeyboard(const std::string& path) const;
    bool OpenKeyboard();
    void SendKeyList();
    QString TipText(const KeyAssignment& assignment) const;

    Settings settings_;
    device::VHidev& vhidev_;
    QString instanceName_;

    // Declared in the order they start, so that they stop in the reverse one.
    device::HidDevice keyboardDevice_;
    device::KeyboardCommandSet commands_;
    device::FilterChannel filterChannel_;
    engine::RemapEngine engine_;
    engine::RunableThread<0> taskThread_;
    std::unique_ptr<platform::DeviceWatch> deviceWatch_;

    LightingPanel lighting_;
    QWidget* root_ = nullptr;        // the layout's widgets, children of this window
    EventRouter* router_ = nullptr;  // a child of root_
    CoordButtonImage* keyboard_ = nullptr;
    std::map<KeyCode, std::string> editedKey_;  // the key being edited, while the editor is open
    QPointer<MacroRecordDlg> macroEditor_;
    std::unique_ptr<QMenu> moreMenu_;
    bool factoryResetPending_ = false;
    bool destroyed_ = false;
};

}  // namespace keyrig::ui
