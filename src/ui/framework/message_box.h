// The program's message boxes: a caption, a text and OK (or OK and Cancel), both texts going
// through the current language, in the look the resource folder's message box layout gives.
#pragma once

#include <QWidget>

namespace keyrig::ui {

enum class MessageButtons { Ok, OkCancel };

// What the user chose, numbered as the program has always numbered them.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;

// Shows the box modally, owned by `owner` (or by no window), and returns kAnswerOk or
// kAnswerCancel; closing the box counts as Cancel (as OK when OK is its only button).
int ShowMessageBox(QWidget* owner, const char* text, const char* caption, MessageButtons buttons);

}  // namespace keyrig::ui
