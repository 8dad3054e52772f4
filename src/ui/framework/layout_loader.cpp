#include "ui/framework/layout_loader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUiLoader>
#include <iostream>

#include "ui/framework/resources.h"
#include "ui/framework/widget_classes.h"
#include "ui/framework/widget_ids.h"

namespace keyrig::ui {
namespace {

class Loader final : public QUiLoader {
  public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (QWidget* ours = WidgetClasses::Instance().Create(className, parent)) {
            ours->setObjectName(name);
            return ours;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

}  // namespace

QWidget* LoadLayout(const QString& resourceName, QWidget* parent) {
    const QString path = ResourceIndex::Current().Path(resourceName);
    if (path.isEmpty()) {
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "keyrig: cannot read the layout " << path.toStdString() << '\n';
        return nullptr;
    }
    Loader loader;
    loader.setTranslationEnabled(true);
    // Every text the layout gives comes anew from the language on each language change.
    loader.setLanguageChangeEnabled(true);
    // Pictures and icons in a layout are named relative to the layout's own folder.
    loader.setWorkingDirectory(QFileInfo(path).dir());
    QWidget* root = loader.load(&file, parent);
    if (root == nullptr) {
        std::cerr << "keyrig: the layout " << path.toStdString()
                  << " does not load: " << loader.errorString().toStdString() << '\n';
        return nullptr;
    }
    WidgetIds::Current().Assign(root);
    auto widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets) {
        if (auto* aware = dynamic_cast<LayoutAware*>(widget)) {
            aware->OnLayoutFinished();
        }
    }
    return root;
}

}  // namespace keyrig::ui
