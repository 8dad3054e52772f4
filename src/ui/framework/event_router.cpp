#include "ui/framework/event_router.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QWindow>

#include "ui/framework/widget_ids.h"

namespace keyrig::ui {

EventRouter::EventRouter(QWidget* root, WidgetEventHandler& handler)
    : QObject(root), handler_(handler) {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { Command(button->objectName(), WidgetId(button)); });
    }
    for (QSlider* slider : root->findChildren<QSlider*>()) {
        connect(slider, &QSlider::valueChanged, this,
                [this, slider](int value) { handler_.OnSliderPosition(slider, value); });
    }
    for (QComboBox* list : root->findChildren<QComboBox*>()) {
        connect(list, &QComboBox::currentIndexChanged, this, [this, list] {
            const auto subscription = subscriptions_.constFind(list);
            if (subscription != subscriptions_.constEnd() && (*subscription)(list)) {
                return;
            }
            handler_.OnSelectionChange(list);
        });
    }
}

void EventRouter::Subscribe(QComboBox* list, std::function<bool(QComboBox*)> subscription) {
    if (list != nullptr) {
        subscriptions_.insert(list, std::move(subscription));
    }
}

bool EventRouter::Command(const QString& name, int id) {
    return handler_.OnCommand(name, id);
}

void EventRouter::MenuChoice(const QString& name, int id) {
    if (!name.isEmpty()) {
        Command(name, WidgetIds::Current().IdOf(name).value_or(0));
    } else {
        handler_.OnMenuCommand(id);
    }
}

void SetValueQuietly(QSlider* slider, int value) {
    if (slider != nullptr) {
        const QSignalBlocker quiet(slider);
        slider->setValue(value);
    }
}

void SetCurrentIndexQuietly(QComboBox* list, int index) {
    if (list != nullptr) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(index);
    }
}

namespace {

class DragHandle final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (QWindow* window = static_cast<QWidget*>(watched)->window()->windowHandle()) {
                window->startSystemMove();
                return true;
            }
        }
        return false;
    }
};

}  // namespace

void MakeWindowDragHandle(QWidget* handle) {
    if (handle != nullptr) {
        handle->installEventFilter(new DragHandle(handle));
    }
}

}  // namespace keyrig::ui
