// Routes the events of a layout's widgets to the window that owns them: command events (a
// button, a radio or a named menu item was clicked) by the sender's name and number, slider
// position events, and selection changes, which go first to the subscriptions made for that
// list and reach the window only when none consumed them.
#pragma once

#include <QComboBox>
#include <QHash>
#include <QObject>
#include <QSlider>
#include <functional>

namespace keyrig::ui {

class WidgetEventHandler {
  public:
    virtual ~WidgetEventHandler() = default;
    // A command event; true when handled. `id` is the sender's number, 0 when it has none.
    virtual bool OnCommand(const QString& name, int id) = 0;
    virtual bool OnSliderPosition(QSlider* slider, int value) = 0;
    // A selection change that no subscription consumed.
    virtual bool OnSelectionChange(QComboBox* /*list*/) { return false; }
    // A menu item with a number was chosen.
    virtual void OnMenuCommand(int /*id*/) {}
};

class EventRouter final : public QObject {
    Q_OBJECT

  public:
    // Connects every button, slider and list under `root` to `handler`.
    EventRouter(QWidget* root, WidgetEventHandler& handler);

    // The subscription consumes the list's selection changes when it returns true.
    void Subscribe(QComboBox* list, std::function<bool(QComboBox*)> subscription);

    // Delivers a command event, as a click on a widget of that name and number would.
    bool Command(const QString& name, int id);
    // Delivers a menu choice: an item with a name is a command event of that name, any other a
    // menu command with its number.
    void MenuChoice(const QString& name, int id);

  private:
    WidgetEventHandler& handler_;
    QHash<QComboBox*, std::function<bool(QComboBox*)>> subscriptions_;
};

// Changing a control from code is not a user's event: these change it without a notification.
void SetValueQuietly(QSlider* slider, int value);
void SetCurrentIndexQuietly(QComboBox* list, int index);

// Makes a press on `handle` move its window, as a title bar does (also on Wayland, where only
// the compositor may move windows).
void MakeWindowDragHandle(QWidget* handle);

}  // namespace keyrig::ui
