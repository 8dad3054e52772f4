#include "ui/framework/resources.h"

#include <QDir>
#include <QFileInfo>
#include <iostream>
#include <pugixml.hpp>

namespace keyrig::ui {

ResourceIndex& ResourceIndex::Current() {
    static ResourceIndex index;
    return index;
}

bool ResourceIndex::Load(const QString& folder) {
    folder_ = QDir(folder).absolutePath();
    files_.clear();
    const QString indexFile = QDir(folder_).filePath("index.xml");
    pugi::xml_document document;
    if (!document.load_file(indexFile.toStdString().c_str())) {
        std::cerr << "keyrig: cannot read the resource index " << indexFile.toStdString() << '\n';
        return false;
    }
    for (const pugi::xml_node resource : document.child("resources").children("resource")) {
        const QString name = QString::fromUtf8(resource.attribute("name").value()).toLower();
        const QString file = QString::fromUtf8(resource.attribute("file").value());
        if (!name.isEmpty() && !file.isEmpty()) {
            files_.insert(name, file);
        }
    }
    return true;
}

QString ResourceIndex::Path(const QString& resourceName) const {
    const auto found = files_.constFind(resourceName.toLower());
    if (found == files_.constEnd()) {
        std::cerr << "keyrig: the resource folder has no " << resourceName.toStdString() << '\n';
        return {};
    }
    return QDir(folder_).filePath(*found);
}

bool ResourceIndex::Contains(const QString& resourceName) const {
    return files_.contains(resourceName.toLower());
}

QString ResourceIndex::baseDirectory() const {
    return QFileInfo(folder_).absolutePath();
}

}  // namespace keyrig::ui
