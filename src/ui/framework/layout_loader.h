// Windows and dialogs are built at run time from Qt Designer layouts in the resource folder.
// The program's own widget classes come from the widget registry; their layout attributes are
// Qt properties. Texts are translated as they load and again on every language change.
#pragma once

#include <QString>
#include <QWidget>

namespace keyrig::ui {

// A widget that wants to act once every attribute of its layout element is set.
class LayoutAware {
  public:
    virtual ~LayoutAware() = default;
    virtual void OnLayoutFinished() = 0;
};

// Builds the layout `resourceName` ("LAYOUT:XML_MAINWND") under `parent`, gives its named
// widgets their numbers and tells the layout-aware ones that the layout is done. Null, with one
// line on standard error naming the file, when the layout cannot be read.
QWidget* LoadLayout(const QString& resourceName, QWidget* parent);

}  // namespace keyrig::ui
