#include "ui/simulator_panel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>
#include <string_view>
#include <utility>

#include "ui/framework/resources.h"
#include "ui/framework/theme.h"

namespace keyrig::ui {
namespace {

constexpr int kLogLines = 500;
// The simulator tells of no plug change it makes itself (a factory reset takes the keyboard off
// the bus and brings it back), so the panel looks again this often.
constexpr int kPresencePollMs = 300;

struct KeyUsage {
    int key;
    uint16_t usage;
};
constexpr KeyUsage kNamedKeys[] = {
    {Qt::Key_Return, 0x28},     {Qt::Key_Enter, 0x58},    {Qt::Key_Escape, 0x29},
    {Qt::Key_Backspace, 0x2A},  {Qt::Key_Tab, 0x2B},      {Qt::Key_Backtab, 0x2B},
    {Qt::Key_Space, 0x2C},      {Qt::Key_CapsLock, 0x39}, {Qt::Key_Print, 0x46},
    {Qt::Key_ScrollLock, 0x47}, {Qt::Key_Pause, 0x48},    {Qt::Key_Insert, 0x49},
    {Qt::Key_Home, 0x4A},       {Qt::Key_PageUp, 0x4B},   {Qt::Key_Delete, 0x4C},
    {Qt::Key_End, 0x4D},        {Qt::Key_PageDown, 0x4E}, {Qt::Key_Right, 0x4F},
    {Qt::Key_Left, 0x50},       {Qt::Key_Down, 0x51},     {Qt::Key_Up, 0x52},
    {Qt::Key_NumLock, 0x53},    {Qt::Key_Menu, 0x65},     {Qt::Key_Control, 0xE0},
    {Qt::Key_Shift, 0xE1},      {Qt::Key_Alt, 0xE2},      {Qt::Key_Meta, 0xE3},
};

// Qt names a printable key by its character (letters in upper case). A shifted character
// counts as the key it is on, as the US layout has it, so that a key let go after Shift went
// down is still the key that was pressed.
struct CharacterRun {
    std::string_view characters;
    uint16_t firstUsage;
};
constexpr CharacterRun kCharacterRuns[] = {
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 0x04},
    {"1234567890", 0x1E},
    {"!@#$%^&*()", 0x1E},
    {"-=[]\\", 0x2D},
    {"_+{}|", 0x2D},
    {";'`,./", 0x33},
    {":\"~<>?", 0x33},
};

std::optional<uint16_t> KeyboardUsage(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        return static_cast<uint16_t>(0x3A + (key - Qt::Key_F1));
    }
    for (const KeyUsage& named : kNamedKeys) {
        if (named.key == key) {
            return named.usage;
        }
    }
    for (const CharacterRun& run : kCharacterRuns) {
        if (const size_t at = run.characters.find(static_cast<char>(key));
            key > ' ' && key < 0x7F && at != std::string_view::npos) {
            return static_cast<uint16_t>(run.firstUsage + at);
        }
    }
    return std::nullopt;
}

QString KeyName(uint16_t usageId, uint16_t usagePage) {
    const char* name = FindKeyByUsage(usageId, usagePage).name;
    return *name != '\0' ? QString::fromUtf8(name)
                         : QStringLiteral("0x%1").arg(usageId, 2, 16, QLatin1Char('0'));
}

// The theme styles the main window's widgets by name; the panel's own get the same named
// colours here, so that the panel looks like the rest without the theme having to know it.
QString PanelStyle() {
    QString style = QStringLiteral(R"(
QWidget#simulator_panel { background: @window; }
QFrame#sim_keys, QFrame#sim_device, QFrame#sim_received {
    background: @panel; border: 1px solid @panel_border; border-radius: 10px; }
QLabel#sim_keys_heading, QLabel#sim_device_heading, QLabel#sim_received_heading {
    color: @text_dim; font-size: 8pt; font-weight: 700; letter-spacing: 2px; }
QLabel#sim_hint { color: @text_dim; }
QLabel#sim_typing { background: @control; color: @text_dim; border: 1px dashed @control_border;
    border-radius: 6px; padding: 8px 12px; }
QLabel#sim_typing:focus { color: @text; border: 1px solid @accent; }
QLabel#sim_typing:disabled, QLabel#sim_hint:disabled, QCheckBox#sim_hold:disabled {
    color: @control_border; }
QCheckBox::indicator { width: 14px; height: 14px; border-radius: 4px;
    border: 2px solid @control_border; background: @control; }
QCheckBox::indicator:checked { background: @accent; border-color: @accent; }
QSpinBox { background: @control; border: 1px solid @control_border; border-radius: 6px;
    padding: 5px 6px; min-width: 44px; }
QSpinBox:focus { border-color: @accent; }
QPlainTextEdit#sim_log { background: @titlebar; color: @text_dim; border: 1px solid @panel_border;
    border-radius: 6px; font-family: monospace; selection-background-color: @accent_dim; }
QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }
QScrollBar::handle:vertical { background: @control_border; border-radius: 3px; min-height: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
)");
    return WithNamedColours(style);
}

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

// To the right of the main window where the screen has room, else below it; on the screen
// either way.
void PlaceBeside(QWidget& panel, const QWidget* mainWindow) {
    const QScreen* screen =
        mainWindow != nullptr ? mainWindow->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect main = mainWindow != nullptr ? mainWindow->frameGeometry() : area;
    const QSize size = panel.frameGeometry().size();
    constexpr int kGap = 8;
    QPoint at(main.right() + 1 + kGap, main.top());
    if (at.x() + size.width() > area.right() + 1) {
        at = QPoint(main.left(), main.bottom() + 1 + kGap);
    }
    at.setX(
        std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
    at.setY(
        std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    panel.move(at);
}

}  // namespace

// Lines from the observer on their way to the panel. The observer runs on whichever thread
// made a device receive something, and a call of it may still be under way while the panel
// goes; everything here is guarded by `lock`.
struct SimulatorPanel::Inbox {
    std::mutex lock;
    SimulatorPanel* panel = nullptr;  // null once the panel is going
    QStringList lines;                // while there are any, a call to take them is on its way
};

// `report` as the trace shows it: the report ID, the inner report's ID, then the inner
// report's bytes without the trailing zeros.
void SimulatorPanel::VirtualInput::Apply(const std::vector<uint8_t>& report) {
    if (report.size() < 2 || report[0] != 0x05) {
        return;
    }
    const auto at = [&report](size_t index) -> uint8_t {
        return index + 2 < report.size() ? report[index + 2] : 0;
    };
    const auto usage = [&at] { return static_cast<uint16_t>(at(0) | at(1) << 8); };
    switch (report[1]) {
        case 1:  // its first byte is unused
            for (size_t index = 0; index < keyBits.size(); ++index) {
                keyBits[index] = at(index + 1);
            }
            break;
        case 2:
            pointer = {at(0), at(1), at(2), at(3)};
            break;
        case 3:
            consumer = usage();
            break;
        case 4:
            system = usage();
            break;
        default:
            break;
    }
}

QString SimulatorPanel::VirtualInput::Describe() const {
    QStringList modifiers, others;
    for (unsigned usage = 0; usage < keyBits.size() * 8; ++usage) {
        if ((keyBits[usage / 8] >> (usage % 8) & 1) != 0) {
            (usage >= 0xE0 ? modifiers : others)
                << KeyName(static_cast<uint16_t>(usage), kKeyboardPage);
        }
    }
    const QStringList keys = modifiers + others;
    QString text = "Virtual keyboard: keys down: " + (keys.isEmpty() ? "none" : keys.join(", "));
    if (consumer != 0) {
        text += "; media key: " + KeyName(consumer, kConsumerPage);
    }
    if (system != 0) {
        text += "; system key: " + KeyName(system, kGenericDesktopPage);
    }
    if (pointer != std::array<uint8_t, 4>{}) {
        QStringList buttons;
        for (int button = 0; button < 8; ++button) {
            if ((pointer[0] >> button & 1) != 0) {
                buttons << QString::number(button);
            }
        }
        // A mouse's movements are signed.
        text += QString("; mouse: buttons %1, x %2, y %3, wheel %4")
                    .arg(buttons.isEmpty() ? "none" : buttons.join(' '))
                    .arg(static_cast<int8_t>(pointer[1]))
                    .arg(static_cast<int8_t>(pointer[2]))
                    .arg(static_cast<int8_t>(pointer[3]));
    }
    return text;
}

SimulatorPanel::SimulatorPanel(platform::Simulator& simulator)
    : simulator_(simulator), inbox_(std::make_shared<Inbox>()) {
    setObjectName("simulator_panel");
    setWindowTitle("Keyboard simulator");
    // A plain widget paints no background of its own under a style sheet without this.
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(PanelStyle());
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 16, 16, 16);
    page->setSpacing(12);
    BuildKeys(page);
    auto* lower = new QHBoxLayout;
    lower->setSpacing(12);
    page->addLayout(lower, 1);
    BuildDevice(lower);
    BuildReceived(lower);

    RefreshPresence();
    auto* presence = new QTimer(this);
    connect(presence, &QTimer::timeout, this, &SimulatorPanel::RefreshPresence);
    presence->start(kPresencePollMs);
    Observe();
}

SimulatorPanel::~SimulatorPanel() {
    {
        std::lock_guard guard(inbox_->lock);
        inbox_->panel = nullptr;
        inbox_->lines.clear();
    }
    simulator_.SetObserver(nullptr);
    ReleaseEverything();
}

QFrame* SimulatorPanel::Card(const char* name, const QString& heading, QBoxLayout* into) {
    auto* card = Named(new QFrame(this), name);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(14, 12, 14, 14);
    layout->setSpacing(8);
    auto* title = new QLabel(heading, card);
    title->setObjectName(QString(name) + "_heading");
    layout->addWidget(title);
    into->addWidget(card);
    return card;
}

void SimulatorPanel::BuildKeys(QBoxLayout* into) {
    keys_ = Card("sim_keys", "KEYBOARD", into);
    auto* layout = static_cast<QBoxLayout*>(keys_->layout());
    // The main window's picture and key regions.
    keyboard_ = Named(new CoordButtonImage(keys_), "sim_keyboard");
    keyboard_->setBackground("main:img_keboard_normal_png");
    keyboard_->setHoverPicture("main:img_keboard_floating_png");
    keyboard_->setCheckedPicture("main:img_keboard_checked_png");
    keyboard_->setPressedPicture("main:img_keboard_pressed_png");
    keyboard_->setCoordinateFile("uires/keyboard/keyboard.xml");
    keyboard_->SetListener(this);
    keyboard_->installEventFilter(this);
    // Faded while the keyboard is unplugged.
    auto* faded = new QGraphicsOpacityEffect(keyboard_);
    faded->setOpacity(0.35);
    faded->setEnabled(false);
    keyboard_->setGraphicsEffect(faded);
    layout->addWidget(keyboard_, 0, Qt::AlignHCenter);
    layout->addWidget(
        Named(new QLabel("Click a key to press it. Shift-click keeps it down until it "
                         "is clicked again, to try combinations and held keys.",
                         keys_),
              "sim_hint"));
    auto* typing = new QHBoxLayout;
    typing_ = Named(new QLabel("Type here to press keys", keys_), "sim_typing");
    typing_->setFocusPolicy(Qt::StrongFocus);
    typing_->installEventFilter(this);
    hold_ = Named(new QCheckBox("Hold clicked keys", keys_), "sim_hold");
    typing->addWidget(typing_, 1);
    typing->addSpacing(8);
    typing->addWidget(hold_);
    layout->addLayout(typing);
}

void SimulatorPanel::BuildDevice(QBoxLayout* into) {
    QFrame* card = Card("sim_device", "DEVICE", into);
    auto* layout = static_cast<QBoxLayout*>(card->layout());
    plug_ = Named(new QPushButton(card), "sim_plug");
    connect(plug_, &QPushButton::clicked, this, [this] {
        simulator_.SetKeyboardPresent(!simulator_.KeyboardPresent());
        RefreshPresence();
    });
    layout->addWidget(plug_);
    auto* firmware = new QHBoxLayout;
    firmware->addWidget(new QLabel("Firmware", card), 1);
    major_ = Named(new QSpinBox(card), "sim_firmware_major");
    minor_ = Named(new QSpinBox(card), "sim_firmware_minor");
    auto* set = Named(new QPushButton("Set", card), "sim_firmware_set");
    for (QWidget* each :
         std::initializer_list<QWidget*>{major_, new QLabel(".", card), minor_, set}) {
        firmware->addWidget(each);
    }
    major_->setRange(0, 255);
    minor_->setRange(0, 255);
    major_->setValue(1);
    set->setToolTip("The version the keyboard reports when the program asks for it");
    connect(set, &QPushButton::clicked, this, [this] {
        simulator_.SetFirmwareVersion(
            static_cast<uint16_t>(major_->value() << 8 | minor_->value()));
    });
    layout->addLayout(firmware);
    layout->addStretch(1);
}

void SimulatorPanel::BuildReceived(QBoxLayout* into) {
    QFrame* card = Card("sim_received", "WHAT THE DEVICES RECEIVED", into);
    into->setStretchFactor(card, 1);
    lighting_ = Named(new QLabel("Keyboard lighting: nothing received yet", card), "sim_lighting");
    sideLight_ = Named(new QLabel("Side light: nothing received yet", card), "sim_side_light");
    virtualKeyboard_ = Named(new QLabel(virtualInput_.Describe(), card), "sim_virtual_keyboard");
    // A long line is cut, and whole in the tip, rather than widening the window. Wrapping it is
    // no way out: a label whose height follows its width has the layout squeeze the keyboard.
    virtualKeyboard_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    log_ = Named(new QPlainTextEdit(card), "sim_log");
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(kLogLines);
    log_->setMinimumHeight(120);
    for (QWidget* each :
         std::initializer_list<QWidget*>{lighting_, sideLight_, virtualKeyboard_, log_}) {
        card->layout()->addWidget(each);
    }
}

void SimulatorPanel::Observe() {
    {
        std::lock_guard guard(inbox_->lock);
        inbox_->panel = this;
    }
    simulator_.SetObserver([inbox = inbox_](const std::string& line) {
        std::lock_guard guard(inbox->lock);
        if (inbox->panel == nullptr) {
            return;
        }
        inbox->lines << QString::fromStdString(line);
        if (inbox->lines.size() == 1) {
            SimulatorPanel* panel = inbox->panel;
            QMetaObject::invokeMethod(
                panel, [panel] { panel->TakeLines(); }, Qt::QueuedConnection);
        }
    });
}

void SimulatorPanel::TakeLines() {
    QStringList lines;
    {
        std::lock_guard guard(inbox_->lock);
        lines.swap(inbox_->lines);
    }
    for (const QString& line : lines) {
        Show(line);
    }
}

void SimulatorPanel::Show(const QString& line) {
    log_->appendPlainText(line);
    const QStringList words = line.split(' ', Qt::SkipEmptyParts);
    if (words.size() >= 6 && words[0] == "lighting") {
        lighting_->setText(
            QString(
                "Keyboard lighting: effect %1, brightness %2, speed %3, direction %4, option %5")
                .arg(words[1], words[2], words[3], words[4], words[5]));
    } else if (words.size() >= 3 && words[0] == "sidelight") {
        sideLight_->setText(QString("Side light: mode %1, level %2").arg(words[1], words[2]));
    } else if (words.size() >= 3 && words[0] == "vkbd") {
        std::vector<uint8_t> report;
        for (qsizetype index = 1; index < words.size(); ++index) {
            report.push_back(static_cast<uint8_t>(words[index].toUInt(nullptr, 16)));
        }
        virtualInput_.Apply(report);
        virtualKeyboard_->setText(virtualInput_.Describe());
        virtualKeyboard_->setToolTip(virtualKeyboard_->text());
    }
}

void SimulatorPanel::Hold(KeyCode code) {
    if (holds_[code]++ == 0) {
        simulator_.PressKey(code);
    }
}

void SimulatorPanel::Let(KeyCode code) {
    const auto held = holds_.find(code);
    if (held != holds_.end() && --held->second == 0) {
        holds_.erase(held);
        simulator_.ReleaseKey(code);
    }
}

int SimulatorPanel::OnKeyClicked(int /*key*/, const QString& /*name*/, int completed, int keyFlags,
                                 int x, int y) {
    if (completed != 0) {
        ReleaseClicked();
        return 1;
    }
    for (const CoordRegion& region : keyboard_->regions()) {
        if (!region.Contains(x, y)) {
            continue;
        }
        const KeyCode code =
            MakeKeyCode(static_cast<uint16_t>(region.va), static_cast<uint16_t>(region.id));
        clickedRegion_ = region.Rect();
        if (latched_.erase(code) != 0) {
            Let(code);
            keyboard_->SetRegionChecked(region.id, false);
        } else if ((keyFlags & Qt::ShiftModifier) != 0 || hold_->isChecked()) {
            latched_.insert(code);
            Hold(code);
            keyboard_->SetRegionChecked(region.id, true);
        } else if (clicked_.insert(code).second) {
            Hold(code);
        }
        break;
    }
    return 1;
}

// The picture lets go of a key only when the mouse comes up over it. A release anywhere else
// is handed to it over the key, so that no key stays down or looks pressed.
bool SimulatorPanel::FilterPictureRelease(const QMouseEvent& event) {
    if (redirecting_ || event.button() != Qt::LeftButton || !clickedRegion_ ||
        clickedRegion_->contains(event.position().toPoint())) {
        return false;
    }
    ReleaseOverClickedKey();
    return true;
}

void SimulatorPanel::ReleaseOverClickedKey() {
    if (clickedRegion_ && !redirecting_) {
        const QPoint centre = clickedRegion_->center();
        QMouseEvent release(QEvent::MouseButtonRelease, centre, keyboard_->mapToGlobal(centre),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        redirecting_ = true;
        QCoreApplication::sendEvent(keyboard_, &release);
        redirecting_ = false;
    }
    ReleaseClicked();
}

bool SimulatorPanel::FilterTyping(QEvent& event) {
    switch (event.type()) {
        case QEvent::ShortcutOverride:
            // While the field has the focus every key is the keyboard's, shortcuts included.
            event.accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            // Before the widget sees them: Tab would move the focus on.
            Type(static_cast<const QKeyEvent&>(event));
            return true;
        case QEvent::FocusOut:
            ReleaseTyped();
            return false;
        default:
            return false;
    }
}

void SimulatorPanel::Type(const QKeyEvent& event) {
    if (event.isAutoRepeat()) {
        return;
    }
    const auto usage = KeyboardUsage(event.key());
    const KeyCode code = usage ? MakeKeyCode(kKeyboardPage, *usage) : 0;
    // The scan code finds the key that went down even when its release names another character.
    const quint32 which = event.nativeScanCode() != 0 ? event.nativeScanCode() : code;
    if (event.type() == QEvent::KeyPress) {
        if (usage && typed_.emplace(which, code).second) {
            Hold(code);
        }
    } else if (const auto typed = typed_.find(which); typed != typed_.end()) {
        Let(typed->second);
        typed_.erase(typed);
    }
}

bool SimulatorPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == keyboard_ && event->type() == QEvent::MouseButtonRelease) {
        return FilterPictureRelease(*static_cast<QMouseEvent*>(event));
    }
    if (watched == typing_) {
        return FilterTyping(*event);
    }
    return QWidget::eventFilter(watched, event);
}

void SimulatorPanel::closeEvent(QCloseEvent* event) {
    ReleaseEverything();
    QWidget::closeEvent(event);
}

void SimulatorPanel::ReleaseClicked() {
    for (const KeyCode code : std::exchange(clicked_, {})) {
        Let(code);
    }
    clickedRegion_.reset();
}

void SimulatorPanel::ReleaseTyped() {
    for (const auto& [which, code] : std::exchange(typed_, {})) {
        Let(code);
    }
}

void SimulatorPanel::ReleaseEverything() {
    ReleaseOverClickedKey();
    ReleaseTyped();
    for (const KeyCode code : std::exchange(latched_, {})) {
        Let(code);
        keyboard_->SetRegionChecked(UsageIdOf(code), false);
    }
}

// An unplugged keyboard has no keys to press: what was down goes up, as the system would see it.
void SimulatorPanel::RefreshPresence() {
    const bool present = simulator_.KeyboardPresent();
    plug_->setText(present ? "Unplug keyboard" : "Plug keyboard in");
    if (!present) {
        ReleaseEverything();
    }
    keys_->setEnabled(present);
    keyboard_->graphicsEffect()->setEnabled(!present);
}

QWidget* CreateSimulatorPanel(platform::Simulator& simulator, QWidget* mainWindow) {
    auto* panel = new SimulatorPanel(simulator);
    panel->adjustSize();
    PlaceBeside(*panel, mainWindow);
    panel->show();
    return panel;
}

}  // namespace keyrig::ui
