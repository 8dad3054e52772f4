#include "ui/shell_notify_icon.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>

#include "ui/framework/desktop.h"
#include "ui/framework/event_router.h"
#include "ui/framework/resources.h"
#include "ui/framework/translator.h"

namespace keyrig::ui {
namespace {

int ReadNumber(const QString& text, int otherwise) {
    bool read = false;
    const int value = text.trimmed().toInt(&read, 0);
    return read ? value : otherwise;
}

}  // namespace

SShellNotifyIcon::SShellNotifyIcon(QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
}

SShellNotifyIcon::~SShellNotifyIcon() {
    if (tray_ != nullptr) {
        tray_->hide();
    }
}

void SShellNotifyIcon::setIcons(const QString& names) {
    iconNames_ = names;
    icons_.clear();
    for (const QString& name : names.split(';', Qt::SkipEmptyParts)) {
        const QString path = ResourceIndex::Current().Path(name.trimmed());
        if (QIcon icon(path); !path.isEmpty() && !icon.isNull()) {
            icons_.append(icon);
        }
    }
}

void SShellNotifyIcon::setTip(const QString& tip) {
    tip_ = tip;
    if (tray_ != nullptr) {
        tray_->setToolTip(Tr(tip_));
    }
}

void SShellNotifyIcon::setMenuName(const QString& name) {
    const QString path = ResourceIndex::Current().Path(name);
    const MenuKind kind = MenuKindOf(path);
    if (path.isEmpty()) {
        return;
    }
    menuKind_ = kind;
    menuName_ = kind == MenuKind::None ? QString() : name;
}

void SShellNotifyIcon::setDefaultIconIndex(const QString& index) {
    defaultIcon_ = ReadNumber(index, 0);
}

void SShellNotifyIcon::setStartFrame(const QString& frame) {
    startFrame_ = ReadNumber(frame, startFrame_);
}

void SShellNotifyIcon::setFrameDuration(const QString& ms) {
    frameDuration_ = ReadNumber(ms, frameDuration_);
}

void SShellNotifyIcon::OnLayoutFinished() {
    if (defaultIcon_ < 0 || defaultIcon_ >= icons_.size()) {
        defaultIcon_ = 0;
    }
    QIcon icon = icons_.isEmpty() ? QIcon(ResourceIndex::Current().Path("ICON:ICON_LOGO"))
                                  : icons_[defaultIcon_];
    tray_ = new QSystemTrayIcon(icon, this);
    tray_->setToolTip(Tr(tip_));
    connect(tray_, &QSystemTrayIcon::activated, this, &SShellNotifyIcon::Activate);
    // Qt adds the icon again by itself when the notification area comes back.
    tray_->show();
}

void SShellNotifyIcon::Activate(QSystemTrayIcon::ActivationReason reason) {
    QWidget* mainWindow = window();
    if (reason == QSystemTrayIcon::Trigger) {
        if (InSight(mainWindow)) {
            PutAway(mainWindow);
        } else {
            BringBack(mainWindow);
        }
    } else if (reason == QSystemTrayIcon::Context) {
        OpenMenu();
    }
}

void SShellNotifyIcon::OpenMenu() {
    if (menuKind_ == MenuKind::None || menuName_.isEmpty()) {
        return;
    }
    QWidget* mainWindow = window();
    menu_ = BuildMenu(ResourceIndex::Current().Path(menuName_),
                      [mainWindow](const QString& name, int id) {
                          if (auto* router = mainWindow->findChild<EventRouter*>()) {
                              router->MenuChoice(name, id);
                          }
                      });
    if (menu_) {
        menu_->popup(QCursor::pos());
    }
}

void SShellNotifyIcon::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange && tray_ != nullptr) {
        tray_->setToolTip(Tr(tip_));
    }
    QWidget::changeEvent(event);
}

}  // namespace keyrig::ui
