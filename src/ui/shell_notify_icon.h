// The tray icon: a widget of the main window's layout that draws nothing and puts an icon in the
// desktop's notification area for as long as the window lives, shown or hidden. A left click
// puts the window away or brings it back; a right click opens the tray menu, whose commands
// reach the window as its own menu commands.
#pragma once

#include <QIcon>
#include <QList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

#include "ui/framework/layout_loader.h"
#include "ui/framework/menus.h"

class QMenu;

namespace keyrig::ui {

class SShellNotifyIcon final : public QWidget, public LayoutAware {
    Q_OBJECT
    Q_PROPERTY(QString ico READ icons WRITE setIcons)
    Q_PROPERTY(QString tip READ tip WRITE setTip)
    Q_PROPERTY(QString menu READ menuName WRITE setMenuName)
    Q_PROPERTY(QString deficoidx READ defaultIconIndex WRITE setDefaultIconIndex)
    Q_PROPERTY(QString startframe READ startFrame WRITE setStartFrame)
    Q_PROPERTY(QString duration READ frameDuration WRITE setFrameDuration)

  public:
    explicit SShellNotifyIcon(QWidget* parent = nullptr);
    ~SShellNotifyIcon() override;

    // Adds the icon to the notification area, once the layout has set every attribute.
    void OnLayoutFinished() override;

    // What a click on the icon does: Trigger is the left button, Context the right one.
    void Activate(QSystemTrayIcon::ActivationReason reason);
    // The open tray menu, or null.
    QMenu* openMenu() const { return menu_.get(); }
    MenuKind menuKind() const { return menuKind_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }

    QString icons() const { return iconNames_; }
    void setIcons(const QString& names);
    QString tip() const { return tip_; }
    void setTip(const QString& tip);
    QString menuName() const { return menuName_; }
    void setMenuName(const QString& name);
    QString defaultIconIndex() const { return QString::number(defaultIcon_); }
    void setDefaultIconIndex(const QString& index);
    QString startFrame() const { return QString::number(startFrame_); }
    void setStartFrame(const QString& frame);
    QString frameDuration() const { return QString::number(frameDuration_); }
    void setFrameDuration(const QString& ms);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void OpenMenu();

    QString iconNames_;
    QList<QIcon> icons_;
    QString tip_;
    QString menuName_;
    MenuKind menuKind_ = MenuKind::None;
    int defaultIcon_ = 0;
    // Kept for layouts that animate the icon; the program shows one frame.
    int startFrame_ = 1;
    int frameDuration_ = 200;
    QSystemTrayIcon* tray_ = nullptr;  // a child of this widget
    std::unique_ptr<QMenu> menu_;
};

}  // namespace keyrig::ui
