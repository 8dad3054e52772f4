// The program's start-up and its main window, in this process, on one simulated world: what
// the command line decides, and which devices a notice touches. The roads a user takes through
// the window are the scenarios in tests/scenarios/.
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "app/program.h"
#include "device/trace.h"
#include "platform/sim/sim_system.h"
#include "ui/framework/desktop.h"

namespace keyrig {

class MainWindowTest final : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir directory_;
    platform::sim::World* world_ = nullptr;

    std::unique_ptr<Program> Start(const QString& tail) {
        ProgramOptions options;
        options.programDirectory = directory_.path().toStdString();
        options.commandTail = tail;
        auto program = std::make_unique<Program>(options);
        if (program->Start()) {
            return nullptr;
        }
        return program;
    }

  private Q_SLOTS:
    void initTestCase() {
        device::SetTraceEnabled(false);
        auto simulated = std::make_unique<platform::sim::SimulatedSystem>();
        world_ = &simulated->world();
        platform::Install(std::move(simulated));
        std::filesystem::copy_file(std::filesystem::path(KEYRIG_DIST) / "config.xml",
                                   directory_.filePath("config.xml").toStdString());
        const QString runtime = directory_.filePath("run");
        QDir().mkpath(runtime);
        QFile::setPermissions(
            runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
        ui::AssumeNotificationArea(true);
    }

    void onlyTheExactTailStartsHidden_data() {
        QTest::addColumn<QString>("tail");
        QTest::addColumn<bool>("shown");
        QTest::newRow("-hid") << "-hid" << false;
        QTest::newRow("capitals") << "-HID" << true;
        QTest::newRow("a trailing blank") << "-hid " << true;
        QTest::newRow("a slash") << "/hid" << true;
        QTest::newRow("a further argument") << "-hid x" << true;
        QTest::newRow("nothing") << "" << true;
    }
    void onlyTheExactTailStartsHidden() {
        QFETCH(QString, tail);
        QFETCH(bool, shown);
        auto program = Start(tail);
        QVERIFY(program);
        QCOMPARE(program->mainWindow()->isVisible(), shown);
    }

    void withoutANotificationAreaHiddenMeansMinimised() {
        ui::AssumeNotificationArea(false);
        auto program = Start("-hid");
        ui::AssumeNotificationArea(true);
        QVERIFY(program);
        QVERIFY(program->mainWindow()->isMinimized());
    }

    // Another device's arrival re-opens the filter device but leaves the keyboard alone.
    void anotherDeviceLeavesTheKeyboardAlone() {
        auto program = Start("");
        QVERIFY(program);
        QVERIFY(program->mainWindow()->commands().WaitUntilSent(std::chrono::seconds(2)));
        world_->ClearLog();
        program->mainWindow()->OnDeviceArrival(
            R"(\\?\hid#vid_1111&pid_2222#7&1c2d3e4f&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})");
        QTest::qWait(50);
        for (const auto& entry : world_->Log()) {
            QVERIFY2(!entry.kind.starts_with("kbd."), entry.kind.c_str());
        }
        QVERIFY(program->mainWindow()->isVisible());
    }

    void theKeyboardLeavingEndsTheProgram() {
        auto program = Start("");
        QVERIFY(program);
        QSignalSpy finished(program.get(), &Program::finished);
        world_->SetKeyboardPresent(false);
        QVERIFY(finished.wait(2000));
        world_->SetKeyboardPresent(true);
    }
};

}  // namespace keyrig

QTEST_MAIN(keyrig::MainWindowTest)
#include "main_window_test.moc"
