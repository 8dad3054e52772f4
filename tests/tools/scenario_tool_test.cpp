// keyrig-scenario as its users run it: bad scripts are refused whole, and a request to end the
// process still releases every key.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

using Result = test::ProgramResult;

Result Scenario(const std::string& arguments, const std::string& script) {
    test::TempDir dir;
    const auto file = dir.Write("script", script);
    return test::RunProgram(std::string(KEYRIG_SCENARIO) + " " + arguments + " " + file.string());
}

TEST(ScenarioTool, BadLinesAreNamedAndNothingRuns) {
    struct Case {
        const char* script;
        const char* message;
    };
    for (const Case& c :
         {Case{"tap 70004\nfrobnicate 1\n", "line 2: unknown command \"frobnicate\""},
          Case{"# fine\n\npress zz\n", "line 3: not a hexadecimal key code \"zz\""},
          Case{"wait -5\n", "line 1: wait takes a time in milliseconds"},
          Case{"press 70004 70005\n", "line 1: press takes one key code"},
          Case{"tap 70004 x\n", "line 1: not a time in milliseconds \"x\""},
          Case{"click btnOK\nstart\n",
               "line 1: click needs the program: put a start line before it"},
          Case{"start\nstart -hid\n", "line 2: the program is started once"},
          Case{"keyboard firmware 1\n", "line 1: not a firmware version MAJOR.MINOR \"1\""},
          Case{"start\nanswer maybe\n", "line 2: answer takes ok or cancel"},
          Case{"start\nkeyclick A\n", "line 2: not a key number \"A\""},
          Case{"start\nslide bar\n", "line 2: slide takes a slider name and a value"}}) {
        const Result result = Scenario("", c.script);
        EXPECT_EQ(result.status, 2) << c.script;
        EXPECT_EQ(result.out.rfind(std::string("keyrig-scenario: ") + c.message, 0), 0u)
            << result.out;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
    }
}

TEST(ScenarioTool, WithoutADirectoryTheShippedFilesAssignNothing) {
    const Result result = Scenario("", "tap 70004 1\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("key.passthrough 70004 down"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(" exit 0\n"), std::string::npos);
}

TEST(ScenarioTool, ATerminationRequestStillReleasesEveryKey) {
    test::TempDir dir;
    std::filesystem::copy_file(std::filesystem::path(KEYRIG_DIST) / "config.xml",
                               dir / "config.xml");
    dir.Write("record.xml", "<record code='70004' play='1'><item code='70005'/></record>");
    dir.Write("script", "press 70004\nwait 20000\n");
    const auto output = dir / "output";
    const pid_t child = fork();
    if (child == 0) {
        freopen(output.c_str(), "w", stdout);
        execl(KEYRIG_SCENARIO, KEYRIG_SCENARIO, "--dir", dir.path().c_str(),
              (dir / "script").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // well into the long wait
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string out = dir.Read("output");
    EXPECT_NE(out.find("vkbd 05 01 00 20\n"), std::string::npos) << out;  // B went down
    EXPECT_NE(out.find("vkbd 05 01\n"), std::string::npos) << out;        // and was released
    EXPECT_NE(out.find(" exit 0\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace keyrig
