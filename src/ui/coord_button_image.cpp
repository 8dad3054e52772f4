#include "ui/coord_button_image.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <cstdlib>
#include <iostream>
#include <pugixml.hpp>

#include "ui/framework/resources.h"

namespace keyrig::ui {
namespace {

QString WithoutBlanks(QString text) {
    text.remove(' ');
    text.remove('\t');
    return text;
}

// Leading hexadecimal digits, as a C library reads them; nothing when there are none.
std::optional<QRgb> ReadHexPrefix(const QString& text) {
    QRgb value = 0;
    int digits = 0;
    for (const QChar character : text) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(character.toLower());
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<QRgb>(digit);
        ++digits;
    }
    return digits == 0 ? std::nullopt : std::optional<QRgb>(value);
}

// "x,y,width,height": the numbers read in turn; the first that does not read ends the reading.
std::array<int, 4> ReadRect(const std::string& text) {
    std::array<int, 4> numbers{};
    const char* next = text.c_str();
    for (size_t index = 0; index < numbers.size(); ++index) {
        char* end = nullptr;
        const long number = std::strtol(next, &end, 10);
        if (end == next) {
            break;
        }
        numbers[index] = static_cast<int>(number);
        if (*end != ',') {
            break;
        }
        next = end + 1;
    }
    return numbers;
}

QImage LoadPicture(const QString& name) {
    const QString path = ResourceIndex::Current().Path(name);
    QImage picture;
    if (!path.isEmpty() && !picture.load(path)) {
        std::cerr << "keyrig: cannot read the picture " << path.toStdString() << '\n';
    }
    return picture;
}

}  // namespace

CoordButtonImage::CoordButtonImage(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

std::vector<CoordRegion> CoordButtonImage::ReadCoordinateFile(const QString& path) {
    std::vector<CoordRegion> regions;
    pugi::xml_document document;
    if (!document.load_file(path.toStdString().c_str())) {
        std::cerr << "keyrig: cannot read the coordinate document " << path.toStdString() << '\n';
        return regions;
    }
    for (const pugi::xml_node node : document.child("positions").children()) {
        if (node.type() != pugi::node_element) {
            continue;
        }
        CoordRegion region;
        if (const pugi::xml_attribute id = node.attribute("id")) {
            region.id = std::atoi(id.value());
        }
        if (const pugi::xml_attribute va = node.attribute("va")) {
            region.va = std::atoi(va.value());
        }
        region.name = QString::fromUtf8(node.attribute("name").value());
        const QString color =
            WithoutBlanks(QString::fromUtf8(node.attribute("color").value())).remove('#');
        region.color = ReadHexPrefix(color).value_or(0xFFFFFF);
        const auto [x, y, width, height] = ReadRect(
            WithoutBlanks(QString::fromUtf8(node.attribute("rect").value())).toStdString());
        region.left = x;
        region.top = y;
        region.right = x + width;
        region.bottom = y + height;
        regions.push_back(region);
    }
    return regions;
}

void CoordButtonImage::setBackground(const QString& name) {
    SetPicture(backgroundImage_, backgroundName_, name);
    if (backgroundName_ != name) {
        return;
    }
    setFixedSize(backgroundImage_.deviceIndependentSize().toSize());
    update();
}

// A picture that does not load leaves the one there was.
void CoordButtonImage::SetPicture(QImage& picture, QString& pictureName, const QString& name) {
    if (QImage loaded = LoadPicture(name); !loaded.isNull()) {
        picture = std::move(loaded);
        pictureName = name;
    }
}

void CoordButtonImage::setHoverPicture(const QString& name) {
    SetPicture(hoverImage_, hoverName_, name);
}

void CoordButtonImage::setCheckedPicture(const QString& name) {
    SetPicture(checkedImage_, checkedName_, name);
}

void CoordButtonImage::setPressedPicture(const QString& name) {
    SetPicture(pressedImage_, pressedName_, name);
}

void CoordButtonImage::setCoordinateFile(const QString& file) {
    coordinateFile_ = file;
    regions_.clear();
    focused_ = -1;
    if (!file.isEmpty()) {
        const bool rooted = file.startsWith('/') || file.startsWith('\\');
        regions_ = ReadCoordinateFile(ResourceIndex::Current().baseDirectory() +
                                      (rooted ? "" : "/") + file);
    }
    update();
}

void CoordButtonImage::setSelectionType(const QString& type) {
    bool read = false;
    const int value = type.trimmed().toInt(&read, 0);
    type_ = read ? value : 0;
}

QSize CoordButtonImage::sizeHint() const {
    return backgroundImage_.isNull() ? QSize(640, 200)
                                     : backgroundImage_.deviceIndependentSize().toSize();
}

template <class Change>
void CoordButtonImage::ChangeRegions(int id, Change change) {
    for (CoordRegion& region : regions_) {
        if (id == kEveryRegion || region.id == id) {
            change(region);
            if (id != kEveryRegion) {
                break;
            }
        }
    }
    update();
}

void CoordButtonImage::SetRegionText(int id, const QString& text) {
    ChangeRegions(id, [&text](CoordRegion& region) { region.text = text; });
}

void CoordButtonImage::SetRegionChecked(int id, bool checked) {
    ChangeRegions(id, [checked](CoordRegion& region) { region.checked = checked; });
}

void CoordButtonImage::ToggleRegionChecked(int id) {
    ChangeRegions(id, [](CoordRegion& region) { region.checked = !region.checked; });
}

std::optional<CoordRegion> CoordButtonImage::FindRegion(int id) const {
    for (const CoordRegion& region : regions_) {
        if (region.id == id) {
            return region;
        }
    }
    return std::nullopt;
}

int CoordButtonImage::RegionAt(int x, int y) const {
    for (size_t index = 0; index < regions_.size(); ++index) {
        if (regions_[index].Contains(x, y)) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

void CoordButtonImage::Press(int index, int keyFlags, int x, int y) {
    CoordRegion& region = regions_[static_cast<size_t>(index)];
    const int handled = listener_ != nullptr
                            ? listener_->OnKeyClicked(region.id, region.name, 0, keyFlags, x, y)
                            : 0;
    if (handled == 0) {
        if (type_ == 1) {
            // One key at a time: a press on the checked one leaves none checked.
            const bool was = region.checked;
            for (CoordRegion& each : regions_) {
                each.checked = false;
            }
            region.checked = !was;
        } else if (type_ == 2) {
            region.checked = !region.checked;
        }
    }
    region.pressed = true;
    update();
}

void CoordButtonImage::Release(int index, int keyFlags, int x, int y) {
    // The listener may run a dialog of its own; the region is looked up again afterwards.
    const CoordRegion region = regions_[static_cast<size_t>(index)];
    if (region.pressed && listener_ != nullptr) {
        listener_->OnKeyClicked(region.id, region.name, 1, keyFlags, x, y);
    }
    if (static_cast<size_t>(index) < regions_.size()) {
        regions_[static_cast<size_t>(index)].pressed = false;
    }
    update();
}

void CoordButtonImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return QWidget::mousePressEvent(event);
    }
    const QPoint point = event->position().toPoint();
    if (const int index = RegionAt(point.x(), point.y()); index >= 0) {
        Press(index, static_cast<int>(event->modifiers()), point.x(), point.y());
    }
}

void CoordButtonImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return QWidget::mouseReleaseEvent(event);
    }
    const QPoint point = event->position().toPoint();
    if (const int index = RegionAt(point.x(), point.y()); index >= 0) {
        Release(index, static_cast<int>(event->modifiers()), point.x(), point.y());
    }
}

void CoordButtonImage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    QString tip;
    for (CoordRegion& region : regions_) {
        region.hover = region.Contains(point.x(), point.y());
        if (region.hover) {
            tip = region.text.isEmpty() ? region.name : region.text;
        }
    }
    if (tip != toolTip()) {
        setToolTip(tip);
        if (QToolTip::isVisible()) {
            QToolTip::showText(event->globalPosition().toPoint(), tip, this);
        }
    }
    update();
}

void CoordButtonImage::leaveEvent(QEvent* event) {
    for (CoordRegion& region : regions_) {
        region.hover = false;
    }
    setToolTip(QString());
    update();
    QWidget::leaveEvent(event);
}

// The keyboard reaches every key too: the arrows choose a key, Space or Enter clicks it.
void CoordButtonImage::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (regions_.empty()) {
        return QWidget::keyPressEvent(event);
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down) {
        MoveFocus(key);
        return;
    }
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && focused_ >= 0) {
        const QPoint centre = regions_[static_cast<size_t>(focused_)].Rect().center();
        const int index = focused_;
        Press(index, 0, centre.x(), centre.y());
        Release(index, 0, centre.x(), centre.y());
        return;
    }
    QWidget::keyPressEvent(event);
}

void CoordButtonImage::MoveFocus(int key) {
    const int count = static_cast<int>(regions_.size());
    if (focused_ < 0) {
        focused_ = 0;
    } else if (key == Qt::Key_Left || key == Qt::Key_Right) {
        focused_ = (focused_ + (key == Qt::Key_Right ? 1 : count - 1)) % count;
    } else {
        // Up and down go to the nearest key whose centre lies in that direction.
        const QPoint from = regions_[static_cast<size_t>(focused_)].Rect().center();
        int best = -1;
        long bestDistance = 0;
        for (int index = 0; index < count; ++index) {
            const QPoint to = regions_[static_cast<size_t>(index)].Rect().center();
            const int rise = to.y() - from.y();
            if ((key == Qt::Key_Up && rise >= 0) || (key == Qt::Key_Down && rise <= 0)) {
                continue;
            }
            const long distance = 4L * (to.x() - from.x()) * (to.x() - from.x()) + 1L * rise * rise;
            if (best < 0 || distance < bestDistance) {
                best = index;
                bestDistance = distance;
            }
        }
        if (best >= 0) {
            focused_ = best;
        }
    }
    const CoordRegion& region = regions_[static_cast<size_t>(focused_)];
    setToolTip(region.text.isEmpty() ? region.name : region.text);
    update();
}

void CoordButtonImage::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void CoordButtonImage::DrawOverlay(QPainter& painter, const QImage& picture,
                                   bool CoordRegion::*flag) {
    if (picture.isNull()) {
        return;
    }
    const qreal ratio = picture.devicePixelRatio();
    for (const CoordRegion& region : regions_) {
        if (region.*flag) {
            const QRectF target = region.Rect();
            const QRectF source(target.x() * ratio, target.y() * ratio, target.width() * ratio,
                                target.height() * ratio);
            painter.drawImage(target, picture, source);
        }
    }
}

void CoordButtonImage::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    for (const CoordRegion& region : regions_) {
        painter.fillRect(region.Rect(), QColor::fromRgb(region.color));
    }
    if (!backgroundImage_.isNull()) {
        painter.drawImage(QRectF(rect()), backgroundImage_);
    }
    DrawOverlay(painter, hoverImage_, &CoordRegion::hover);
    DrawOverlay(painter, checkedImage_, &CoordRegion::checked);
    DrawOverlay(painter, pressedImage_, &CoordRegion::pressed);
    if (hasFocus() && focused_ >= 0) {
        const CoordRegion& region = regions_[static_cast<size_t>(focused_)];
        painter.setPen(QPen(palette().highlight().color(), 2));
        painter.drawRoundedRect(QRectF(region.Rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
}

}  // namespace keyrig::ui
