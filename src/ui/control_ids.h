// The program's named controls and their numbers: every layout names its controls from this
// table, and code finds a control by either.
#pragma once

#include <span>

#include "ui/framework/widget_ids.h"

namespace keyrig::ui {

std::span<const NamedId> ControlIds();

// The numbers code looks controls up by.
namespace control {
inline constexpr int kBtnMore = 65537;
inline constexpr int kColorEffect = 65540;
inline constexpr int kGeneralSpeed0 = 65542;
inline constexpr int kConstBrightness0 = 65543;
inline constexpr int kDirectionLeft0 = 65544;
inline constexpr int kDirectionRight0 = 65545;
inline constexpr int kGeneralSpeed1 = 65546;
inline constexpr int kConstBrightness1 = 65547;
inline constexpr int kConstBrightness2 = 65548;
inline constexpr int kGeneralSpeed3 = 65549;
inline constexpr int kConstBrightness3 = 65550;
inline constexpr int kLoaderLeft3 = 65551;
inline constexpr int kLoaderCenter3 = 65552;
inline constexpr int kLoaderRight3 = 65553;
inline constexpr int kVersion = 65556;
inline constexpr int kSideColorEffect = 65557;
inline constexpr int kBtnDelete = 65596;
}  // namespace control

// Registers the program's own widget classes with the layout loader, keeping any class that is
// registered already.
void RegisterWidgetClasses();

}  // namespace keyrig::ui
