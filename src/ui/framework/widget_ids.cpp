#include "ui/framework/widget_ids.h"

#include <algorithm>
#include <cstring>

#include "ui/framework/widget_classes.h"

namespace keyrig::ui {
namespace {

constexpr const char* kIdProperty = "keyrigId";

template <class Match>
QWidget* FindFirst(QWidget* root, const QString& className, Match match) {
    if (root == nullptr) {
        return nullptr;
    }
    // Breadth first, so that a name used twice finds the outer widget, as a reader expects.
    std::vector<QWidget*> queue{root};
    for (size_t next = 0; next < queue.size(); ++next) {
        QWidget* widget = queue[next];
        if (match(widget)) {
            return WidgetClasses::Instance().Is(widget, className) ? widget : nullptr;
        }
        for (QObject* child : widget->children()) {
            if (child->isWidgetType()) {
                queue.push_back(static_cast<QWidget*>(child));
            }
        }
    }
    return nullptr;
}

}  // namespace

WidgetIds& WidgetIds::Current() {
    static WidgetIds ids;
    return ids;
}

void WidgetIds::Register(std::span<const NamedId> table, bool sort) {
    table_.assign(table.begin(), table.end());
    sorted_ = sort;
    if (sort) {
        std::sort(table_.begin(), table_.end(), [](const NamedId& left, const NamedId& right) {
            return std::strcmp(left.name, right.name) < 0;
        });
    }
}

std::optional<int> WidgetIds::IdOf(QStringView name) const {
    const QByteArray key = name.toUtf8();
    if (sorted_) {
        const auto found = std::lower_bound(
            table_.begin(), table_.end(), key,
            [](const NamedId& entry, const QByteArray& wanted) { return wanted > entry.name; });
        if (found != table_.end() && key == found->name) {
            return found->id;
        }
        return std::nullopt;
    }
    for (const NamedId& entry : table_) {
        if (key == entry.name) {
            return entry.id;
        }
    }
    return std::nullopt;
}

void WidgetIds::Assign(QWidget* root) const {
    if (root == nullptr) {
        return;
    }
    auto widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets) {
        if (const auto id = IdOf(widget->objectName())) {
            widget->setProperty(kIdProperty, *id);
        }
    }
}

int WidgetId(const QObject* widget) {
    return widget == nullptr ? 0 : widget->property(kIdProperty).toInt();
}

QWidget* FindWidget(QWidget* root, QStringView name, const QString& className) {
    return FindFirst(root, className,
                     [name](const QWidget* widget) { return widget->objectName() == name; });
}

QWidget* FindWidget(QWidget* root, int id, const QString& className) {
    return FindFirst(root, className,
                     [id](const QWidget* widget) { return id != 0 && WidgetId(widget) == id; });
}

}  // namespace keyrig::ui
