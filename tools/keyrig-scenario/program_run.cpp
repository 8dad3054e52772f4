// The whole program, driven as a user drives it: started on the offscreen platform in-process,
// its widgets clicked and its message boxes answered from the script, one line at a time. A line
// runs only once the program is idle again — no events left to handle, no paced report waiting,
// no key on its way — so a script's trace is the same every run, apart from the times.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <iostream>
#include <set>

#include "../keyrigctl/json_view.h"
#include "app/program.h"
#include "device/trace.h"
#include "runners.h"
#include "store/xml_data_file.h"
#include "trace_lines.h"
#include "ui/framework/desktop.h"
#include "ui/framework/translator.h"
#include "ui/shell_notify_icon.h"

namespace keyrig::scenario {
namespace {

using namespace std::chrono_literals;

// Rounds of an empty event queue that count as idle: handlers post events of their own (a
// device notice, a language change, a window's deferred deletion) that need a round each.
constexpr int kQuietRounds = 3;
constexpr auto kSecondCopyLimit = 30s;

std::string Flag(bool value) {
    return value ? "1" : "0";
}

// The words after the first `skip` ones, as written.
std::string TextAfter(const Command& command, size_t skip) {
    size_t position = 0;
    const std::string& rest = command.rest;
    for (size_t word = 0; word < skip; ++word) {
        position = rest.find_first_not_of(' ', position);
        position = rest.find(' ', position);
        if (position == std::string::npos) {
            return {};
        }
        ++position;
    }
    return rest.substr(position);
}

class Driver final : public QObject {
  public:
    Driver(platform::sim::World& world, std::filesystem::path directory, const Script& script)
        : world_(world), directory_(std::move(directory)), script_(script) {}

    int Run() {
        qApp->installEventFilter(this);
        SetDataFileWriteObserver([this](const std::filesystem::path& file) {
            Note(world_, "file", std::filesystem::relative(file, directory_).generic_string());
        });
        start_ = std::chrono::steady_clock::now();
        Schedule(0ms);
        QApplication::exec();
        SetDataFileWriteObserver(nullptr);
        qApp->removeEventFilter(this);
        return exitStatus_.value_or(0);
    }

    std::chrono::steady_clock::time_point start() const { return start_; }

  protected:
    // Watches every window and dialog appear and go, as the user would see them.
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || !widget->isWindow()) {
            return false;
        }
        // Found by its class while it is whole (it shows itself during start-up), then compared
        // as an object: the window still sends events while its destructor runs.
        if (mainObject_ == nullptr && qobject_cast<ui::CMainDlg*>(widget) != nullptr) {
            mainObject_ = widget;
        }
        const bool isMain = mainObject_ != nullptr && watched == mainObject_;
        const QEvent::Type type = event->type();
        if (isMain && type == QEvent::Show) {
            Note(world_, "window", widget->isMinimized() ? "minimized" : "shown");
        } else if (isMain && type == QEvent::Hide) {
            Note(world_, "window", "hidden");
        } else if (isMain && type == QEvent::WindowStateChange && widget->isVisible()) {
            const bool minimized = widget->isMinimized();
            const bool was =
                static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
            if (minimized != was) {
                Note(world_, "window", minimized ? "minimized" : "shown");
            }
        } else if (type == QEvent::Show && qobject_cast<QDialog*>(widget) != nullptr &&
                   qobject_cast<QMessageBox*>(widget) == nullptr) {
            auto* dialog = static_cast<QDialog*>(widget);
            Note(world_, "dialog", "open " + dialog->objectName().toStdString());
            if (watchedDialogs_.insert(dialog).second) {
                connect(dialog, &QDialog::finished, this, [this](int result) {
                    Note(world_, "dialog", "close " + std::to_string(result));
                });
                connect(dialog, &QObject::destroyed, this,
                        [this, dialog] { watchedDialogs_.erase(dialog); });
            }
        }
        return false;
    }

  private:
    void Schedule(std::chrono::milliseconds after) {
        QTimer::singleShot(after, this, [this] { Tick(); });
    }

    ui::CMainDlg* MainWindow() const {
        return program_ && !exitStatus_ ? program_->mainWindow() : nullptr;
    }

    // Keys count only while the program listens for them; before it starts and after it ends
    // they go straight to the system.
    bool Settled() {
        if (!world_.NothingDue()) {
            return false;
        }
        if (ui::CMainDlg* main = MainWindow()) {
            // A window that is gone for the user is still being taken down.
            return !main->isDestroyed() && world_.WaitUntilKeysHandled(0ms) &&
                   main->commands().Idle() && main->engine().WaitForMacroStart(0ms);
        }
        return true;
    }

    void Tick() {
        if (AnswerMessageBox()) {
            quietRounds_ = 0;
            return Schedule(0ms);
        }
        PollTexts();
        if (blocking_) {
            return Schedule(1ms);
        }
        if (const auto now = std::chrono::steady_clock::now(); now < resumeAt_) {
            return Schedule(std::chrono::ceil<std::chrono::milliseconds>(resumeAt_ - now));
        }
        if (!Settled()) {
            quietRounds_ = 0;
            return Schedule(1ms);
        }
        if (++quietRounds_ < kQuietRounds) {
            return Schedule(0ms);
        }
        quietRounds_ = 0;
        if (platform::TerminationRequested() || next_ >= script_.commands.size()) {
            return Finish();
        }
        const Command& command = script_.commands[next_++];
        Note(world_, "script", command.line);
        // Scheduled first, so that a dialog this line opens still sees the lines after it.
        Schedule(0ms);
        Execute(command);
    }

    // The program ends as a user ends it, once a playing macro is done (or had its time).
    void Finish() {
        if (ui::CMainDlg* main = MainWindow()) {
            if (finishBy_ == std::chrono::steady_clock::time_point{}) {
                finishBy_ = std::chrono::steady_clock::now() + kMacroEndLimit;
            }
            if (main->engine().MacroPlaying() && std::chrono::steady_clock::now() < finishBy_) {
                return Schedule(2ms);
            }
            main->DestroyWindow();
            return Schedule(0ms);
        }
        QApplication::exit(0);
    }

    bool AnswerMessageBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return false;
        }
        QAbstractButton* ok = box->findChild<QAbstractButton*>("button1st");
        QAbstractButton* cancel = box->findChild<QAbstractButton*>("button2nd");
        const bool cancelling = answer_ == "cancel" && cancel != nullptr;
        Note(world_, "msgbox",
             box->windowTitle().toStdString() + " | " + box->text().toStdString() + " -> " +
                 (cancelling ? "cancel" : "ok"));
        answer_ = "ok";
        if (QAbstractButton* chosen = cancelling ? cancel : ok) {
            chosen->click();
        } else {
            box->accept();
        }
        return true;
    }

    void PollTexts() {
        ui::CMainDlg* main = MainWindow();
        auto* version = main ? main->root()->findChild<QLabel*>("version") : nullptr;
        if (version != nullptr && version->text() != versionText_) {
            versionText_ = version->text();
            Note(world_, "text", "version " + versionText_.toStdString());
        }
    }

    QWidget* ActiveRoot() const {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            return modal;
        }
        return MainWindow();
    }

    QWidget* Named(const std::string& name) const {
        QWidget* root = ActiveRoot();
        if (root == nullptr) {
            return nullptr;
        }
        const QString wanted = QString::fromStdString(name);
        return root->objectName() == wanted ? root : root->findChild<QWidget*>(wanted);
    }

    void Error(const std::string& text) {
        Note(world_, "error", text);
        std::cerr << "keyrig-scenario: " << text << '\n';
    }

    void Execute(const Command& command);
    void Start(const Command& command);
    void Second(const Command& command);
    void Show(const std::string& name);
    void KeyMouse(const Command& command);
    void Menu(int id);

    platform::sim::World& world_;
    const std::filesystem::path directory_;
    const Script& script_;
    std::unique_ptr<Program> program_;
    QPointer<QObject> mainObject_;  // the main window, once the program has made it
    std::optional<int> exitStatus_;
    size_t next_ = 0;
    int quietRounds_ = 0;
    bool blocking_ = false;  // start and second run to their end before the next line
    std::chrono::steady_clock::time_point resumeAt_;
    std::chrono::steady_clock::time_point finishBy_;
    std::chrono::steady_clock::time_point start_;
    std::string answer_ = "ok";
    QString versionText_;
    std::set<QDialog*> watchedDialogs_;
};

void Driver::Execute(const Command& command) {
    const std::string& verb = command.verb;
    const auto needsProgram = [this, &command] {
        if (MainWindow() == nullptr) {
            Error("line " + std::to_string(command.number) + ": the program is not running");
            return false;
        }
        return true;
    };
    if (verb == "press" || verb == "tap") {
        world_.PressKey(command.code);
    }
    if (verb == "tap") {
        // The release follows once the press is handled and the time has passed.
        Command release = command;
        release.verb = "release";
        QTimer::singleShot(command.ms, this, [this, release] { world_.ReleaseKey(release.code); });
        resumeAt_ = std::chrono::steady_clock::now() + command.ms + 1ms;
    } else if (verb == "release") {
        world_.ReleaseKey(command.code);
    } else if (verb == "wait") {
        resumeAt_ = std::chrono::steady_clock::now() + command.ms;
    } else if (verb == "keyboard" && command.words[0] == "firmware") {
        world_.SetFirmwareVersion(static_cast<uint16_t>(command.first));
    } else if (verb == "unplug" || verb == "plug") {
        world_.SetKeyboardPresent(verb == "plug");
    } else if (verb == "keyboard") {
        world_.SetKeyboardPresent(command.words[0] == "present");
    } else if (verb == "virtual") {
        world_.SetVirtualKeyboardPresent(command.words[0] == "present");
    } else if (verb == "start") {
        Start(command);
    } else if (verb == "second") {
        Second(command);
    } else if (verb == "answer") {
        answer_ = command.words[0];
    } else if (verb == "dump") {
        const SettingsLoadResult loaded = program_ ? program_->loaded() : SettingsLoadResult{};
        Note(world_, "dump", ctl::ToText(ctl::SettingsJson(loaded, Settings::Instances())));
    } else if (!needsProgram()) {
        return;
    } else if (verb == "click") {
        auto* button = qobject_cast<QAbstractButton*>(Named(command.words[0]));
        button ? button->click() : Error("no button " + command.words[0]);
    } else if (verb == "select") {
        QWidget* widget = Named(command.words[0]);
        if (auto* list = qobject_cast<QComboBox*>(widget)) {
            list->setCurrentIndex(command.first);
        } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            tabs->setCurrentIndex(command.first);
        } else if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
            view->setCurrentIndex(view->model()->index(command.first, 0));
        } else {
            Error("no list " + command.words[0]);
        }
    } else if (verb == "slide") {
        auto* slider = qobject_cast<QSlider*>(Named(command.words[0]));
        if (slider == nullptr) {
            return Error("no slider " + command.words[0]);
        }
        // A position event even when the slider stands there already.
        if (slider->value() == command.first) {
            Q_EMIT slider->valueChanged(command.first);
        } else {
            slider->setValue(command.first);
        }
    } else if (verb == "type") {
        auto* edit = qobject_cast<QLineEdit*>(Named(command.words[0]));
        if (edit == nullptr) {
            return Error("no edit " + command.words[0]);
        }
        edit->selectAll();
        edit->insert(QString::fromStdString(TextAfter(command, 1)));
    } else if (verb == "check") {
        auto* button = qobject_cast<QAbstractButton*>(Named(command.words[0]));
        if (button == nullptr) {
            return Error("no check box " + command.words[0]);
        }
        if (button->isChecked() != (command.first != 0)) {
            button->click();
        }
    } else if (verb == "cell") {
        auto* view = qobject_cast<QAbstractItemView*>(Named(command.words[0]));
        QAbstractItemModel* model = view ? view->model() : nullptr;
        if (model == nullptr) {
            return Error("no list " + command.words[0]);
        }
        const QString column = QString::fromStdString(command.words[2]);
        for (int each = 0; each < model->columnCount(); ++each) {
            if (model->headerData(each, Qt::Horizontal, Qt::UserRole).toString() == column) {
                model->setData(model->index(command.first, each),
                               QString::fromStdString(TextAfter(command, 3)), Qt::EditRole);
                return;
            }
        }
        Error("no column " + command.words[2] + " in " + command.words[0]);
    } else if (verb == "keyclick" || verb == "keydrag" || verb == "hover") {
        KeyMouse(command);
    } else if (verb == "menu") {
        Menu(command.first);
    } else if (verb == "tray") {
        auto* tray = MainWindow()->findChild<ui::SShellNotifyIcon*>();
        if (tray == nullptr) {
            return Error("the window has no tray icon");
        }
        tray->Activate(command.words[0] == "left" ? QSystemTrayIcon::Trigger
                                                  : QSystemTrayIcon::Context);
    } else if (verb == "language") {
        MainWindow()->router()->Command(command.words[0] == "cn" ? "zh_cn" : "jp", 0);
    } else if (verb == "close") {
        MainWindow()->close();
    } else if (verb == "show") {
        Show(command.words[0]);
    } else if (verb == "screenshot") {
        QWidget* root = ActiveRoot();
        if (!root->window()->grab().save(QString::fromStdString(command.words[0]), "PNG")) {
            Error("cannot write the screenshot " + command.words[0]);
        }
    }
}

void Driver::Start(const Command& command) {
    ProgramOptions options;
    options.programDirectory = directory_;
    options.commandTail = QString::fromStdString(command.rest);
    program_ = std::make_unique<Program>(options);
    connect(program_.get(), &Program::finished, this, [this](int status) {
        if (!exitStatus_) {
            exitStatus_ = status;
        }
    });
    blocking_ = true;
    const auto ended = program_->Start();
    blocking_ = false;
    if (ended) {
        exitStatus_ = *ended;
        return;
    }
    if (ui::LanguageTranslator* translator = ui::LanguageTranslator::Installed()) {
        connect(translator, &ui::LanguageTranslator::languageLoaded, this,
                [this](const QString& name) { Note(world_, "language", name.toStdString()); });
    }
}

// A second copy of the program, as a real process with a world of its own, on the same folder.
void Driver::Second(const Command& command) {
    QProcess second;
    second.setProgram(QString::fromStdString((platform::ProgramDirectory() / "keyrig").string()));
    second.setArguments(QProcess::splitCommand(QString::fromStdString(command.rest)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KEYRIG_PROGRAM_DIR", QString::fromStdString(directory_.string()));
    environment.insert("KEYRIG_PLATFORM", "sim");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.setStandardOutputFile(QProcess::nullDevice());
    second.setStandardErrorFile(QProcess::nullDevice());
    QEventLoop waiting;
    connect(&second, &QProcess::finished, &waiting, &QEventLoop::quit);
    connect(&second, &QProcess::errorOccurred, &waiting, &QEventLoop::quit);
    QTimer::singleShot(kSecondCopyLimit, &waiting, &QEventLoop::quit);
    blocking_ = true;
    second.start();
    if (second.state() != QProcess::NotRunning) {
        waiting.exec();
    }
    blocking_ = false;
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished();
        return Note(world_, "second", "timed out");
    }
    Note(world_, "second",
         "exit " +
             std::to_string(second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1));
}

void Driver::Show(const std::string& name) {
    QWidget* widget = Named(name);
    if (widget == nullptr) {
        return Error("no widget " + name);
    }
    std::string line = name;
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        text = label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        text = button->text();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        text = edit->text();
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        text = list->currentText();
    } else if (widget->isWindow()) {
        text = widget->windowTitle();
    }
    const bool visible =
        widget->isWindow() ? widget->isVisible() : widget->isVisibleTo(widget->window());
    line += " text=" + text.toStdString() + " visible=" + Flag(visible) +
            " enabled=" + Flag(widget->isEnabled());
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        line += " item=" + std::to_string(list->currentIndex()) +
                " count=" + std::to_string(list->count());
    } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
        line += " value=" + std::to_string(slider->value());
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
               button && button->isCheckable()) {
        line += " checked=" + Flag(button->isChecked());
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        line += " page=" + std::to_string(tabs->currentIndex());
    } else if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
        line += " rows=" + std::to_string(view->model()->rowCount());
    }
    Note(world_, "show", line);
    if (auto* keyboard = qobject_cast<ui::CoordButtonImage*>(widget)) {
        for (const ui::CoordRegion& region : keyboard->regions()) {
            if (region.checked || !region.text.isEmpty()) {
                Note(world_, "region",
                     std::to_string(region.id) + " checked=" + Flag(region.checked) +
                         " text=" + region.text.toStdString());
            }
        }
    }
}

void Driver::KeyMouse(const Command& command) {
    auto* keyboard = MainWindow()->root()->findChild<ui::CoordButtonImage*>("img_keyboard");
    if (keyboard == nullptr) {
        return Error("the window has no keyboard picture");
    }
    const auto centre = [keyboard](int id) -> std::optional<QPointF> {
        const auto region = keyboard->FindRegion(id);
        return region ? std::optional<QPointF>(QRectF(region->Rect()).center()) : std::nullopt;
    };
    const auto from = centre(command.first);
    const auto to = command.verb == "keydrag" ? centre(command.second) : from;
    if (!from || !to) {
        return Error("no key region " + command.words.back());
    }
    const auto send = [keyboard](QEvent::Type type, QPointF at, Qt::MouseButton button,
                                 Qt::MouseButtons held) {
        QMouseEvent event(type, at, keyboard->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(keyboard, &event);
    };
    if (command.verb == "hover") {
        return send(QEvent::MouseMove, *from, Qt::NoButton, Qt::NoButton);
    }
    send(QEvent::MouseMove, *from, Qt::NoButton, Qt::NoButton);
    send(QEvent::MouseButtonPress, *from, Qt::LeftButton, Qt::LeftButton);
    if (command.verb == "keydrag") {
        send(QEvent::MouseMove, *to, Qt::NoButton, Qt::LeftButton);
    }
    // The release may open the editor, whose loop runs the lines after this one.
    send(QEvent::MouseButtonRelease, *to, Qt::LeftButton, Qt::NoButton);
}

void Driver::Menu(int id) {
    ui::CMainDlg* main = MainWindow();
    auto* tray = main->findChild<ui::SShellNotifyIcon*>();
    for (QMenu* open : {tray ? tray->openMenu() : nullptr, main->moreMenu()}) {
        if (open == nullptr || !open->isVisible()) {
            continue;
        }
        for (QAction* action : open->findChildren<QAction*>()) {
            if (action->objectName().isEmpty() && action->data().toInt() == id) {
                open->close();
                action->trigger();
                return;
            }
        }
    }
    main->router()->MenuChoice(QString(), id);
}

}  // namespace

int RunProgram(const std::filesystem::path& directory, const Script& script, int argc,
               char** argv) {
    device::SetTraceEnabled(false);
    auto simulated = std::make_unique<platform::sim::SimulatedSystem>();
    platform::sim::World& world = simulated->world();
    platform::Install(std::move(simulated));

    // The scripted desktop: offscreen, with a notification area, and a runtime folder of its own
    // so that the single-instance lock meets only this run's copies.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto runtime = directory / ".runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
    int status = 0;
    std::chrono::steady_clock::time_point start;
    {
        QApplication application(argc, argv);
        application.setQuitOnLastWindowClosed(false);
        ui::AssumeNotificationArea(true);
        Driver driver(world, directory, script);
        status = driver.Run();
        start = driver.start();
    }
    std::error_code ignored;
    std::filesystem::remove_all(runtime, ignored);
    platform::TerminationHandled();
    PrintTrace(std::cout, world.Log(), start, status);
    return 0;
}

}  // namespace keyrig::scenario
