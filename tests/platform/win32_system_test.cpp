// The Windows backend on a real Windows system call layer (under Wine in our tests): everything
// that can be real without the keyboard and its drivers.
#include "platform/win32/win32_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "device/driver_install.h"
#include "device/filter_channel.h"
#include "device/hid_discovery.h"
#include "device/trace.h"
#include "store/key_assignment_store.h"
#include "support/temp_dir.h"

namespace keyrig::platform::win32 {
namespace {

class Win32SystemTest : public testing::Test {
  protected:
    Win32SystemTest() { device::SetTraceEnabled(false); }

    std::filesystem::path Helper() {
        return system.ModulePath().parent_path() / "keyrig_win32_helper.exe";
    }

    RunOutcome RunHelper(const std::string& arguments,
                         std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        return system.RunAndWait(Helper(), " " + arguments, limit);
    }

    Win32System system;
    test::TempDir dir;
};

TEST_F(Win32SystemTest, NamedMutexesAreOnePerNameAndReentrant) {
    const auto first = system.NewNamedMutex("Keyrig test mutex");
    const auto second = system.NewNamedMutex("Keyrig test mutex");
    first->lock();
    first->lock();  // the holder may take it again
    std::atomic<bool> taken = false;
    std::thread other([&] {
        second->lock();
        taken = true;
        second->unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(taken);
    first->unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken);  // still held once
    first->unlock();
    other.join();
    EXPECT_TRUE(taken);
}

TEST_F(Win32SystemTest, NamedMutexesReachOtherProcesses) {
    const auto mutex = system.NewNamedMutex("Keyrig cross-process mutex");
    const auto result = dir / "mutex.txt";
    mutex->lock();
    ASSERT_EQ(RunHelper("mutex Keyrig_cross-process_mutex_unused " + result.string()),
              RunOutcome::Finished);
    EXPECT_EQ(dir.Read("mutex.txt"), "locked");  // another name is free

    const auto held = system.NewNamedMutex("KeyrigHeld");
    held->lock();
    ASSERT_EQ(RunHelper("mutex KeyrigHeld " + result.string()), RunOutcome::Finished);
    EXPECT_EQ(dir.Read("mutex.txt"), "busy");
    held->unlock();
    ASSERT_EQ(RunHelper("mutex KeyrigHeld " + result.string()), RunOutcome::Finished);
    EXPECT_EQ(dir.Read("mutex.txt"), "locked");
    mutex->unlock();
}

// The running copy holds the name and marks its window; a second copy, a real process, finds
// the name taken and brings the marked window forward: shown when hidden, restored when
// minimised.
TEST_F(Win32SystemTest, ASecondCopyBringsTheFirstOnesWindowForward) {
    const std::string name = "KeyrigInstanceTest";
    const auto result = dir / "instance.txt";
    const auto claim = platform::ClaimInstance(name);
    ASSERT_NE(claim, nullptr);
    EXPECT_EQ(platform::ClaimInstance(name), nullptr);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KeyrigInstanceTestWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Keyrig", WS_OVERLAPPEDWINDOW, 0,
                                  0, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(platform::MarkWindow(reinterpret_cast<uintptr_t>(window), name));
    for (const int hidden : {SW_HIDE, SW_MINIMIZE}) {
        ShowWindow(window, hidden);
        // The second copy's calls on the window wait for its thread, as they wait for the
        // running copy's message loop: this thread pumps messages until the copy has ended.
        std::atomic<bool> ended{false};
        RunOutcome outcome = RunOutcome::NotStarted;
        std::thread second([&] {
            outcome = RunHelper("instance " + name + " " + result.string());
            ended = true;
        });
        while (!ended) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        second.join();
        ASSERT_EQ(outcome, RunOutcome::Finished);
        EXPECT_EQ(dir.Read("instance.txt"), "running");
        EXPECT_TRUE(IsWindowVisible(window)) << hidden;
        EXPECT_FALSE(IsIconic(window)) << hidden;
    }
    platform::UnmarkWindow(reinterpret_cast<uintptr_t>(window), name);
    DestroyWindow(window);
}

TEST_F(Win32SystemTest, RunningAProgramWaitsForItsEnd) {
    EXPECT_EQ(RunHelper("touch " + (dir / "touched").string()), RunOutcome::Finished);
    EXPECT_TRUE(dir.Exists("touched"));
    EXPECT_EQ(system.RunAndWait(dir / "missing.exe", " anything", std::chrono::seconds(5)),
              RunOutcome::NotStarted);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunHelper("sleep 3000", std::chrono::milliseconds(200)), RunOutcome::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
}

TEST_F(Win32SystemTest, TheDriverToolRunsFromTheFolderWithTheRightDescription) {
    // Our helper stands in for the device console tool: it logs the command lines it is given.
    std::filesystem::copy_file(Helper(), dir / "devcon.exe");
    dir.Write("vhidflt.inf", "");
    dir.Write("vhidev.inf", "");
    device::VHidev vhidev(system);
    EXPECT_FALSE(device::ensureVirtualKeyboard(vhidev, dir.path(), system));  // no driver here
    EXPECT_EQ(dir.Read("devcon.log"), device::RemoveCommandLine() + "\n" +
                                          device::InstallCommandLine(dir / "vhidflt.inf") + "\n");

    std::filesystem::remove(dir / "vhidflt.inf");
    std::filesystem::create_directory(dir / "vhidflt.inf");
    std::filesystem::remove(dir / "devcon.log");
    device::ensureVirtualKeyboard(vhidev, dir.path(), system);
    EXPECT_NE(dir.Read("devcon.log").find(device::InstallCommandLine(dir / "vhidev.inf")),
              std::string::npos);
}

TEST_F(Win32SystemTest, ThisIs64BitWindows) {
    EXPECT_TRUE(system.Is64BitSystem());
    EXPECT_EQ(device::driverDirectory(system).filename(), "x64");
    EXPECT_EQ(device::driverDirectory(system).parent_path().filename(), "driver");
}

TEST_F(Win32SystemTest, EnumerationFindsTheHidDevicesThereAre) {
    const Guid unknownClass{0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    const auto none = system.EnumerateInterfaces(unknownClass);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());

    const auto hid = system.EnumerateInterfaces(kHidInterfaceClass);
    ASSERT_TRUE(hid.has_value());
    for (const DeviceInterface& each : *hid) {
        EXPECT_EQ(each.interfaceClass, kHidInterfaceClass);
        ASSERT_TRUE(device::parseHidDevicePath(each.path).has_value()) << each.path;
        const auto ids = *device::parseHidDevicePath(each.path);
        const std::vector<int32_t> pids{ids.pid};
        const auto found = device::findHidDevices(ids.vid, pids, -1, -1, system);
        ASSERT_FALSE(found.empty());
        EXPECT_NE(found.front().usagePage, 0) << each.path;  // opened, and its caps read
    }
}

TEST_F(Win32SystemTest, TheVirtualKeyboardIsNotHereAndThatIsSaidQuietly) {
    std::unique_ptr<Device> handle;
    EXPECT_FALSE(device::findVirtualKeyboard(kHidInterfaceClass, &handle, system));
    EXPECT_EQ(handle, nullptr);
    device::VHidev vhidev(system);
    EXPECT_FALSE(vhidev.Open());
    vhidev.releaseAll();
}

TEST_F(Win32SystemTest, WithoutTheFilterDriverTheChannelIdles) {
    KeyAssignmentStore store;
    store.Put({0x00070004, 1, 1, 1, "A", "B", {}});
    const auto start = std::chrono::steady_clock::now();
    {
        device::FilterChannel channel(system);
        EXPECT_FALSE(channel.OpenDevice());
        EXPECT_TRUE(channel.StartListener());
        channel.SetKeyList(store);
        channel.Request(device::IOCTL_VHIDFLT_804);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(Win32SystemTest, WideCharacterPathsWork) {
    const auto folder = dir.path() / std::filesystem::path(u8"Клавиатура 键盘");
    std::filesystem::create_directory(folder);
    const auto file = folder / "record.xml";
    ASSERT_TRUE(ReplaceFileContents(file, "<?xml version=\"1.0\"?>\n"));
    ASSERT_TRUE(ReplaceFileContents(file, "<record code=\"70004\" />\n"));  // over an existing file
    EXPECT_EQ(KindOf(file), FileKind::File);
    const auto previous = std::filesystem::current_path();
    ASSERT_TRUE(ChangeCurrentDirectory(folder));
    EXPECT_EQ(KindOf("record.xml"), FileKind::File);
    ASSERT_TRUE(ChangeCurrentDirectory(previous));
    EXPECT_EQ(KindOf(folder), FileKind::Directory);
    KeyAssignmentStore store;
    ASSERT_TRUE(store.Load(file));
    EXPECT_EQ(store.Snapshot()->size(), 1u);
    EXPECT_TRUE(store.Save());
    EXPECT_EQ(test::TempDir::ReadFile(file),
              "<?xml version=\"1.0\"?>\n<record code=\"70004\" play=\"0\" type=\"0\" repeat=\"0\" "
              "name=\"\" group=\"\" />\n");
}

TEST_F(Win32SystemTest, EventsAndWatches) {
    const auto event = system.NewEvent(true);
    EXPECT_FALSE(event->IsSet());
    event->Set();
    EXPECT_TRUE(event->IsSet());
    EXPECT_TRUE(event->IsSet());
    event->Reset();
    EXPECT_FALSE(event->IsSet());

    struct Sink : DeviceChangeSink {
        void OnDeviceArrival(const std::string&) override {}
        void OnDeviceRemoval(const std::string&) override {}
    } sink;
    const auto watch = system.WatchDeviceChanges(sink);
    EXPECT_NE(watch, nullptr);
}

}  // namespace
}  // namespace keyrig::platform::win32
