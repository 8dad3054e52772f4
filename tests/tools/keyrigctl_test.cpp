// keyrigctl as its users run it: a program directory in, text and an exit status out.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "support/golden.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

using Result = test::ProgramResult;

Result Keyrigctl(const std::string& arguments) {
    return test::RunProgram("KEYRIG_PLATFORM=sim " + std::string(KEYRIGCTL) + " " + arguments);
}

class KeyrigctlTest : public testing::Test {
  protected:
    // A program directory holding the shipped config.xml and the golden data files.
    void UseGoldenFiles() {
        std::filesystem::copy_file(std::filesystem::path(KEYRIG_DIST) / "config.xml",
                                   dir / "config.xml");
        for (const char* name : {"macro.xml", "record.xml", "ledeffect.xml", "sidemodel.xml"}) {
            dir.Write(name, test::Golden(name));
        }
    }
    std::string Dir() const { return "--dir '" + dir.path().string() + "'"; }
    test::TempDir dir;
};

TEST_F(KeyrigctlTest, DumpPrintsEverythingInTheFixedOrder) {
    UseGoldenFiles();
    const Result result = Keyrigctl("dump " + Dir());
    ASSERT_EQ(result.status, 0) << result.out;
    const auto json = nlohmann::ordered_json::parse(result.out);

    std::vector<std::string> keys;
    for (const auto& [key, value] : json.items()) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"loaded", "config", "macroLibrary", "keyAssignments",
                                              "lighting", "sideLight"}));
    EXPECT_EQ(json["loaded"].dump(),
              R"({"config":true,"macro":true,"record":true,"sidemodel":true,"ledeffect":true})");
    EXPECT_EQ(json["config"]["vid"], 0x1A2B);
    EXPECT_EQ(json["config"]["combKeys"][0]["pairs"].dump(), "[[458976,0],[458758,0]]");
    EXPECT_EQ(
        json["macroLibrary"].dump(),
        R"({"type":0,"repeat":1,"delay":10,"mode":0,"media":0,"function":0,"skcode":458756,)"
        R"("group":0,"play":0,"groups":[{"name":"Макрос 0","steps":[)"
        R"({"code":458756,"state":1,"delay":120,"name":"A"},{"code":458756,"state":0,"delay":10,"name":"A"}]},)"
        R"({"name":"Макрос 1","steps":[]}]})");
    EXPECT_EQ(json["keyAssignments"][0].dump(),
              R"({"code":458756,"type":1,"play":1,"repeat":1,"name":"A","group":"B",)"
              R"("steps":[{"code":458757,"state":0,"delay":0,"name":"B"}]})");
    EXPECT_EQ(json["lighting"]["selection"], 3);
    EXPECT_EQ(json["lighting"]["slots"][0].dump(),
              R"({"brightness":5,"speed":1,"direction":0,"option":1})");
    EXPECT_EQ(json["sideLight"].dump(), R"({"selection":0,"levels":[4,4,4,7,7,7,7,7,7,7,7,7]})");
}

TEST_F(KeyrigctlTest, DumpOfAnEmptyDirectoryWritesTheLightingDefaultsLikeStartUp) {
    const Result result = Keyrigctl("dump " + Dir());
    ASSERT_EQ(result.status, 0) << result.out;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(
        json["loaded"].dump(),
        R"({"config":false,"ledeffect":false,"macro":false,"record":false,"sidemodel":false})");
    EXPECT_EQ(json["lighting"]["selection"], 20);
    EXPECT_EQ(json["config"]["vid"], 0);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"ledeffect.xml", "sidemodel.xml"}));
}

TEST_F(KeyrigctlTest, DumpShowsBrokenUtf8AsReplacementCharacters) {
    dir.Write("record.xml", "<record code='70004' play='1' name='\xff\xfe'/>");
    const Result result = Keyrigctl("dump " + Dir());
    ASSERT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(nlohmann::json::parse(result.out)["keyAssignments"][0]["name"],
              "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(KeyrigctlTest, ResaveRewritesTheFilesUnchanged) {
    UseGoldenFiles();
    ASSERT_EQ(Keyrigctl("resave " + Dir()).status, 0);
    for (const char* name : {"macro.xml", "record.xml", "ledeffect.xml", "sidemodel.xml"}) {
        EXPECT_EQ(dir.Read(name), test::Golden(name)) << name;
    }
}

TEST_F(KeyrigctlTest, ResaveKeepsADamagedFile) {
    dir.Write("record.xml", "<record code='70004'>");
    ASSERT_EQ(Keyrigctl("resave " + Dir()).status, 0);
    EXPECT_EQ(dir.Read("record.xml.bad"), "<record code='70004'>");
    EXPECT_EQ(dir.Read("record.xml"), "<?xml version=\"1.0\"?>\n");
}

TEST_F(KeyrigctlTest, KeyLooksUpOneCode) {
    struct Case {
        const char* code;
        int status;
        const char* name;
    };
    for (const Case& c : {Case{"70004", 0, "A"}, Case{"0x70004", 0, "A"}, Case{"0X7003A", 0, "F1"},
                          Case{"c00e9", 0, "Volume Up"}, Case{"700a5", 0, ""}, Case{"0", 0, ""},
                          Case{"zz", 2, nullptr}, Case{"7g", 2, nullptr}, Case{"-1", 2, nullptr},
                          Case{"1ffffffff", 2, nullptr}, Case{"''", 2, nullptr}}) {
        const Result result = Keyrigctl(std::string("key ") + c.code);
        EXPECT_EQ(result.status, c.status) << c.code << ": " << result.out;
        if (c.name != nullptr) {
            EXPECT_EQ(nlohmann::json::parse(result.out)["name"], c.name) << c.code;
        } else {
            EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
        }
    }
}

TEST_F(KeyrigctlTest, KeysListsTheWholeTable) {
    const Result result = Keyrigctl("keys");
    ASSERT_EQ(result.status, 0);
    const auto json = nlohmann::ordered_json::parse(result.out);
    ASSERT_EQ(json.size(), 205u);
    EXPECT_EQ(
        json[7].dump(),
        R"({"code":458756,"usageId":4,"usagePage":7,"makeCode":30,"breakCode":158,"extraCode":16777215,"name":"A"})");
}

TEST_F(KeyrigctlTest, ErrorsAreOneLineAndNonZero) {
    for (const std::string arguments :
         {"dump --dir /nonexistent/keyrig", "check --dir /nonexistent/keyrig", "frobnicate", "",
          "key"}) {
        const Result result = Keyrigctl(arguments);
        EXPECT_NE(result.status, 0) << arguments;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1)
            << arguments << ": " << result.out;
    }
    for (const std::string command : {"dump", "resave", "keys", "key", "check"}) {
        EXPECT_EQ(Keyrigctl(command + " --help").status, 0) << command;
    }
}

TEST_F(KeyrigctlTest, CheckIsQuietAboutSoundFiles) {
    UseGoldenFiles();
    const Result result = Keyrigctl("check " + Dir());
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(result.out, "no problems\n");
}

TEST_F(KeyrigctlTest, CheckNamesEachProblem) {
    struct Case {
        const char* file;
        const char* content;
        const char* line;  // one of the lines printed
    };
    const Case cases[] = {
        {"config.xml", "<usb vid='1a2bz' pid='1' interface='1' subdevice='1'/>",
         "config.xml: usb \"vid\" is \"1a2bz\", which reads as 6699"},
        {"config.xml", "<usb vid='1' pid='1' interface='1'", "config.xml: does not parse: "},
        {"config.xml", "<config><usb/></config>", "config.xml: no top-level \"usb\" element"},
        {"config.xml",
         "<usb vid='1' pid='1' interface='1' subdevice='1'/><funkey><k code='c00e9'/></funkey>",
         "config.xml: funkey item 1 has no name and is skipped"},
        {"config.xml",
         "<usb vid='1' pid='1' interface='1' subdevice='1'/><combkey><k name='x'/></combkey>",
         "config.xml: combkey item 1 \"x\" has no keys; assigning it does nothing"},
        {"config.xml",
         "<usb vid='1' pid='1' interface='1' subdevice='1'/><combkey><k name='x' "
         "code='458976:-5'/></combkey>",
         "config.xml: combkey item 1 \"x\" has the delay -5, which is negative and counts as no "
         "delay"},
        {"macro.xml", "<config type='0'/>", "macro.xml: config has no \"repeat\"; it reads as 0"},
        {"macro.xml", "<macro>", "macro.xml: does not parse: "},
        {"record.xml", "<record code='70004' play='1'/><record code='70004' play='2'/>",
         "record.xml: key 0x70004 (A) has 2 assignments"},
        {"record.xml", "<record code='70004' play='0'><item code='70005'/></record>",
         "record.xml: record 1 has the play mode 0, which does nothing"},
        {"record.xml", "<record code='zz' play='2'/>",
         "record.xml: record 1 has the key code \"zz\", which reads as 0"},
        {"record.xml", "<record code='70004' play='1' name='A'/>",
         "record.xml: record 1 (A) is a single key without a key to send"},
        {"ledeffect.xml", "<effect sel='25'/>",
         "ledeffect.xml: \"sel\" is 25, beyond the 20 effects"},
        {"ledeffect.xml",
         "<effect sel='1'><item speed='258' brightness='5' deriction='0' selection='1'/></effect>",
         "ledeffect.xml: effect 1 \"speed\" 258 is out of range; its speed reads as 2"},
        {"ledeffect.xml", "<effect", "ledeffect.xml: does not parse: "},
        {"sidemodel.xml", "<effect sel='12'/>",
         "sidemodel.xml: \"sel\" is 12, beyond the 12 modes"},
        {"sidemodel.xml", "<effect sel='0'><item brightness='23'/></effect>",
         "sidemodel.xml: mode 1 \"brightness\" 23 is out of range; its level reads as 7"},
    };
    for (const Case& c : cases) {
        test::TempDir program;
        std::filesystem::copy_file(std::filesystem::path(KEYRIG_DIST) / "config.xml",
                                   program / "config.xml");
        for (const char* name : {"macro.xml", "record.xml", "ledeffect.xml", "sidemodel.xml"}) {
            program.Write(name, test::Golden(name));
        }
        program.Write(c.file, c.content);
        const auto before = program.Entries();
        const Result result = Keyrigctl("check --dir '" + program.path().string() + "'");
        EXPECT_EQ(result.status, 1) << c.content;
        EXPECT_NE(("\n" + result.out).find(std::string("\n") + c.line), std::string::npos)
            << c.content << "\n"
            << result.out;
        EXPECT_EQ(program.Entries(), before) << "check must not write";
        EXPECT_EQ(program.Read(c.file), c.content);
    }
}

TEST_F(KeyrigctlTest, FirmwareAndApplyTalkToTheSimulatedKeyboard) {
    UseGoldenFiles();
    Result result = Keyrigctl("firmware " + Dir());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Firmware: v1.0\n"
              "kbd.set_feature 07 F1 00 00 00 00 00 00\n"
              "kbd.get_feature 07 01 00 00 00 00 00 00\n");

    result = Keyrigctl("apply " + Dir());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "kbd.set_feature 07 FF FF 03 05 00 00 00\n"
              "kbd.set_feature 07 FF FF 20 00 00 40 00\n");
}

TEST_F(KeyrigctlTest, DevicesMarksTheConfiguredKeyboard) {
    UseGoldenFiles();
    const Result result = Keyrigctl("devices " + Dir());
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("* \\\\?\\hid#vid_1a2b&pid_3c4d&mi_01&col02#"), std::string::npos)
        << result.out;
    EXPECT_NE(
        result.out.find("vid=1a2b pid=3c4d interface=1 collection=2 version=0105 usage=ff02:0002"),
        std::string::npos);
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '*'),
              2);  // the heading names the mark
}

TEST_F(KeyrigctlTest, WithoutTheKeyboardTheDeviceCommandsSaySo) {
    dir.Write("config.xml", "<usb vid='9999' pid='1' interface='0' subdevice='0'/>");
    for (const char* command : {"firmware", "apply"}) {
        const Result result = Keyrigctl(std::string(command) + " " + Dir());
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_EQ(result.out.rfind("keyrigctl: Please insert USB device!", 0), 0u) << result.out;
    }
}

}  // namespace
}  // namespace keyrig
