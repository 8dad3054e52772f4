#include "ui/framework/menus.h"

#include <QIcon>
#include <cstring>
#include <iostream>
#include <pugixml.hpp>

#include "ui/framework/resources.h"
#include "ui/framework/translator.h"

namespace keyrig::ui {
namespace {

MenuKind KindOfRoot(const pugi::xml_node& root) {
    if (std::strcmp(root.name(), "menu") == 0) {
        return MenuKind::Classic;
    }
    if (std::strcmp(root.name(), "menuRoot") == 0 || std::strcmp(root.name(), "menuItem") == 0) {
        return MenuKind::Extended;
    }
    return MenuKind::None;
}

void AddItems(QMenu& menu, const pugi::xml_node& parent, MenuKind kind, const MenuChoice& choose) {
    const char* itemName = kind == MenuKind::Classic ? "item" : "menuItem";
    for (const pugi::xml_node node : parent.children()) {
        if (std::strcmp(node.name(), "separator") == 0 || std::strcmp(node.name(), "sep") == 0) {
            menu.addSeparator();
            continue;
        }
        if (std::strcmp(node.name(), itemName) != 0) {
            continue;
        }
        const QString text = Tr(QString::fromUtf8(node.attribute("text").value()));
        if (kind == MenuKind::Extended && node.child(itemName)) {
            AddItems(*menu.addMenu(text), node, kind, choose);
            continue;
        }
        QAction* action = menu.addAction(text);
        const QString name = QString::fromUtf8(node.attribute("name").value());
        const int id = node.attribute("id").as_int(0);
        action->setObjectName(name);
        action->setData(id);
        if (const char* icon = node.attribute("icon").value(); *icon != '\0') {
            const QString iconPath = ResourceIndex::Current().Path(QString::fromUtf8(icon));
            if (!iconPath.isEmpty()) {
                action->setIcon(QIcon(iconPath));
            }
        }
        QObject::connect(action, &QAction::triggered, &menu,
                         [choose, name, id] { choose(name, id); });
    }
}

}  // namespace

MenuKind MenuKindOf(const QString& path) {
    pugi::xml_document document;
    if (path.isEmpty() || !document.load_file(path.toStdString().c_str())) {
        return MenuKind::None;
    }
    return KindOfRoot(document.document_element());
}

std::unique_ptr<QMenu> BuildMenu(const QString& path, const MenuChoice& choose) {
    pugi::xml_document document;
    if (path.isEmpty() || !document.load_file(path.toStdString().c_str())) {
        std::cerr << "keyrig: cannot read the menu " << path.toStdString() << '\n';
        return nullptr;
    }
    const pugi::xml_node root = document.document_element();
    const MenuKind kind = KindOfRoot(root);
    if (kind == MenuKind::None) {
        std::cerr << "keyrig: " << path.toStdString() << " is not a menu\n";
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName("menu");
    AddItems(*menu, root, kind, choose);
    return menu;
}

}  // namespace keyrig::ui
