#include "app/app_config.h"

#include <gtest/gtest.h>

#include "store/key_table.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

class AppConfigTest : public testing::Test {
  protected:
    bool Load(const std::string& content) {
        config = AppConfig();
        return config.loadFile(dir.Write("config.xml", content));
    }
    test::TempDir dir;
    AppConfig config;
};

TEST_F(AppConfigTest, LanguageIsChineseOnlyForExactlyCn) {
    struct Case {
        const char* file;
        bool chinese;
    };
    for (const Case& c :
         {Case{"<local language='cn'/>", true}, Case{"<LOCAL Language='cn'/>", true},
          Case{"<local language='CN'/>", false}, Case{"<local language='zh'/>", false},
          Case{"<local language=' cn'/>", false}, Case{"<usb/>", false},
          Case{"<config><local language='cn'/></config>", false}}) {
        ASSERT_TRUE(Load(c.file));
        EXPECT_EQ(config.isChinese, c.chinese) << c.file;
    }
}

TEST_F(AppConfigTest, UsbIdentifiersAreSignedHexadecimal) {
    struct Case {
        const char* vid;
        int32_t value;
    };
    for (const Case& c : {Case{"0x1a2b", 0x1A2B}, Case{"1A2B", 0x1A2B}, Case{"1a2bz", 0x1A2B},
                          Case{"", 0}, Case{"-1", -1}, Case{"  ff", 0xFF},
                          Case{"1ffffffff", 2147483647}, Case{"-1ffffffff", -2147483647 - 1}}) {
        ASSERT_TRUE(
            Load(std::string("<USB VID='") + c.vid + "' pid='0x5' Interface='2' subdevice='x'/>"));
        EXPECT_EQ(config.vid, c.value) << c.vid;
        EXPECT_EQ(config.pid, 5);
        EXPECT_EQ(config.interface, 2);
        EXPECT_EQ(config.subdevice, 0);
    }
}

TEST_F(AppConfigTest, FunctionKeysWithoutANameAreSkipped) {
    ASSERT_TRUE(Load(R"(<FunKey>
        <key name="Mail" code="0xc018a" path="p" argm="a"/>
        <key code="0xc00e9"/>
        <key name="" code="0xc00ea"/>
        <other NAME="Calc" CODE="C0192"/>
        <key name="Wrapped" code="-1"/>
        <key name="Huge" code="1ffffffff"/>
    </FunKey>)"));
    ASSERT_EQ(config.funKeys.size(), 4u);
    EXPECT_EQ(config.funKeys[0].name, "Mail");
    EXPECT_EQ(config.funKeys[0].code, 0xC018Au);
    EXPECT_EQ(config.funKeys[0].path, "p");
    EXPECT_EQ(config.funKeys[0].argm, "a");
    EXPECT_EQ(config.funKeys[1].name, "Calc");
    EXPECT_EQ(config.funKeys[1].code, 0xC0192u);
    EXPECT_EQ(config.funKeys[1].path, "");
    EXPECT_EQ(config.funKeys[2].code, 0xFFFFFFFFu);
    EXPECT_EQ(config.funKeys[3].code, 0xFFFFFFFFu);
}

TEST_F(AppConfigTest, KeyCombinationTexts) {
    using Pairs = std::vector<CombKeyItem::Pair>;
    struct Case {
        const char* code;
        Pairs pairs;
    };
    for (const Case& c : std::vector<Case>{
             {"458976:0,458756:0", {{458976, 0}, {458756, 0}}},
             {"1:0, 2:0", {{1, 0}, {2, 0}}},
             {"1,,2", {{1, 0}, {2, 0}}},
             {"5:7:9", {{5, 7}}},
             {"3", {{3, 0}}},
             {"1::4", {{1, 4}}},
             {"1:2,::", {{1, 2}}},
             {",,", {}},
             {"", {}},
             {"a:b", {{0, 0}}},
             {"-5:+3x", {{-5, 3}}},
             {"1:\t2", {{1, 2}}},  // only blanks are dropped; the number skips the tab
             {"99999999999:1", {{2147483647, 1}}},
         }) {
        EXPECT_EQ(ParseKeyCombination(c.code), c.pairs) << '"' << c.code << '"';
    }
}

TEST_F(AppConfigTest, EveryCombinationNodeGivesAnItem) {
    ASSERT_TRUE(Load(
        R"(<combkey><c name="Copy" code="458976:0,458758:0"/><c/><x name="Only"/></combkey>)"));
    ASSERT_EQ(config.combKeys.size(), 3u);
    EXPECT_EQ(config.combKeys[0].name, "Copy");
    EXPECT_EQ(config.combKeys[0].pairs.size(), 2u);
    EXPECT_EQ(config.combKeys[1].name, "");
    EXPECT_TRUE(config.combKeys[1].pairs.empty());
    EXPECT_EQ(config.combKeys[2].name, "Only");
    EXPECT_TRUE(config.combKeys[2].pairs.empty());
}

TEST_F(AppConfigTest, AFileThatCannotBeReadChangesNothing) {
    ASSERT_TRUE(Load("<usb vid='12'/><funkey><k name='a'/></funkey>"));
    EXPECT_FALSE(config.loadFile(dir.Write("broken.xml", "<usb vid='34'")));
    EXPECT_FALSE(config.loadFile(dir / "absent.xml"));
    EXPECT_EQ(config.vid, 0x12);
    EXPECT_EQ(config.funKeys.size(), 1u);
}

TEST_F(AppConfigTest, UtfSixteenFilesAreDetected) {
    const std::u16string text =
        u"\xFEFF<local language=\"cn\"/><funkey><k name=\"Почта\" code=\"c018a\"/></funkey>";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    EXPECT_TRUE(config.loadFile(dir.Write("config.xml", bytes)));
    EXPECT_TRUE(config.isChinese);
    ASSERT_EQ(config.funKeys.size(), 1u);
    EXPECT_EQ(config.funKeys[0].name, "Почта");
}

TEST_F(AppConfigTest, ShippedConfigurationIsSound) {
    ASSERT_TRUE(config.loadFile(std::filesystem::path(KEYRIG_DIST) / "config.xml"));
    EXPECT_NE(config.vid, 0);
    EXPECT_NE(config.pid, 0);
    EXPECT_GE(config.funKeys.size(), 10u);
    EXPECT_GE(config.combKeys.size(), 8u);
    for (const FunKeyItem& item : config.funKeys) {
        EXPECT_NE(FindKey(item.code).code(), 0u) << item.name;
    }
    for (const CombKeyItem& item : config.combKeys) {
        EXPECT_FALSE(item.pairs.empty()) << item.name;
        for (const CombKeyItem::Pair& pair : item.pairs) {
            EXPECT_NE(FindKey(static_cast<KeyCode>(pair.first)).code(), 0u) << item.name;
        }
    }
}

}  // namespace
}  // namespace keyrig
