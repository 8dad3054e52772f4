#include "ui/framework/desktop.h"

#include <QSystemTrayIcon>

namespace keyrig::ui {
namespace {

std::optional<bool> assumed;

}  // namespace

bool NotificationAreaAvailable() {
    return assumed ? *assumed : QSystemTrayIcon::isSystemTrayAvailable();
}

void AssumeNotificationArea(std::optional<bool> available) {
    assumed = available;
}

void PutAway(QWidget* window) {
    if (NotificationAreaAvailable()) {
        window->hide();
    } else {
        window->showMinimized();
    }
}

void BringBack(QWidget* window) {
    if (window->isMinimized()) {
        window->showNormal();
    } else {
        window->show();
    }
    window->raise();
    window->activateWindow();
}

bool InSight(const QWidget* window) {
    return window->isVisible() && !window->isMinimized();
}

}  // namespace keyrig::ui
