#include "device/driver_install.h"

#include <gtest/gtest.h>

#include "support/sim_world.h"
#include "support/temp_dir.h"

namespace keyrig::device {
namespace {

class DriverInstallTest : public test::SimWorldTest {
  protected:
    VHidev vhidev;
    test::TempDir folder;
};

TEST_F(DriverInstallTest, APresentVirtualKeyboardNeedsNoTool) {
    EXPECT_TRUE(ensureVirtualKeyboard(vhidev));
    EXPECT_TRUE(world->ToolRuns().empty());
    EXPECT_TRUE(vhidev.isOpen());
}

TEST_F(DriverInstallTest, AMissingVirtualKeyboardIsRemovedThenInstalled) {
    world->SetVirtualKeyboardPresent(false);
    folder.Write("vhidflt.inf", "");
    EXPECT_TRUE(ensureVirtualKeyboard(vhidev, folder.path()));
    EXPECT_EQ(world->ToolRuns(),
              (std::vector<std::string>{
                  R"( remove root\vhidev)",
                  " install \"" + (folder / "vhidflt.inf").string() + R"(" root\vhidev)"}));
    EXPECT_TRUE(vhidev.isOpen());
}

TEST_F(DriverInstallTest, ThePackageDescriptionIsTheFilterOneWhenItIsAFile) {
    struct Case {
        bool filterFile;
        bool filterFolder;
        bool deviceFile;
        const char* chosen;
    };
    for (const Case& c :
         {Case{true, false, true, "vhidflt.inf"}, Case{false, false, true, "vhidev.inf"},
          Case{false, true, true, "vhidev.inf"}, Case{false, false, false, "vhidev.inf"}}) {
        test::TempDir drivers;
        if (c.filterFile) {
            drivers.Write("vhidflt.inf", "");
        }
        if (c.filterFolder) {
            std::filesystem::create_directory(drivers / "vhidflt.inf");
        }
        if (c.deviceFile) {
            drivers.Write("vhidev.inf", "");
        }
        world->SetVirtualKeyboardPresent(false);
        ensureVirtualKeyboard(vhidev, drivers.path());
        EXPECT_EQ(world->ToolRuns().back(), InstallCommandLine(drivers / c.chosen));
    }
}

TEST_F(DriverInstallTest, TheFolderFollowsTheSystemsWordSize) {
    const auto programDirectory = system().ModulePath().parent_path();
    EXPECT_EQ(driverDirectory(), programDirectory / "driver" / "x64");
    world->SetIs64Bit(false);
    EXPECT_EQ(driverDirectory(), programDirectory / "driver" / "x86");

    world->SetVirtualKeyboardPresent(false);
    ensureVirtualKeyboard(vhidev);
    ASSERT_EQ(world->ToolRuns().size(), 2u);
    EXPECT_NE(
        world->ToolRuns()[1].find((programDirectory / "driver" / "x86" / "vhidev.inf").string()),
        std::string::npos);
}

TEST_F(DriverInstallTest, AToolThatDoesNotStartLeavesTheKeyboardMissing) {
    world->SetVirtualKeyboardPresent(false);
    world->SetToolStarts(false);
    EXPECT_FALSE(ensureVirtualKeyboard(vhidev, folder.path()));
    EXPECT_FALSE(removeVirtualDevice(folder.path()));
    EXPECT_FALSE(runAndWait({}, " remove"));
    EXPECT_FALSE(vhidev.isOpen());
}

TEST_F(DriverInstallTest, TheWaitForAHungToolIsBounded) {
    world->SetToolRunTime(std::chrono::milliseconds(400));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(system().RunAndWait(folder / "devcon.exe", RemoveCommandLine(),
                                  std::chrono::milliseconds(50)),
              platform::RunOutcome::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

}  // namespace
}  // namespace keyrig::device
