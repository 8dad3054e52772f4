// The keyboard picture: its regions as the coordinate document gives them, what a click, a drag
// and a hover do, and the owner's region operations.
#include "ui/coord_button_image.h"

#include <QTemporaryDir>
#include <QtTest>

namespace keyrig::ui {
namespace {

// Mouse events straight to the widget, which need not be on a screen.
void Send(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void Press(QWidget& widget, QPoint at) {
    Send(widget, QEvent::MouseButtonPress, at, Qt::LeftButton);
}
void Release(QWidget& widget, QPoint at) {
    Send(widget, QEvent::MouseButtonRelease, at);
}
void Click(QWidget& widget, QPoint at) {
    Press(widget, at);
    Release(widget, at);
}

struct Reported {
    int key;
    int completed;
};

class Listener final : public ICoordButtonClickListener {
  public:
    int OnKeyClicked(int key, const QString& /*name*/, int completed, int /*keyFlags*/, int /*x*/,
                     int /*y*/) override {
        clicks.push_back({key, completed});
        return result;
    }
    std::vector<Reported> clicks;
    int result = 0;
};

}  // namespace

class CoordButtonImageTest final : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;

    std::vector<CoordRegion> Read(const QByteArray& document) {
        const QString path = folder_.filePath("keys.xml");
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(document);
        file.close();
        return CoordButtonImage::ReadCoordinateFile(path);
    }

    // Two overlapping keys: A at 0..40, S at 20..60, and Esc apart.
    void Load(CoordButtonImage& picture) {
        Read(
            "<positions><key id='4' va='7' name='A' rect='0,0,40,40'/>"
            "<key id='22' va='7' name='S' rect='20,0,40,40'/>"
            "<key id='41' va='7' name='Esc' rect='100,0,40,40'/></positions>");
        picture.setCoordinateFile(folder_.filePath("keys.xml"));
        picture.resize(200, 60);
    }

  private Q_SLOTS:
    void attributesReadAsTheDocumentGivesThem_data() {
        QTest::addColumn<QByteArray>("attributes");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("va");
        QTest::addColumn<uint>("color");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("all") << QByteArray("id='4' va='7' color='#00ff00' rect='52,80,38,38'") << 4
                             << 7 << 0x00FF00u << QRect(52, 80, 38, 38);
        QTest::newRow("blanks and hashes in the colour")
            << QByteArray("id='4' color='# ff 00 00'") << 4 << -1 << 0xFF0000u << QRect(0, 0, 0, 0);
        QTest::newRow("a colour that does not read")
            << QByteArray("color='zz'") << -1 << -1 << 0xFFFFFFu << QRect(0, 0, 0, 0);
        QTest::newRow("an id that is no number")
            << QByteArray("id='x' va='y'") << 0 << 0 << 0xFFFFFFu << QRect(0, 0, 0, 0);
        QTest::newRow("blanks in the rectangle")
            << QByteArray("rect=' 1, 2 ,3,4'") << -1 << -1 << 0xFFFFFFu << QRect(1, 2, 3, 4);
        QTest::newRow("a rectangle cut short")
            << QByteArray("rect='5,6,x,9'") << -1 << -1 << 0xFFFFFFu << QRect(5, 6, 0, 0);
    }
    void attributesReadAsTheDocumentGivesThem() {
        QFETCH(QByteArray, attributes);
        QFETCH(int, id);
        QFETCH(int, va);
        QFETCH(uint, color);
        QFETCH(QRect, rect);
        const auto regions = Read("<positions><anything " + attributes + "/></positions>");
        QCOMPARE(regions.size(), size_t(1));
        QCOMPARE(regions[0].id, id);
        QCOMPARE(regions[0].va, va);
        QCOMPARE(regions[0].color, QRgb(color));
        QCOMPARE(regions[0].Rect(), rect);
    }

    void aDocumentThatDoesNotReadGivesNoRegions() {
        QVERIFY(Read("<positions><key id='4'").empty());
        QVERIFY(Read("<keys><key id='4'/></keys>").empty());
    }

    void aClickGoesToTheFirstRegionAndTheTipToTheLast() {
        CoordButtonImage picture;
        Listener listener;
        picture.SetListener(&listener);
        Load(picture);
        const QPoint overlap(30, 10);
        Send(picture, QEvent::MouseMove, overlap);
        QCOMPARE(picture.toolTip(), QString("S"));
        QVERIFY(picture.regions()[0].hover && picture.regions()[1].hover);
        keyrig::ui::Click(picture, overlap);
        QCOMPARE(listener.clicks.size(), size_t(2));
        QCOMPARE(listener.clicks[0].key, 4);
        QCOMPARE(listener.clicks[1].completed, 1);
        picture.SetRegionText(22, "S : Volume Up");
        Send(picture, QEvent::MouseMove, QPoint(31, 10));
        QCOMPARE(picture.toolTip(), QString("S : Volume Up"));
    }

    void aReleaseOverAnotherRegionIsNoClick() {
        CoordButtonImage picture;
        Listener listener;
        picture.SetListener(&listener);
        Load(picture);
        Press(picture, QPoint(5, 5));
        Release(picture, QPoint(110, 5));
        QCOMPARE(listener.clicks.size(), size_t(1));
        QCOMPARE(listener.clicks[0].completed, 0);
        QVERIFY(picture.regions()[0].pressed);
        Release(picture, QPoint(5, 5));
        QCOMPARE(listener.clicks.back().completed, 1);
        QVERIFY(!picture.regions()[0].pressed);
    }

    void theSelectionTypeDecidesWhatAClickChecks_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("afterFirst");
        QTest::addColumn<QString>("afterSecond");
        QTest::newRow("none") << "0"
                              << "000"
                              << "000";
        QTest::newRow("single") << "1"
                                << "100"
                                << "000";
        QTest::newRow("multiple") << "0x2"
                                  << "101"
                                  << "001";
    }
    void theSelectionTypeDecidesWhatAClickChecks() {
        QFETCH(QString, type);
        QFETCH(QString, afterFirst);
        QFETCH(QString, afterSecond);
        CoordButtonImage picture;
        Load(picture);
        picture.setSelectionType(type);
        picture.SetRegionChecked(41, type == "0x2");
        const auto checks = [&picture] {
            QString marks;
            for (const CoordRegion& region : picture.regions()) {
                marks += region.checked ? '1' : '0';
            }
            return marks;
        };
        keyrig::ui::Click(picture, QPoint(5, 5));
        QCOMPARE(checks(), afterFirst);
        keyrig::ui::Click(picture, QPoint(5, 5));
        QCOMPARE(checks(), afterSecond);
    }

    void aListenerThatHandlesThePressKeepsTheMarks() {
        CoordButtonImage picture;
        Listener listener;
        listener.result = 1;
        picture.SetListener(&listener);
        Load(picture);
        picture.setSelectionType("1");
        keyrig::ui::Click(picture, QPoint(5, 5));
        QVERIFY(!picture.regions()[0].checked);
    }

    void regionOperationsByNumber() {
        CoordButtonImage picture;
        Read(
            "<positions><key id='4' rect='0,0,10,10'/><key id='4' rect='20,0,10,10'/>"
            "<key rect='40,0,10,10'/></positions>");
        picture.setCoordinateFile(folder_.filePath("keys.xml"));
        picture.SetRegionChecked(4, true);
        QVERIFY(picture.regions()[0].checked && !picture.regions()[1].checked);
        picture.ToggleRegionChecked(-1);
        QVERIFY(picture.regions()[2].checked);
        picture.SetRegionChecked(CoordButtonImage::kEveryRegion, false);
        for (const CoordRegion& region : picture.regions()) {
            QVERIFY(!region.checked);
        }
        QVERIFY(!picture.FindRegion(99));
        QCOMPARE(picture.FindRegion(4)->left, 0);
    }
};

}  // namespace keyrig::ui

QTEST_MAIN(keyrig::ui::CoordButtonImageTest)
#include "coord_button_image_test.moc"
