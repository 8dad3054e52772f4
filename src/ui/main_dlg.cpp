#include "ui/main_dlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "device/hid_discovery.h"
#include "ui/control_ids.h"
#include "ui/framework/desktop.h"
#include "ui/framework/layout_loader.h"
#include "ui/framework/message_box.h"
#include "ui/framework/translator.h"
#include "ui/framework/widget_ids.h"
#include "ui/macro_record_dlg.h"

namespace keyrig::ui {

CMainDlg::CMainDlg(Settings settings, device::VHidev& vhidev, QString instanceName)
    : settings_(settings),
      vhidev_(vhidev),
      instanceName_(std::move(instanceName)),
      commands_(keyboardDevice_, settings.lighting, settings.sideLight),
      engine_(settings.assignments, vhidev),
      lighting_(settings.lighting, settings.sideLight, commands_) {
    setObjectName("main");
    // The layout draws its own title bar.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
}

CMainDlg::~CMainDlg() {
    vhidev_.releaseAll();
    // The members stop in reverse order: the task thread, the macro thread (with the engine,
    // which releases what it pressed), then the filter channel, which clears the driver's list.
    deviceWatch_.reset();
}

bool CMainDlg::Create() {
    root_ = LoadLayout("LAYOUT:XML_MAINWND", this);
    if (root_ == nullptr) {
        return false;
    }
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(root_);
    setWindowTitle(root_->windowTitle());
    setWindowIcon(root_->windowIcon());
    setStyleSheet(root_->styleSheet());
    router_ = new EventRouter(root_, *this);
    MakeWindowDragHandle(FindWidget(root_, u"title_bar", "window"));
    // The keyboard picture is what the window is for; the arrows move over its keys.
    if (QWidget* keyboard = FindWidget(root_, u"img_keyboard", "cbimg")) {
        keyboard->setFocus();
    }
    return true;
}

device::KeyboardIdentity CMainDlg::ConfiguredKeyboard() const {
    const AppConfig& config = settings_.config;
    return {config.vid, config.pid, config.interface, config.subdevice};
}

bool CMainDlg::OpenKeyboard() {
    std::lock_guard lock(keyboardDevice_.openLock());
    const auto found = device::findConfiguredKeyboard(ConfiguredKeyboard());
    return !found.empty() && keyboardDevice_.Open(found.front().path) == 1;
}

void CMainDlg::Initialise() {
    platform::MarkWindow(winId(), instanceName_.toStdString());
    deviceWatch_ = device::registerHidNotifications(*this);

    keyboard_ = Find<CoordButtonImage>(root_, u"img_keyboard", "cbimg");
    if (keyboard_ != nullptr) {
        keyboard_->SetListener(this);
    }
    if (auto* unused = Find<QComboBox>(root_, u"cbx_in_lv", "combobox")) {
        unused->setCurrentIndex(0);
        router_->Subscribe(unused, [](QComboBox*) { return true; });
    }
    lighting_.LookUpControls(root_, *router_);
    commands_.ResetPacing();

    if (!OpenKeyboard()) {
        commands_.firmwareVersion = -1;
        ShowFirmwareVersion();
        ShowMessageBox(nullptr, "Please insert USB device!", "Warning", MessageButtons::Ok);
        DestroyWindow();
        return;
    }
    QueryFirmwareVersion();
    ShowFirmwareVersion();
    MarkAssignedKeys();
    lighting_.SyncLightingControls(true, true);
    lighting_.SyncSideLightControls(true, true);

    auto startupLighting = std::make_unique<engine::ThreadRunable<device::KeyboardCommandSet>>(
        &commands_, &device::KeyboardCommandSet::SendStartupLightingEffect);
    startupLighting->first = 0;
    startupLighting->second = settings_.lighting.selection;
    startupLighting->interval = 2000;
    startupLighting->repeat = 1;
    taskThread_.Post(std::move(startupLighting), false);
    taskThread_.Start(this);

    engine_.Bind(filterChannel_);
    filterChannel_.OpenDevice();
    filterChannel_.StartListener();
    SendKeyList();
}

void CMainDlg::DestroyWindow() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    if (macroEditor_) {
        macroEditor_->reject();
    }
    platform::UnmarkWindow(winId(), instanceName_.toStdString());
    hide();
    Q_EMIT windowDestroyed();
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    DestroyWindow();
    event->accept();
}

bool CMainDlg::OnCommand(const QString& name, int id) {
    if (name == "btn_more") {
        ShowMoreMenu();
    } else if (name == "btn_close") {
        DestroyWindow();
    } else if (name == "btn_min") {
        PutAway(this);
    } else if (name == "btn_max") {
        showMaximized();
    } else if (name == "btn_restore") {
        showNormal();
    } else if (name == "zh_cn") {
        SwitchLanguage(true);
    } else if (name == "jp") {
        SwitchLanguage(false);
    } else if (name == "btn_restore_factory") {
        RestoreFactorySettings();
    } else if (lighting_.IsLightingRadio(id)) {
        lighting_.OnLightingControlChanged();
    } else {
        return false;
    }
    return true;
}

bool CMainDlg::OnSliderPosition(QSlider* slider, int /*value*/) {
    if (lighting_.IsLightingSlider(slider)) {
        lighting_.OnLightingControlChanged();
    } else if (lighting_.IsSideLightSlider(slider)) {
        lighting_.OnSideLightControlChanged();
    } else {
        return false;
    }
    return true;
}

void CMainDlg::QueryFirmwareVersion() {
    commands_.QueryFirmwareVersion();
}

void CMainDlg::ShowFirmwareVersion() {
    const auto text = commands_.FirmwareVersionText(
        [](std::string_view source) { return Tr(QString::fromUtf8(source)).toStdString(); });
    if (!text) {
        return;
    }
    if (auto* label = Find<QLabel>(root_, control::kVersion, "text")) {
        label->setText(QString::fromStdString(*text));
    }
}

void CMainDlg::SendKeyList() {
    filterChannel_.SetKeyList(settings_.assignments);
}

// --- Devices coming and going -------------------------------------------------------------------

void CMainDlg::OnDeviceArrival(const std::string& path) {
    QMetaObject::invokeMethod(
        this, [this, path] { HandleArrival(path); }, Qt::QueuedConnection);
}

void CMainDlg::OnDeviceRemoval(const std::string& path) {
    QMetaObject::invokeMethod(
        this, [this, path] { HandleRemoval(path); }, Qt::QueuedConnection);
}

bool CMainDlg::IsConfiguredKeyboard(const std::string& path) const {
    const auto ids = device::parseHidDevicePath(path);
    return ids && device::isConfiguredKeyboard(*ids, ConfiguredKeyboard());
}

void CMainDlg::HandleArrival(const std::string& path) {
    if (destroyed_) {
        return;
    }
    // A virtual keyboard installed anew is another device: keys go to it from now on, not to
    // the handle of the one that left. Its path, a root device's, carries no identifiers.
    if (device::isVirtualKeyboardPath(path)) {
        vhidev_.Open();
    }
    if (!device::parseHidDevicePath(path)) {
        return;
    }
    if (IsConfiguredKeyboard(path)) {
        if (keyboardDevice_.Open(path) != 1) {
            commands_.firmwareVersion = -1;
            ShowFirmwareVersion();
        } else {
            QueryFirmwareVersion();
            ShowFirmwareVersion();
            commands_.ResetPacing();
            lighting_.SyncLightingControls(true, true);
            lighting_.SyncSideLightControls(true, true);
            // A keyboard that comes back gets the stored lighting even when the lists did not
            // change their item (and so sent nothing).
            lighting_.ApplyStored();
            MarkAssignedKeys();
            factoryResetPending_ = false;
        }
    }
    filterChannel_.OpenDevice();
}

void CMainDlg::HandleRemoval(const std::string& path) {
    if (destroyed_ || !IsConfiguredKeyboard(path)) {
        return;
    }
    keyboardDevice_.Close();
    commands_.firmwareVersion = -1;
    ShowFirmwareVersion();
    if (!factoryResetPending_) {
        DestroyWindow();
    }
}

}  // namespace keyrig::ui
