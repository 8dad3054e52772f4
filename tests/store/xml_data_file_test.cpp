#include "store/xml_data_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace keyrig {
namespace {

TEST(XmlDataFile, TellsParsedEmptyMissingAndDamagedApart) {
    test::TempDir dir;
    struct Case {
        const char* content;  // nullptr: no file
        XmlDataFile::ReadStatus status;
    };
    for (const Case& c :
         {Case{"<a/>", XmlDataFile::ReadStatus::Parsed},
          Case{"<a/><b/>", XmlDataFile::ReadStatus::Parsed},
          Case{"<?xml version=\"1.0\"?>\n", XmlDataFile::ReadStatus::Empty},
          Case{"", XmlDataFile::ReadStatus::Empty}, Case{nullptr, XmlDataFile::ReadStatus::Missing},
          Case{"<a>", XmlDataFile::ReadStatus::Damaged},
          Case{"notes, not XML", XmlDataFile::ReadStatus::Damaged},
          Case{"\xff\xfe<\0a\0/\0>\0", XmlDataFile::ReadStatus::Damaged},
          Case{"<a></b>", XmlDataFile::ReadStatus::Damaged}}) {
        std::filesystem::remove(dir / "f.xml");
        if (c.content != nullptr) {
            dir.Write("f.xml", c.content);
        }
        XmlDataFile file;
        pugi::xml_document document;
        EXPECT_EQ(file.Read(dir / "f.xml", document, pugi::encoding_utf8), c.status)
            << (c.content ? c.content : "(none)");
    }
}

TEST(XmlDataFile, ADirectoryInThePlaceOfTheFileIsKeptAside) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "f.xml");
    XmlDataFile file;
    pugi::xml_document document;
    EXPECT_EQ(file.Read(dir / "f.xml", document, pugi::encoding_utf8),
              XmlDataFile::ReadStatus::Damaged);
    document.append_child("a");
    EXPECT_TRUE(file.Write(document));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "f.xml.bad"));
    EXPECT_EQ(dir.Read("f.xml"), "<?xml version=\"1.0\"?>\n<a />\n");
}

TEST(XmlDataFile, WriteLeavesNoTemporaryFilesBehind) {
    test::TempDir dir;
    XmlDataFile file;
    pugi::xml_document document;
    file.Read(dir / "f.xml", document, pugi::encoding_utf8);
    document.append_child("a");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(file.Write(document));
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.xml"});
}

}  // namespace
}  // namespace keyrig
