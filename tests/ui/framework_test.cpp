// The thin layer over Qt: resources by name, widgets by name and number with their class
// checked, the translator, menus from their documents and the order in which widget events
// reach a window.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/control_ids.h"
#include "ui/framework/event_router.h"
#include "ui/framework/menus.h"
#include "ui/framework/resources.h"
#include "ui/framework/translator.h"
#include "ui/framework/widget_ids.h"

namespace keyrig::ui {

class FrameworkTest final : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;

    QString Write(const QString& name, const QByteArray& text) {
        const QString path = folder_.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return path;
    }

  private Q_SLOTS:
    void resourcesAreFoundWithoutRegardToLetterCase() {
        Write("index.xml",
              "<resources><resource name='SMENUEX:menu_more' file='menu/more.xml'/></resources>");
        ResourceIndex index;
        QVERIFY(index.Load(folder_.path()));
        QCOMPARE(index.Path("smenuex:MENU_MORE"), folder_.filePath("menu/more.xml"));
        QVERIFY(index.Path("SMENU:menu_tray").isEmpty());
        QVERIFY(!ResourceIndex().Load(folder_.filePath("nowhere")));
    }

    void lookupsCheckTheClass_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("found");
        QTest::newRow("by name") << "cbx_color_effect" << 0 << "combobox"
                                 << "cbx_color_effect";
        QTest::newRow("by number, nested") << "" << 65556 << "text"
                                           << "version";
        QTest::newRow("another class") << "cbx_color_effect" << 0 << "sliderbar"
                                       << "";
        QTest::newRow("window is every widget") << "bar_side_brightness" << 0 << "window"
                                                << "bar_side_brightness";
        QTest::newRow("unknown class") << "version" << 0 << "frobnicate"
                                       << "";
        QTest::newRow("unknown name") << "nothing" << 0 << "window"
                                      << "";
        QTest::newRow("a number no widget has") << "" << 65600 << "window"
                                                << "";
    }
    void lookupsCheckTheClass() {
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(QString, className);
        QFETCH(QString, found);
        QWidget root;
        auto* frame = new QFrame(&root);
        auto* inner = new QFrame(frame);
        (new QComboBox(&root))->setObjectName("cbx_color_effect");
        (new QLabel(inner))->setObjectName("version");
        (new QSlider(frame))->setObjectName("bar_side_brightness");
        WidgetIds::Current().Register(ControlIds(), true);
        WidgetIds::Current().Assign(&root);
        QWidget* widget =
            name.isEmpty() ? FindWidget(&root, id, className) : FindWidget(&root, name, className);
        QCOMPARE(widget ? widget->objectName() : QString(), found);
    }

    void theSortedTableKeepsEveryNumber() {
        WidgetIds::Current().Register(ControlIds(), true);
        QCOMPARE(ControlIds().size(), size_t(69));
        for (const NamedId& entry : ControlIds()) {
            QCOMPARE(WidgetIds::Current().IdOf(QString::fromLatin1(entry.name)), entry.id);
        }
    }

    void theTranslatorSwitchesAndKeepsItsLanguageOnABadDocument() {
        const QString chinese =
            Write("cn.xml",
                  "<language name='cn'><text source='Warning'>\xe8\xad\xa6\xe5\x91\x8a</text>"
                  "</language>");
        const QString broken = Write("broken.xml", "<language name='x'><text");
        auto* translator = new LanguageTranslator(this);
        LanguageTranslator::Install(translator);
        QVERIFY(!translator->isEmpty());

        struct Watcher final : QWidget {
            int changes = 0;
            void changeEvent(QEvent* event) override {
                changes += event->type() == QEvent::LanguageChange;
            }
        } widget;
        QVERIFY(translator->LoadLanguage(chinese));
        QCOMPARE(Tr("Warning"), QString::fromUtf8("\xe8\xad\xa6\xe5\x91\x8a"));
        QCOMPARE(Tr("Not in the document"), QString("Not in the document"));
        QTRY_VERIFY(widget.changes > 0);

        QVERIFY(!translator->LoadLanguage(broken));
        QVERIFY(!translator->LoadLanguage(folder_.filePath("missing.xml")));
        QCOMPARE(translator->language(), QString("cn"));
        QCOMPARE(Tr("Warning"), QString::fromUtf8("\xe8\xad\xa6\xe5\x91\x8a"));
        LanguageTranslator::Uninstall();
        delete translator;
    }

    void menusByTheirRootElement_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<int>("kind");
        QTest::newRow("classic") << QByteArray("<menu><item id='1' text='a'/></menu>")
                                 << int(MenuKind::Classic);
        QTest::newRow("extended") << QByteArray("<menuRoot><menuItem id='1'/></menuRoot>")
                                  << int(MenuKind::Extended);
        QTest::newRow("extended item")
            << QByteArray("<menuItem><menuItem id='1'/></menuItem>") << int(MenuKind::Extended);
        QTest::newRow("another root") << QByteArray("<popup/>") << int(MenuKind::None);
        QTest::newRow("damaged") << QByteArray("<menu><item") << int(MenuKind::None);
    }
    void menusByTheirRootElement() {
        QFETCH(QByteArray, document);
        QFETCH(int, kind);
        QCOMPARE(int(MenuKindOf(Write("menu.xml", document))), kind);
    }

    void menuItemsCarryTheirNumberOrName() {
        const QString path = Write("more.xml",
                                   "<menuRoot><menuItem id='1' text='Check'/><separator/>"
                                   "<menuItem text='Language'><menuItem name='zh_cn' text='cn'/>"
                                   "</menuItem></menuRoot>");
        QStringList chosen;
        auto menu = BuildMenu(path, [&chosen](const QString& name, int id) {
            chosen << QString("%1:%2").arg(name).arg(id);
        });
        QVERIFY(menu);
        for (QAction* action : menu->findChildren<QAction*>()) {
            if (!action->menu() && !action->isSeparator()) {
                action->trigger();
            }
        }
        chosen.sort();
        QCOMPARE(chosen, QStringList({":1", "zh_cn:0"}));
        QVERIFY(!BuildMenu(folder_.filePath("missing.xml"), {}));
    }

    void subscriptionsConsumeSelectionChangesBeforeTheWindow() {
        struct Window final : WidgetEventHandler {
            QStringList seen;
            bool OnCommand(const QString& name, int id) override {
                seen << QString("command %1 %2").arg(name).arg(id);
                return true;
            }
            bool OnSliderPosition(QSlider* slider, int value) override {
                seen << QString("slider %1 %2").arg(slider->objectName()).arg(value);
                return true;
            }
            bool OnSelectionChange(QComboBox* list) override {
                seen << "selection " + list->objectName();
                return true;
            }
        } window;
        QWidget root;
        auto* subscribed = new QComboBox(&root);
        subscribed->setObjectName("cbx_color_effect");
        subscribed->addItems({"a", "b"});
        auto* plain = new QComboBox(&root);
        plain->setObjectName("cbx_in_lv");
        plain->addItems({"a", "b"});
        auto* slider = new QSlider(&root);
        slider->setObjectName("bar_side_brightness");
        EventRouter router(&root, window);
        router.Subscribe(subscribed, [&window](QComboBox*) {
            window.seen << "subscription";
            return true;
        });
        subscribed->setCurrentIndex(1);
        plain->setCurrentIndex(1);
        slider->setValue(3);
        SetValueQuietly(slider, 5);
        SetCurrentIndexQuietly(plain, 0);
        router.MenuChoice("zh_cn", 0);
        QCOMPARE(window.seen, QStringList({"subscription", "selection cbx_in_lv",
                                           "slider bar_side_brightness 3", "command zh_cn 0"}));
    }
};

}  // namespace keyrig::ui

QTEST_MAIN(keyrig::ui::FrameworkTest)
#include "framework_test.moc"
