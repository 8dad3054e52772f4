#include "ui/framework/widget_classes.h"

namespace keyrig::ui {

WidgetClasses& WidgetClasses::Instance() {
    static WidgetClasses classes;
    return classes;
}

WidgetClasses::WidgetClasses() {
    // Qt's own widgets stand for the framework's: created by the loader as Qt knows them.
    const std::pair<const char*, const char*> builtIn[] = {
        {"window", "QWidget"},         {"text", "QLabel"},
        {"imgbtn", "QAbstractButton"}, {"combobox", "QComboBox"},
        {"sliderbar", "QSlider"},      {"tabctrl", "QTabWidget"},
        {"check", "QCheckBox"},        {"radio", "QRadioButton"},
        {"edit", "QLineEdit"},         {"listview", "QAbstractItemView"},
    };
    for (const auto& [layoutName, qtClass] : builtIn) {
        byLayoutName_.insert(layoutName, Entry{qtClass, nullptr});
    }
}

bool WidgetClasses::Register(const QString& layoutName, const char* qtClass, Factory factory) {
    if (byLayoutName_.contains(layoutName)) {
        return false;
    }
    byLayoutName_.insert(layoutName, Entry{qtClass, std::move(factory)});
    // Layouts may name the class with or without its namespace.
    const QString fullName = QString::fromLatin1(qtClass);
    layoutNameByQtClass_.insert(fullName, layoutName);
    layoutNameByQtClass_.insert(fullName.section("::", -1), layoutName);
    return true;
}

QWidget* WidgetClasses::Create(const QString& className, QWidget* parent) const {
    auto entry = byLayoutName_.constFind(className);
    if (entry == byLayoutName_.constEnd()) {
        const auto layoutName = layoutNameByQtClass_.constFind(className);
        if (layoutName == layoutNameByQtClass_.constEnd()) {
            return nullptr;
        }
        entry = byLayoutName_.constFind(*layoutName);
    }
    return entry->factory ? entry->factory(parent) : nullptr;
}

bool WidgetClasses::Is(const QWidget* widget, const QString& layoutName) const {
    const auto entry = byLayoutName_.constFind(layoutName);
    return widget != nullptr && entry != byLayoutName_.constEnd() &&
           widget->inherits(entry->qtClass.constData());
}

}  // namespace keyrig::ui
