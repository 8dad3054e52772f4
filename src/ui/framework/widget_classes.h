// Widgets by class name. Layouts and lookups name widget classes the way the program always has
// ("combobox", "sliderbar", "cbimg"); this is the one table that maps each of those names to a
// Qt class, and the registry from which the layout loader creates the program's own widgets.
#pragma once

#include <QHash>
#include <QString>
#include <QWidget>
#include <functional>

namespace keyrig::ui {

class WidgetClasses final {
  public:
    using Factory = std::function<QWidget*(QWidget* parent)>;

    static WidgetClasses& Instance();

    // Adds a widget class of the program under its layout name and its Qt class name. A name
    // that is known already keeps its class; false then.
    bool Register(const QString& layoutName, const char* qtClass, Factory factory);

    // A new widget of a registered class, by layout name or Qt class name; null when unknown.
    QWidget* Create(const QString& className, QWidget* parent) const;

    // Whether `widget` is of the class a lookup asks for by its layout name. "window" is every
    // widget; an unknown name matches nothing.
    bool Is(const QWidget* widget, const QString& layoutName) const;

  private:
    WidgetClasses();

    struct Entry {
        QByteArray qtClass;
        Factory factory;
    };
    QHash<QString, Entry> byLayoutName_;
    QHash<QString, QString> layoutNameByQtClass_;
};

}  // namespace keyrig::ui
