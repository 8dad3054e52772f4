// The simulator panel: a window beside the main window that stands in for the keyboard when the
// devices are simulated. It presses and releases the keyboard's keys, plugs and unplugs it, sets
// its firmware version, and shows what the virtual keyboard and the keyboard's lighting receive.
#pragma once

#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/platform.h"
#include "store/key_table.h"
#include "ui/coord_button_image.h"

class QBoxLayout;
class QCheckBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace keyrig::ui {

// A new panel for `simulator`, placed beside `mainWindow` and shown; the caller owns it.
QWidget* CreateSimulatorPanel(platform::Simulator& simulator, QWidget* mainWindow);

// Lives on the UI thread. Every key it pressed goes up when it closes or is destroyed, and it
// takes its observer off the simulator when destroyed.
class SimulatorPanel final : public QWidget, private ICoordButtonClickListener {
  public:
    explicit SimulatorPanel(platform::Simulator& simulator);
    ~SimulatorPanel() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Inbox;

    // What the virtual keyboard's reports add up to. Each inner report carries its whole
    // state, so the last one of each kind is all there is to know.
    struct VirtualInput {
        std::array<uint8_t, 32> keyBits{};  // one bit per keyboard usage id
        std::array<uint8_t, 4> pointer{};   // buttons, x, y, wheel
        uint16_t consumer = 0;
        uint16_t system = 0;

        void Apply(const std::vector<uint8_t>& report);
        QString Describe() const;
    };

    void BuildKeys(QBoxLayout* into);
    void BuildDevice(QBoxLayout* into);
    void BuildReceived(QBoxLayout* into);
    QFrame* Card(const char* name, const QString& heading, QBoxLayout* into);
    void Observe();

    int OnKeyClicked(int key, const QString& name, int completed, int keyFlags, int x,
                     int y) override;
    bool FilterPictureRelease(const QMouseEvent& event);
    void ReleaseOverClickedKey();
    bool FilterTyping(QEvent& event);
    void Type(const QKeyEvent& event);

    void Hold(KeyCode code);
    void Let(KeyCode code);
    void ReleaseClicked();
    void ReleaseTyped();
    void ReleaseEverything();
    void RefreshPresence();
    void TakeLines();
    void Show(const QString& line);

    platform::Simulator& simulator_;
    std::shared_ptr<Inbox> inbox_;

    // A key held two ways at once (clicked and typed) goes up when the last of them lets go.
    std::map<KeyCode, int> holds_;
    std::set<KeyCode> clicked_;           // until the mouse comes up
    std::optional<QRect> clickedRegion_;  // where the mouse went down on a key
    bool redirecting_ = false;            // our own release is on its way to the picture
    std::set<KeyCode> latched_;           // until clicked again, or the panel closes
    std::map<quint32, KeyCode> typed_;    // by the key's scan code, or by its code without one
    VirtualInput virtualInput_;

    QFrame* keys_ = nullptr;
    CoordButtonImage* keyboard_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QLabel* typing_ = nullptr;
    QPushButton* plug_ = nullptr;
    QSpinBox* major_ = nullptr;
    QSpinBox* minor_ = nullptr;
    QLabel* lighting_ = nullptr;
    QLabel* sideLight_ = nullptr;
    QLabel* virtualKeyboard_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
};

}  // namespace keyrig::ui
