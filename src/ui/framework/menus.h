// Menus from the resource folder's menu documents. A document whose root is "menu" is a classic
// popup menu of "item" elements; one whose root is "menuRoot" (or "menuItem") is an extended
// menu of "menuItem" elements, which may carry an icon and nest into submenus:
//
//     <menu>
//         <item id="1" text="Check firmware" />
//         <separator />
//         <item id="6" text="Exit" />
//     </menu>
//
// An item with an "id" is a menu command; one with a "name" raises a command event of that
// name, as a button of that name would. Texts go through the current language each time a menu
// is built, so a menu is built anew each time it opens.
#pragma once

#include <QMenu>
#include <QString>
#include <functional>
#include <memory>

namespace keyrig::ui {

enum class MenuKind { Classic = 0, Extended = 1, None = 2 };

// The kind of the document at `path`; None when it does not load or has another root.
MenuKind MenuKindOf(const QString& path);

// The menu of the document at `path`, or null (with one line on standard error) when it does not
// load. Choosing an item calls `choose` with the item's name and number.
using MenuChoice = std::function<void(const QString& name, int id)>;
std::unique_ptr<QMenu> BuildMenu(const QString& path, const MenuChoice& choose);

}  // namespace keyrig::ui
