#include "ui/framework/message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "ui/framework/layout_loader.h"
#include "ui/framework/translator.h"

namespace keyrig::ui {
namespace {

// The look of every box: the style sheet of the resource folder's message box layout, read once.
const QString& MessageBoxStyle() {
    static const QString style = [] {
        std::unique_ptr<QWidget> layout(LoadLayout("LAYOUT:SYS_XML_MSGBOX", nullptr));
        return layout ? layout->styleSheet() : QString();
    }();
    return style;
}

}  // namespace

int ShowMessageBox(QWidget* owner, const char* text, const char* caption, MessageButtons buttons) {
    QMessageBox box(QMessageBox::Warning, Tr(caption), Tr(text), QMessageBox::NoButton, owner);
    box.setObjectName("msgbox");
    box.setStyleSheet(MessageBoxStyle());
    QPushButton* ok = box.addButton(Tr("OK"), QMessageBox::AcceptRole);
    ok->setObjectName("button1st");
    QPushButton* cancel = nullptr;
    if (buttons == MessageButtons::OkCancel) {
        cancel = box.addButton(Tr("Cancel"), QMessageBox::RejectRole);
        cancel->setObjectName("button2nd");
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok || (cancel == nullptr && box.clickedButton() == nullptr)
               ? kAnswerOk
               : kAnswerCancel;
}

}  // namespace keyrig::ui
