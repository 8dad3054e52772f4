#include "app/program.h"

#include <QDir>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScreen>
#include <cstdlib>
#include <iostream>

#include "app/settings.h"
#include "device/driver_install.h"
#include "device/vhidev.h"
#include "ui/control_ids.h"
#include "ui/framework/desktop.h"
#include "ui/framework/message_box.h"
#include "ui/framework/resources.h"
#include "ui/framework/theme.h"
#include "ui/framework/translator.h"
#include "ui/main_dlg.h"
#include "ui/simulator_panel.h"

namespace keyrig {
namespace {

constexpr const char* kHiddenTail = "-hid";
constexpr int kLayoutMissingStatus = 1;

QString SocketPath(const QString& instanceName) {
    return QString::fromStdString(
               (platform::RuntimeDirectory() / instanceName.toStdString()).string()) +
           ".socket";
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

}  // namespace

ProgramOptions ProgramOptions::FromEnvironment(QString commandTail) {
    ProgramOptions options;
    const char* directory = std::getenv("KEYRIG_PROGRAM_DIR");
    options.programDirectory = directory != nullptr && *directory != '\0'
                                   ? std::filesystem::path(directory)
                                   : platform::ProgramDirectory();
    options.commandTail = std::move(commandTail);
    const char* panel = std::getenv("KEYRIG_SIMULATOR_PANEL");
    options.simulatorPanel = panel != nullptr && std::string_view(panel) == "1";
    return options;
}

Program::Program(ProgramOptions options) : options_(std::move(options)) {}

Program::~Program() {
    Shutdown();
}

std::optional<int> Program::Start() {
    device::VHidev& vhidev = device::VHidev::Instance();
    device::ensureVirtualKeyboard(vhidev);
    vhidev.releaseAll();
    platform::ChangeCurrentDirectory(options_.programDirectory);

    LoadResources();
    LoadLanguage();
    ui::RegisterWidgetClasses();
    LoadDataFiles();

    if (!ClaimInstance()) {
        if (!platform::BringMarkedWindowsForward(instanceName_.toStdString())) {
            AskRunningCopyToShow(instanceName_);
        }
        Shutdown();
        return 0;
    }
    ListenForSecondCopies();

    const bool hidden = options_.commandTail == kHiddenTail;
    mainWindow_ = new ui::CMainDlg(Settings::Instances(), vhidev, instanceName_);
    connect(mainWindow_, &ui::CMainDlg::windowDestroyed, this, &Program::ShutdownLater,
            Qt::QueuedConnection);
    if (!mainWindow_->Create()) {
        std::cerr << "keyrig: the main window's layout cannot be read; see the line above\n";
        ui::ShowMessageBox(nullptr, "The main window cannot be shown: its layout is missing.",
                           "Warning", ui::MessageButtons::Ok);
        Shutdown();
        return kLayoutMissingStatus;
    }
    mainWindow_->Initialise();
    if (mainWindow_->isDestroyed()) {
        Shutdown();
        return 0;
    }
    mainWindow_->adjustSize();
    CentreOnScreen(mainWindow_);
    if (!hidden) {
        mainWindow_->show();
    } else if (!ui::NotificationAreaAvailable()) {
        // With nowhere to hide, a hidden window could never be found again.
        mainWindow_->showMinimized();
    }
    if (platform::Simulator* simulator = platform::Current().simulator();
        simulator != nullptr && options_.simulatorPanel) {
        simulatorPanel_.reset(ui::CreateSimulatorPanel(*simulator, mainWindow_));
    }
    return std::nullopt;
}

void Program::LoadResources() {
    QString folder =
        QDir(QString::fromStdString(options_.programDirectory.string())).filePath("uires");
    if (!QFileInfo::exists(folder)) {
        // Tools that point the program at a folder of data files alone use the installed
        // resources.
        folder =
            QDir(QString::fromStdString(platform::ProgramDirectory().string())).filePath("uires");
    }
    ui::ResourceIndex::Current().Load(folder);
    ui::WidgetIds::Current().Register(ui::ControlIds(), true);
    ui::ApplyInitialDefinitions();
    instanceName_ = ui::NamedString(0);
    if (instanceName_.isEmpty()) {
        instanceName_ = "Keyrig.MainWindow";
    }
}

void Program::LoadLanguage() {
    translator_ = new ui::LanguageTranslator(this);
    ui::LanguageTranslator::Install(translator_);
    AppConfig& config = AppConfig::instance();
    loaded_.config = config.loadFile(options_.programDirectory / kConfigFile);
    const QString path = ui::ResourceIndex::Current().Path(config.isChinese ? "translator:lang_cn"
                                                                            : "translator:lang_en");
    translator_->LoadLanguage(path);
}

void Program::LoadDataFiles() {
    const auto& directory = options_.programDirectory;
    Settings settings = Settings::Instances();
    loaded_.macro = settings.macros.Load(directory / kMacroFile);
    loaded_.record = settings.assignments.Load(directory / kRecordFile);
    loaded_.sidemodel = settings.sideLight.Load(directory / kSideModelFile);
    loaded_.ledeffect = settings.lighting.Load(directory / kLedEffectFile);
}

bool Program::ClaimInstance() {
    claim_ = platform::ClaimInstance(instanceName_.toStdString());
    return claim_ != nullptr;
}

// Where the system keeps no window marks, a second copy asks over a local socket.
void Program::ListenForSecondCopies() {
    instanceServer_ = new QLocalServer(this);
    const QString path = SocketPath(instanceName_);
    // The claim is ours, so a socket left at the path belongs to a copy that is gone.
    QLocalServer::removeServer(path);
    if (!instanceServer_->listen(path)) {
        std::cerr << "keyrig: a second start cannot reach this copy: "
                  << instanceServer_->errorString().toStdString() << '\n';
        return;
    }
    connect(instanceServer_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* connection = instanceServer_->nextPendingConnection()) {
            connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
            connection->disconnectFromServer();
            if (mainWindow_ && !mainWindow_->isDestroyed()) {
                ui::BringBack(mainWindow_);
            }
        }
    });
}

bool AskRunningCopyToShow(const QString& instanceName) {
    QLocalSocket socket;
    socket.connectToServer(SocketPath(instanceName));
    if (!socket.waitForConnected(2000)) {
        return false;
    }
    // The running copy answers by closing the connection once it has acted.
    socket.waitForDisconnected(2000);
    return true;
}

// The window may end inside one of its own handlers (a dialog of its own still unwinding);
// Qt deletes it once control is back in the loop that runs the program.
void Program::ShutdownLater() {
    if (shutDown_ || !mainWindow_) {
        return Shutdown();
    }
    connect(mainWindow_, &QObject::destroyed, this, [this] {
        mainWindow_ = nullptr;
        Shutdown();
    });
    mainWindow_->deleteLater();
}

void Program::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    simulatorPanel_.reset();
    delete mainWindow_.data();
    ui::LanguageTranslator::Uninstall();
    delete translator_;
    translator_ = nullptr;
    delete instanceServer_;
    instanceServer_ = nullptr;
    claim_.reset();
    Q_EMIT finished(0);
}

}  // namespace keyrig
