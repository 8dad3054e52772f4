// The keyboard picture: a picture of the keyboard turned into one clickable region per key.
//
// The regions come from a coordinate document named by the layout ("crdxml"), each with the
// key's usage id and page, its name and its rectangle. The hover, checked and pressed pictures
// hold every key in that look at the same place as the background picture; the control copies
// a key's part of them over the background. Presses and releases on a region go to a listener;
// a release counts only over the region that was pressed.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

namespace keyrig::ui {

struct CoordRegion {
    int id = -1;  // the key's usage id
    int va = -1;  // the key's usage page
    QString name;
    int left = 0, top = 0, right = 0, bottom = 0;  // control coordinates
    QRgb color = 0xFFFFFF;
    QString text;  // what the key was given; the tip instead of the name when set
    bool checked = false;
    bool hover = false;
    bool pressed = false;

    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    QRect Rect() const { return QRect(left, top, right - left, bottom - top); }
};

class ICoordButtonClickListener {
  public:
    virtual ~ICoordButtonClickListener() = default;
    // `completed` is 0 for the press, 1 for the release over the same region. Non-zero: handled.
    virtual int OnKeyClicked(int key, const QString& name, int completed, int keyFlags, int x,
                             int y) = 0;
};

class CoordButtonImage final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString bg READ background WRITE setBackground)
    Q_PROPERTY(QString chking READ hoverPicture WRITE setHoverPicture)
    Q_PROPERTY(QString chked READ checkedPicture WRITE setCheckedPicture)
    Q_PROPERTY(QString pressed READ pressedPicture WRITE setPressedPicture)
    Q_PROPERTY(QString crdxml READ coordinateFile WRITE setCoordinateFile)
    Q_PROPERTY(QString type READ selectionType WRITE setSelectionType)

  public:
    // The region operations' stand-in for every region.
    static constexpr int kEveryRegion = 0x7FFFFFFF;

    explicit CoordButtonImage(QWidget* parent = nullptr);

    void SetListener(ICoordButtonClickListener* listener) { listener_ = listener; }
    void SetRegionText(int id, const QString& text);
    void SetRegionChecked(int id, bool checked);
    void ToggleRegionChecked(int id);
    std::optional<CoordRegion> FindRegion(int id) const;
    const std::vector<CoordRegion>& regions() const { return regions_; }

    // Reads the regions of a coordinate document; none when it cannot be read.
    static std::vector<CoordRegion> ReadCoordinateFile(const QString& path);

    // Layout attributes: picture resource names, the coordinate file, the selection behaviour.
    QString background() const { return backgroundName_; }
    void setBackground(const QString& name);
    QString hoverPicture() const { return hoverName_; }
    void setHoverPicture(const QString& name);
    QString checkedPicture() const { return checkedName_; }
    void setCheckedPicture(const QString& name);
    QString pressedPicture() const { return pressedName_; }
    void setPressedPicture(const QString& name);
    QString coordinateFile() const { return coordinateFile_; }
    void setCoordinateFile(const QString& file);
    QString selectionType() const { return QString::number(type_); }
    void setSelectionType(const QString& type);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    static void SetPicture(QImage& picture, QString& pictureName, const QString& name);
    template <class Change>
    void ChangeRegions(int id, Change change);
    int RegionAt(int x, int y) const;
    void Press(int index, int keyFlags, int x, int y);
    void Release(int index, int keyFlags, int x, int y);
    void MoveFocus(int key);
    void DrawOverlay(QPainter& painter, const QImage& picture, bool CoordRegion::*flag);

    QImage backgroundImage_, hoverImage_, checkedImage_, pressedImage_;
    QString backgroundName_, hoverName_, checkedName_, pressedName_;
    std::vector<CoordRegion> regions_;
    int type_ = 0;  // 1: one region checked at a time, 2: each toggles, else clicks do not check
    QString coordinateFile_;
    ICoordButtonClickListener* listener_ = nullptr;
    int focused_ = -1;  // the region chosen with the keyboard
};

}  // namespace keyrig::ui
