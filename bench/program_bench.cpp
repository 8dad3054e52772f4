// Measures the whole program on the simulated world and the offscreen platform, each figure
// beside its goal:
//
//   start-up   from the process's start to the main window shown
//   memory     resident memory once the window is shown
//   idle       wake-ups of all the process's threads over 10 s with nothing happening, with
//              the window shown and with it hidden; the event loop's own wake for the timer
//              that ends each window is not counted
//   slider     how long the UI thread is busy with one lighting slider event, file writes and
//              the hand-over of the report to the keyboard's pacer included
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "device/trace.h"
#include "measure.h"
#include "platform/sim/sim_system.h"
#include "ui/framework/desktop.h"

namespace keyrig::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds since the process started, from the kernel's record of its start.
double SinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index) {
    }
    const double startedAt = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - startedAt) * 1000.0;
}

double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

// Runs the event loop for `length` and counts the wake-ups of every thread meanwhile.
uint64_t IdleWakeups(std::chrono::milliseconds length) {
    const uint64_t before = ContextSwitches();
    QTimer::singleShot(length, [] { QApplication::exit(0); });
    QApplication::exec();
    // The loop's own wake for the timer that ended the window, in and out.
    const uint64_t counted = ContextSwitches() - before;
    return counted > 2 ? counted - 2 : 0;
}

}  // namespace
}  // namespace keyrig::bench

int main(int argc, char** argv) {
    using namespace keyrig;
    using namespace keyrig::bench;
    device::SetTraceEnabled(false);
    platform::Install(std::make_unique<platform::sim::SimulatedSystem>());
    const auto directory =
        std::filesystem::temp_directory_path() / ("keyrig-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory / "run");
    std::filesystem::permissions(directory / "run", std::filesystem::perms::owner_all);
    std::filesystem::copy_file(platform::ProgramDirectory() / "config.xml",
                               directory / "config.xml");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((directory / "run").string()));

    bool met = true;
    {
        QApplication application(argc, argv);
        application.setQuitOnLastWindowClosed(false);
        ui::AssumeNotificationArea(true);
        ProgramOptions options;
        options.programDirectory = directory;
        Program program(options);
        if (program.Start()) {
            std::printf("the program did not start\n");
            return 1;
        }
        const double startup = SinceProcessStart();
        const double memory = ResidentMegabytes();
        std::printf("Keyrig's window on the simulated world (offscreen)\n");
        Report("process start to the main window shown", startup, "ms", "<= 300 ms",
               startup <= 300);
        Report("resident memory after start-up", memory, "MB", "<= 60 MB", memory <= 60);
        met = met && startup <= 300 && memory <= 60;

        // Past the start-up lighting task, which fires 2 s after the window's initialisation.
        IdleWakeups(std::chrono::milliseconds(2500));
        const uint64_t shown = IdleWakeups(std::chrono::seconds(10));
        program.mainWindow()->hide();
        IdleWakeups(std::chrono::milliseconds(200));
        const uint64_t hidden = IdleWakeups(std::chrono::seconds(10));
        Report("wake-ups in 10 s, window shown", static_cast<double>(shown), "", "0", shown == 0);
        Report("wake-ups in 10 s, window hidden", static_cast<double>(hidden), "", "0",
               hidden == 0);
        met = met && shown == 0 && hidden == 0;

        program.mainWindow()->show();
        auto* effects = program.mainWindow()->root()->findChild<QComboBox*>("cbx_color_effect");
        auto* slider = program.mainWindow()->root()->findChild<QSlider*>("bar_const_brightness_1");
        effects->setCurrentIndex(14);
        std::vector<double> stalls;
        for (int event = 0; event < 300; ++event) {
            const auto before = Clock::now();
            slider->setValue(event % 6 == slider->value() ? (event + 1) % 6 : event % 6);
            stalls.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - before).count());
            QApplication::processEvents();
        }
        const double p99 = Percentile(stalls, 0.99);
        Report("UI thread per slider event, 99th percentile", p99, "ms", "<= 16 ms", p99 <= 16);
        met = met && p99 <= 16;
        program.mainWindow()->DestroyWindow();
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return met ? 0 : 1;
}
