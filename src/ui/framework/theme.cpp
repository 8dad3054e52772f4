#include "ui/framework/theme.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QRegularExpression>
#include <iostream>
#include <pugixml.hpp>

#include "ui/framework/resources.h"

namespace keyrig::ui {
namespace {

bool LoadDocument(pugi::xml_document& document, const char* resourceName) {
    const QString path = ResourceIndex::Current().Path(resourceName);
    if (path.isEmpty()) {
        return false;
    }
    if (!document.load_file(path.toStdString().c_str())) {
        std::cerr << "keyrig: cannot read " << path.toStdString() << '\n';
        return false;
    }
    return true;
}

}  // namespace

QString WithNamedColours(QString style) {
    pugi::xml_document colours;
    if (!LoadDocument(colours, "values:color")) {
        return style;
    }
    QHash<QString, QString> byName;
    for (const pugi::xml_node colour : colours.document_element().children()) {
        byName.insert(QString::fromUtf8(colour.attribute("name").value()),
                      QString::fromUtf8(colour.child_value()).trimmed());
    }
    static const QRegularExpression reference("@([A-Za-z_][A-Za-z0-9_]*)");
    QString result;
    qsizetype from = 0;
    for (auto match = reference.globalMatch(style); match.hasNext();) {
        const auto found = match.next();
        result += style.mid(from, found.capturedStart() - from);
        result += byName.value(found.captured(1), found.captured(0));
        from = found.capturedEnd();
    }
    return result + style.mid(from);
}

void ApplyInitialDefinitions() {
    pugi::xml_document definitions;
    if (!LoadDocument(definitions, "UIDEF:XML_INIT")) {
        return;
    }
    const pugi::xml_node root = definitions.document_element();
    if (const pugi::xml_node font = root.child("font")) {
        QFont chosen = QApplication::font();
        const QStringList families =
            QString::fromUtf8(font.attribute("family").value()).split(',', Qt::SkipEmptyParts);
        if (!families.isEmpty()) {
            QStringList trimmed;
            for (const QString& family : families) {
                trimmed << family.trimmed();
            }
            chosen.setFamilies(trimmed);
        }
        if (const int points = font.attribute("size").as_int(0); points > 0) {
            chosen.setPointSize(points);
        }
        QApplication::setFont(chosen);
    }
    if (const char* styleFile = root.child("style").attribute("file").value(); *styleFile) {
        QFile style(ResourceIndex::Current().folder() + "/" + QString::fromUtf8(styleFile));
        if (style.open(QIODevice::ReadOnly)) {
            qApp->setStyleSheet(WithNamedColours(QString::fromUtf8(style.readAll())));
        } else {
            std::cerr << "keyrig: cannot read the style sheet " << style.fileName().toStdString()
                      << '\n';
        }
    }
}

QString NamedString(int index) {
    pugi::xml_document strings;
    if (!LoadDocument(strings, "values:string")) {
        return {};
    }
    int position = 0;
    for (const pugi::xml_node entry : strings.document_element().children()) {
        if (entry.type() == pugi::node_element && position++ == index) {
            return QString::fromUtf8(entry.child_value());
        }
    }
    return {};
}

}  // namespace keyrig::ui
