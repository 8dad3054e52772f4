// The keyboard pictures and their region document as the build leaves them for the main window.
// The widget copies a region's rect from an overlay picture onto the normal one, so each rect
// must hold exactly one key, and nothing may change outside the rects.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "store/key_table.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace keyrig {
namespace {

const std::filesystem::path kPictureDir = KEYRIG_KEYBOARD_PICTURE_DIR;
constexpr const char* kNormal = "kb_normal@2x.png";
constexpr const char* kOverlays[] = {"kb_hover@2x.png", "kb_checked@2x.png", "kb_pressed@2x.png"};
constexpr int kRatio = 2;

struct Region {
    unsigned page = 0;
    unsigned id = 0;
    std::string name;
    QRect rect;
};

class KeyboardPictureTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::string path = (kPictureDir / "keyboard.xml").string();
        parsed_ = document_.load_file(path.c_str());
        const pugi::xml_node positions = document_.child("positions");
        width_ = positions.attribute("width").as_int();
        height_ = positions.attribute("height").as_int();
        for (const pugi::xml_node& key : positions.children()) {
            Region region;
            region.page = key.attribute("va").as_uint();
            region.id = key.attribute("id").as_uint();
            region.name = key.attribute("name").value();
            int x = 0, y = 0, width = 0, height = 0;
            char tail = 0;
            if (std::string(key.name()) == "key" &&
                std::sscanf(key.attribute("rect").value(), "%d,%d,%d,%d%c", &x, &y, &width, &height,
                            &tail) == 4) {
                region.rect = QRect(x, y, width, height);
            }
            regions_.push_back(region);
        }
    }
    static void TearDownTestSuite() {
        document_.reset();
        regions_.clear();
    }

    static QImage Picture(const char* name) {
        return QImage(QString::fromStdString((kPictureDir / name).string()));
    }

    static inline pugi::xml_document document_;
    static inline pugi::xml_parse_result parsed_;
    static inline int width_ = 0;
    static inline int height_ = 0;
    static inline std::vector<Region> regions_;
};

TEST_F(KeyboardPictureTest, DocumentHoldsOneRegionPerKeyOfAFullSizeBoard) {
    ASSERT_TRUE(parsed_) << parsed_.description();
    EXPECT_GT(width_, 0);
    EXPECT_GT(height_, 0);
    ASSERT_EQ(regions_.size(), 104u);
    for (const Region& region : regions_) {
        EXPECT_FALSE(region.rect.isEmpty()) << "the rect of usage " << region.id;
    }
}

TEST_F(KeyboardPictureTest, EveryRegionIsADistinctKeyOfTheKeyTable) {
    std::set<KeyCode> seen;
    for (const Region& region : regions_) {
        const KeyTableEntry& entry = FindKeyByUsage(region.id, region.page);
        EXPECT_NE(std::string(entry.name), "") << region.page << ":" << region.id;
        EXPECT_EQ(region.name, entry.name) << region.page << ":" << region.id;
        EXPECT_TRUE(seen.insert(MakeKeyCode(region.page, region.id)).second)
            << region.name << " has two regions";
    }
}

TEST_F(KeyboardPictureTest, RegionsLieInsideThePictureAndNeverOverlap) {
    const QRect picture(0, 0, width_, height_);
    for (size_t i = 0; i < regions_.size(); ++i) {
        EXPECT_TRUE(picture.contains(regions_[i].rect)) << regions_[i].name;
        for (size_t j = i + 1; j < regions_.size(); ++j) {
            EXPECT_FALSE(regions_[i].rect.intersects(regions_[j].rect))
                << regions_[i].name << " and " << regions_[j].name;
        }
    }
}

TEST_F(KeyboardPictureTest, PicturesAreDrawnAtTwiceTheLogicalSizeAndLoadSo) {
    for (const char* name : {kNormal, kOverlays[0], kOverlays[1], kOverlays[2]}) {
        const QImage image = Picture(name);
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.width(), kRatio * width_) << name;
        EXPECT_EQ(image.height(), kRatio * height_) << name;
        // Qt takes the ratio from the "@2x" of the name; the widget relies on it for the size.
        EXPECT_EQ(image.devicePixelRatio(), kRatio) << name;
    }
}

TEST_F(KeyboardPictureTest, EveryOverlayChangesEveryKeyAtItsCentre) {
    const QImage normal = Picture(kNormal);
    ASSERT_EQ(normal.size(), QSize(kRatio * width_, kRatio * height_));
    for (const char* overlayName : kOverlays) {
        const QImage overlay = Picture(overlayName);
        ASSERT_EQ(overlay.size(), normal.size()) << overlayName;
        for (const Region& region : regions_) {
            const QPoint centre = region.rect.center() * kRatio;
            EXPECT_NE(overlay.pixel(centre), normal.pixel(centre))
                << overlayName << " leaves " << region.name << " as it is";
        }
    }
}

TEST_F(KeyboardPictureTest, OutsideTheRegionsAllPicturesAreTheSame) {
    const QImage normal = Picture(kNormal);
    ASSERT_EQ(normal.size(), QSize(kRatio * width_, kRatio * height_));
    std::vector<bool> inRegion(static_cast<size_t>(normal.width()) * normal.height());
    for (const Region& region : regions_) {
        const QRect device(region.rect.topLeft() * kRatio, region.rect.size() * kRatio);
        for (int y = device.top(); y <= device.bottom(); ++y) {
            for (int x = device.left(); x <= device.right(); ++x) {
                inRegion[static_cast<size_t>(y) * normal.width() + x] = true;
            }
        }
    }
    for (const char* overlayName : kOverlays) {
        const QImage overlay = Picture(overlayName);
        ASSERT_EQ(overlay.size(), normal.size()) << overlayName;
        int differing = 0;
        QPoint first;
        for (int y = 0; y < normal.height(); ++y) {
            for (int x = 0; x < normal.width(); ++x) {
                if (!inRegion[static_cast<size_t>(y) * normal.width() + x] &&
                    overlay.pixel(x, y) != normal.pixel(x, y)) {
                    if (differing == 0) {
                        first = QPoint(x, y);
                    }
                    ++differing;
                }
            }
        }
        EXPECT_EQ(differing, 0) << overlayName
                                << " differs outside the keys, first at device pixel " << first.x()
                                << "," << first.y();
    }
}

// What stands in the way of the generator, inside the directory it is given.
struct BlockedWrite {
    const char* label;
    const char* outdir;   // relative to a fresh directory
    const char* blocker;  // a directory made there first, where a file should go
};

std::ostream& operator<<(std::ostream& out, const BlockedWrite& c) {
    return out << c.label;
}

class KeyboardPictureWriteTest : public testing::TestWithParam<BlockedWrite> {};

TEST_P(KeyboardPictureWriteTest, FailsWithOneLineNamingWhatItCouldNotWrite) {
    test::TempDir dir;
    dir.Write("file", "not a directory");
    const BlockedWrite& blocked = GetParam();
    if (*blocked.blocker != '\0') {
        std::filesystem::create_directories(dir / blocked.outdir / blocked.blocker);
    }
    const std::string outdir = (dir / blocked.outdir).string();
    // The leak checker would add its own report: the font libraries keep memory until exit.
    const test::ProgramResult result =
        test::RunProgram("ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen " +
                         std::string(KEYRIG_KBGEN) + " '" + outdir + "'");
    EXPECT_NE(result.status, 0) << result.out;
    // Qt may add warnings of its own about the environment; ours is the one line that names us.
    int ours = 0;
    for (size_t start = 0; start < result.out.size();) {
        const size_t end = result.out.find('\n', start);
        const std::string line = result.out.substr(start, end - start);
        if (line.starts_with("keyrig-kbgen: ")) {
            ++ours;
            const std::string named = *blocked.blocker != '\0'
                                          ? (dir / blocked.outdir / blocked.blocker).string()
                                          : outdir;
            EXPECT_NE(line.find(named), std::string::npos) << line;
        }
        start = end == std::string::npos ? end : end + 1;
    }
    EXPECT_EQ(ours, 1) << result.out;
}

INSTANTIATE_TEST_SUITE_P(Blocked, KeyboardPictureWriteTest,
                         testing::Values(BlockedWrite{"OutdirUnderAFile", "file/keyboard", ""},
                                         BlockedWrite{"Document", "out", "keyboard.xml"},
                                         BlockedWrite{"FirstPicture", "out", "kb_normal@2x.png"},
                                         BlockedWrite{"LastPicture", "out", "kb_pressed@2x.png"}));

}  // namespace
}  // namespace keyrig
