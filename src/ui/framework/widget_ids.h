// Numeric identifiers of named widgets. The program hands the framework a table of (name,
// number) pairs; every widget whose object name is in it carries that number, and code can find
// a widget by either, anywhere in a window's tree, checking its class on the way.
#pragma once

#include <QString>
#include <QStringView>
#include <QWidget>
#include <optional>
#include <span>
#include <vector>

namespace keyrig::ui {

struct NamedId {
    const char* name;
    int id;
};

class WidgetIds final {
  public:
    // The table in use; empty until Register() is called.
    static WidgetIds& Current();

    // Takes the table, sorted by name when `sort` is set (lookups then search it by halves).
    void Register(std::span<const NamedId> table, bool sort);
    std::optional<int> IdOf(QStringView name) const;

    // Gives every widget under `root` (and `root` itself) whose name is in the table its number.
    void Assign(QWidget* root) const;

  private:
    std::vector<NamedId> table_;
    bool sorted_ = false;
};

// The number a widget carries, or 0.
int WidgetId(const QObject* widget);

// The first widget in `root`'s tree, at any depth and `root` included, with that name or number,
// when it is of the class named by `className` ("combobox", "sliderbar", ...); null otherwise.
QWidget* FindWidget(QWidget* root, QStringView name, const QString& className);
QWidget* FindWidget(QWidget* root, int id, const QString& className);

template <class T>
T* Find(QWidget* root, QStringView name, const QString& className) {
    return qobject_cast<T*>(FindWidget(root, name, className));
}
template <class T>
T* Find(QWidget* root, int id, const QString& className) {
    return qobject_cast<T*>(FindWidget(root, id, className));
}

}  // namespace keyrig::ui
