// The desktop the windows live on: whether it has a notification area to hide in, and how a
// window is put out of sight and brought back without ever being lost.
#pragma once

#include <QWidget>
#include <optional>

namespace keyrig::ui {

// True where the desktop shows tray icons. GNOME on Wayland without an extension has none.
bool NotificationAreaAvailable();
// Answers NotificationAreaAvailable() from now on (nothing: ask the desktop again). For runs
// that play a desktop, such as scripted ones.
void AssumeNotificationArea(std::optional<bool> available);

// Hidden into the notification area where there is one, minimised where there is none.
void PutAway(QWidget* window);
// Shown, restored when minimised, raised and made the active window.
void BringBack(QWidget* window);
// Whether the user can see it now.
bool InSight(const QWidget* window);

}  // namespace keyrig::ui
