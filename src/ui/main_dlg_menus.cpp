// The main window's menus and language: the more menu under its button, the commands of both
// menus, and the live switch between the two languages.
#include <QAbstractButton>

#include "device/hid_discovery.h"
#include "ui/control_ids.h"
#include "ui/framework/menus.h"
#include "ui/framework/message_box.h"
#include "ui/framework/resources.h"
#include "ui/framework/translator.h"
#include "ui/framework/widget_ids.h"
#include "ui/main_dlg.h"

namespace keyrig::ui {
namespace {

constexpr int kCheckFirmware = 1;
constexpr int kExit = 6;
constexpr int32_t kLatestFirmware = 0x0100;

}  // namespace

void CMainDlg::OnMenuCommand(int id) {
    if (id == kCheckFirmware) {
        if (!keyboardDevice_.isOpen()) {
            ShowMessageBox(nullptr, "Please insert USB device", "Warning", MessageButtons::Ok);
            return;
        }
        if (commands_.firmwareVersion == kLatestFirmware) {
            ShowMessageBox(nullptr,
                           "The firmware is already the latest version and no upgrade is "
                           "required.",
                           "Warning", MessageButtons::Ok);
            return;
        }
        keyboardDevice_.Close();
        const device::KeyboardIdentity keyboard = ConfiguredKeyboard();
        if (keyboardDevice_.Open(keyboard.vid, device::productList(keyboard),
                                 keyboard.interfaceNumber, keyboard.collectionNumber) == 1) {
            QueryFirmwareVersion();
        } else {
            commands_.firmwareVersion = -1;
        }
        ShowFirmwareVersion();
    } else if (id == kExit) {
        QMetaObject::invokeMethod(this, &CMainDlg::DestroyWindow, Qt::QueuedConnection);
    }
}

void CMainDlg::ShowMoreMenu() {
    auto* button = Find<QAbstractButton>(root_, control::kBtnMore, "imgbtn");
    if (button == nullptr) {
        return;
    }
    moreMenu_ = BuildMenu(ResourceIndex::Current().Path("smenuex:menu_more"),
                          [this](const QString& name, int id) { router_->MenuChoice(name, id); });
    if (moreMenu_) {
        moreMenu_->popup(button->mapToGlobal(QPoint(0, button->height())));
    }
}

void CMainDlg::SwitchLanguage(bool chinese) {
    if (LanguageTranslator* translator = LanguageTranslator::Installed()) {
        translator->LoadLanguage(
            ResourceIndex::Current().Path(chinese ? "translator:lang_cn" : "translator:lang_en"));
    }
}

}  // namespace keyrig::ui
