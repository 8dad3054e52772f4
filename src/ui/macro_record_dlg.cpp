#include "ui/macro_record_dlg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "engine/remap_engine.h"
#include "ui/framework/layout_loader.h"
#include "ui/framework/translator.h"
#include "ui/framework/widget_ids.h"

namespace keyrig::ui {

MacroRecordDlg::MacroRecordDlg(device::FilterChannel& /*filterChannel*/, MacroLibrary& library,
                               CoordButtonImage* /*keyboard*/,
                               const std::map<KeyCode, std::string>& editedKey,
                               std::span<const FunKeyItem> funKeys,
                               std::span<const CombKeyItem> combKeys, QWidget* owner)
    : QDialog(owner) {
    setObjectName("macro");
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    QWidget* root = LoadLayout("LAYOUT:macro", this);
    if (root == nullptr) {
        return;
    }
    box->addWidget(root);
    setWindowTitle(root->windowTitle());
    new EventRouter(root, *this);

    const KeyCode key = editedKey.empty() ? 0 : editedKey.begin()->first;
    const QString keyName =
        editedKey.empty() ? QString() : QString::fromStdString(editedKey.begin()->second);
    if (auto* label = Find<QLabel>(root, u"text_key", "text")) {
        label->setText(Tr("Key: %1").arg(keyName));
    }
    if (auto* label = Find<QLabel>(root, u"text_choice", "text")) {
        const auto assignment = engine::MakeKeyAssignment(key, library, funKeys, combKeys);
        label->setText(assignment
                           ? Tr("OK assigns: %1").arg(QString::fromStdString(assignment->group))
                           : Tr("The current choice assigns nothing."));
    }
}

bool MacroRecordDlg::OnCommand(const QString& name, int /*id*/) {
    if (name == "btnOK") {
        Finish(kResultOk);
    } else if (name == "btnDelete") {
        Finish(kResultDelete);
    } else if (name == "btnCancel") {
        Finish(kResultCancel);
    } else {
        return false;
    }
    return true;
}

void MacroRecordDlg::Finish(int result) {
    if (!finished_) {
        finished_ = true;
        done(result);
    }
}

}  // namespace keyrig::ui
