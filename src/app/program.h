// The program's start-up and shutdown.
//
// Start() brings the process from launch to the shown main window, in a fixed order: the
// virtual keyboard is prepared (the drivers installed when it is missing) and released, the
// program directory becomes the current one, the resource folder, the configuration and its
// language, the program's widget classes and the four data files are loaded, a running copy is
// brought forward instead of starting twice, and the main window is built and initialised. The
// caller then runs Qt's event loop; finished() says when the main window has gone and
// everything is taken down.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/settings.h"
#include "platform/platform.h"
#include "ui/main_dlg.h"

class QLocalServer;

namespace keyrig::ui {
class LanguageTranslator;
}  // namespace keyrig::ui

namespace keyrig {

struct ProgramOptions {
    // Where config.xml and the data files are; the program's own folder unless
    // KEYRIG_PROGRAM_DIR names another one.
    std::filesystem::path programDirectory;
    // The command line after the program's name: exactly "-hid" starts hidden.
    QString commandTail;
    // Shows the simulator panel beside the window where the devices are simulated
    // (KEYRIG_SIMULATOR_PANEL=1).
    bool simulatorPanel = false;

    static ProgramOptions FromEnvironment(QString commandTail);
};

class Program final : public QObject {
    Q_OBJECT

  public:
    explicit Program(ProgramOptions options);
    ~Program() override;

    // Start-up up to the shown (or hidden) main window. An exit status when the program ended
    // during start-up: another copy runs, the keyboard is missing, the layout cannot be read.
    std::optional<int> Start();

    ui::CMainDlg* mainWindow() const { return mainWindow_; }
    // What each data file's load reported.
    const SettingsLoadResult& loaded() const { return loaded_; }
    // The name that marks the running copy.
    const QString& instanceName() const { return instanceName_; }

  Q_SIGNALS:
    // The main window has gone and the program is taken down; the event loop may end.
    void finished(int status);

  private:
    void LoadResources();
    void LoadLanguage();
    void LoadDataFiles();
    bool ClaimInstance();
    void ListenForSecondCopies();
    void ShutdownLater();
    void Shutdown();

    ProgramOptions options_;
    SettingsLoadResult loaded_;
    QString instanceName_;
    std::unique_ptr<platform::InstanceClaim> claim_;
    QLocalServer* instanceServer_ = nullptr;        // owned by this object
    ui::LanguageTranslator* translator_ = nullptr;  // owned by this object
    QPointer<ui::CMainDlg> mainWindow_;
    std::unique_ptr<QWidget> simulatorPanel_;
    bool shutDown_ = false;
};

// Asks the running copy of `instanceName` to show its window; false when none answers.
bool AskRunningCopyToShow(const QString& instanceName);

}  // namespace keyrig
