#include "keyboard_picture.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <pugixml.hpp>

#include "keyboard_layout.h"
#include "store/key_table.h"
#include "store/xml_data_file.h"
#include "store/xml_text.h"

namespace keyrig::kbgen {
namespace {

constexpr qreal kDevicePixelRatio = 2;

const QColor kBodyTop(0x1d, 0x21, 0x29);
const QColor kBodyBottom(0x15, 0x18, 0x1e);
const QColor kBodyBorder(0x2f, 0x35, 0x40);
const QColor kHoverAccent(0x22, 0xc8, 0xff);
const QColor kCheckedAccent(0xff, 0x8a, 0x3d);

QColor Mix(const QColor& from, const QColor& to, qreal amount) {
    const auto channel = [amount](int a, int b) {
        return static_cast<int>(a + (b - a) * amount + 0.5);
    };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()), channel(from.alpha(), to.alpha()));
}

QColor WithAlpha(QColor color, int alpha) {
    color.setAlpha(alpha);
    return color;
}

// Everything that tells one look of a cap from another. Each look changes both the fill and the
// legend, so a region always differs from the normal picture wherever the widget samples it.
struct CapLook {
    QColor edge;
    QColor skirtTop;
    QColor skirtBottom;
    QColor faceTop;
    QColor faceBottom;
    QColor highlight;  // the soft light along the upper rim of the face
    QColor legend;
    QColor glow;       // lines just inside the edge, fading inwards; transparent for none
    QColor underline;  // a lit strip along the front of the cap; transparent for none
    int inset = 0;     // how far the cap sinks away from its region on every side
    int sink = 0;      // how far the face moves down into the skirt
};

CapLook LookOf(Look look) {
    const QColor skirtTop(0x2a, 0x2f, 0x3a);
    const QColor skirtBottom(0x22, 0x26, 0x2f);
    const QColor faceTop(0x37, 0x3d, 0x4a);
    const QColor faceBottom(0x2d, 0x32, 0x3e);
    const QColor edge(0x0c, 0x0e, 0x12);
    const QColor legend(0xd4, 0xd9, 0xe1);
    const QColor none(0, 0, 0, 0);
    switch (look) {
        case Look::Normal:
            return {.edge = edge,
                    .skirtTop = skirtTop,
                    .skirtBottom = skirtBottom,
                    .faceTop = faceTop,
                    .faceBottom = faceBottom,
                    .highlight = QColor(255, 255, 255, 46),
                    .legend = legend,
                    .glow = none,
                    .underline = none};
        case Look::Hover:
            return {.edge = kHoverAccent,
                    .skirtTop = Mix(skirtTop, kHoverAccent, 0.10),
                    .skirtBottom = Mix(skirtBottom, kHoverAccent, 0.08),
                    .faceTop = Mix(faceTop, kHoverAccent, 0.14),
                    .faceBottom = Mix(faceBottom, kHoverAccent, 0.08),
                    .highlight = WithAlpha(Mix(Qt::white, kHoverAccent, 0.5), 90),
                    .legend = QColor(0xf4, 0xfc, 0xff),
                    .glow = kHoverAccent,
                    .underline = none};
        case Look::Checked:
            return {.edge = Mix(edge, kCheckedAccent, 0.7),
                    .skirtTop = Mix(skirtTop, kCheckedAccent, 0.2),
                    .skirtBottom = Mix(skirtBottom, kCheckedAccent, 0.15),
                    .faceTop = Mix(faceTop, kCheckedAccent, 0.3),
                    .faceBottom = Mix(faceBottom, kCheckedAccent, 0.2),
                    .highlight = WithAlpha(Mix(Qt::white, kCheckedAccent, 0.3), 90),
                    .legend = QColor(0xff, 0xe2, 0xcc),
                    .glow = none,
                    .underline = kCheckedAccent};
        case Look::Pressed:
            // Pushed down: darker, a pixel smaller all round, and lit from nowhere.
            return {.edge = QColor(0x08, 0x09, 0x0c),
                    .skirtTop = QColor(0x1f, 0x23, 0x2b),
                    .skirtBottom = QColor(0x1b, 0x1e, 0x25),
                    .faceTop = QColor(0x25, 0x29, 0x32),
                    .faceBottom = QColor(0x28, 0x2c, 0x36),
                    .highlight = QColor(0, 0, 0, 70),
                    .legend = QColor(0x9a, 0xa2, 0xae),
                    .glow = none,
                    .underline = none,
                    .inset = 1,
                    .sink = 1};
    }
    return {};
}

QFont LegendFont(int pixelSize, bool symbol) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    font.setPixelSize(pixelSize);
    font.setWeight(symbol ? QFont::DemiBold : QFont::Medium);
    return font;
}

// Single characters read best large; words and stacked symbols have to share the face. Words on
// the narrow keys get one size of their own, so that a cluster of them reads evenly.
int PreferredSize(const QStringList& lines, bool symbol, bool wide) {
    if (symbol) {
        return lines.size() == 1 ? 16 : 12;
    }
    return wide && lines.size() == 1 ? 11 : 10;
}

constexpr qreal kLineGap = 0.7;  // of the capital height, between stacked lines

// The top of the cap, the part the legend is printed on, inside its sloped skirt.
QRectF FaceOf(const QRectF& cap, int sink) {
    return cap.adjusted(4, 3 + sink, -4, -6 + sink);
}

QRectF LegendRoom(const QRectF& face) {
    return face.adjusted(1, 1, -1, -1);
}

struct Legend {
    QStringList lines;
    QFont font;
};

// Fitted on the face of the resting cap, so that a key's legend keeps its size in every look.
Legend FitLegend(const KeyPlace& key) {
    Legend legend{QString::fromUtf8(key.legend).split(u'\n'), {}};
    const bool symbol = std::all_of(legend.lines.begin(), legend.lines.end(),
                                    [](const QString& line) { return line.size() == 1; });
    const PixelRect pixels = RectOf(key);
    const QRectF room = LegendRoom(FaceOf(QRectF(0, 0, pixels.width, pixels.height), 0));
    const auto lines = static_cast<qreal>(legend.lines.size());
    int size = PreferredSize(legend.lines, symbol, key.width > 1);
    legend.font = LegendFont(size, symbol);
    // Shrink until the widest line and the stack both fit, so no legend is ever clipped.
    for (; size > 6; legend.font = LegendFont(--size, symbol)) {
        const QFontMetricsF metrics(legend.font);
        qreal widest = 0;
        for (const QString& line : legend.lines) {
            widest = std::max(widest, metrics.horizontalAdvance(line));
        }
        const qreal height =
            metrics.capHeight() * (lines + kLineGap * (lines - 1)) + metrics.descent();
        if (widest <= room.width() && height <= room.height()) {
            break;
        }
    }
    return legend;
}

void DrawLegend(QPainter& painter, const QRectF& face, const Legend& legend, const QColor& color) {
    if (legend.lines.front().isEmpty()) {
        return;
    }
    const QRectF room = LegendRoom(face);
    const QFontMetricsF metrics(legend.font);
    // Centred on the height of the capitals rather than the line box, so that letters sit in the
    // optical middle of the face instead of riding high above the room kept for descenders.
    const qreal capHeight = metrics.capHeight();
    const auto lines = static_cast<qreal>(legend.lines.size());
    qreal baseline =
        room.center().y() - capHeight * (lines + kLineGap * (lines - 1)) / 2 + capHeight;
    painter.setFont(legend.font);
    painter.setPen(color);
    for (const QString& line : legend.lines) {
        const qreal width = metrics.horizontalAdvance(line);
        painter.drawText(QPointF(room.center().x() - width / 2, baseline), line);
        baseline += capHeight * (1 + kLineGap);
    }
}

void DrawCap(QPainter& painter, const KeyPlace& key, const Legend& legend, const CapLook& look) {
    const PixelRect pixels = RectOf(key);
    const QRect region(pixels.x, pixels.y, pixels.width, pixels.height);
    painter.save();
    // Nothing of a key may reach past its region: the widget copies exactly that rect from an
    // overlay picture, and anything outside it would stay behind as a seam.
    painter.setClipRect(region);

    const QRectF cap = QRectF(region).adjusted(look.inset, look.inset, -look.inset, -look.inset);
    const QRectF outline = cap.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient skirt(cap.topLeft(), cap.bottomLeft());
    skirt.setColorAt(0, look.skirtTop);
    skirt.setColorAt(1, look.skirtBottom);
    painter.setPen(QPen(look.edge, 1));
    painter.setBrush(skirt);
    painter.drawRoundedRect(outline, 5, 5);

    if (look.glow.alpha() > 0) {
        painter.setBrush(Qt::NoBrush);
        const int alphas[] = {150, 80, 40, 18};
        for (int ring = 0; ring < 4; ++ring) {
            painter.setPen(QPen(WithAlpha(look.glow, alphas[ring]), 1));
            painter.drawRoundedRect(outline.adjusted(ring + 1, ring + 1, -ring - 1, -ring - 1),
                                    std::max(1, 4 - ring), std::max(1, 4 - ring));
        }
    }
    if (look.underline.alpha() > 0) {
        QPainterPath strip;
        strip.addRoundedRect(cap.adjusted(5, cap.height() - 4, -5, -2), 1, 1);
        painter.fillPath(strip, look.underline);
    }

    const QRectF face = FaceOf(cap, look.sink);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, look.faceTop);
    fill.setColorAt(1, look.faceBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(face, 4, 4);

    QLinearGradient rim(face.topLeft(), face.bottomLeft());
    rim.setColorAt(0, look.highlight);
    rim.setColorAt(std::min(1.0, 10 / face.height()), WithAlpha(look.highlight, 0));
    painter.setPen(QPen(QBrush(rim), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);

    DrawLegend(painter, face, legend, look.legend);
    painter.restore();
}

// The body is the same in all four pictures; only the keys change.
void DrawBody(QPainter& painter) {
    const QRectF outline(0.5, 0.5, kPictureWidth - 1, kPictureHeight - 1);
    QLinearGradient fill(0, 0, 0, kPictureHeight);
    fill.setColorAt(0, kBodyTop);
    fill.setColorAt(1, kBodyBottom);
    painter.setPen(QPen(kBodyBorder, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(outline, 14, 14);
    painter.setPen(QPen(QColor(255, 255, 255, 12), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outline.adjusted(1, 1, -1, -1), 13, 13);

    // Over the keypad, where a full-size board keeps its lock lights and its name.
    const int left = kMargin + Pixels(kPad);
    const int right = left + Pixels(4) - kGap;
    const int top = kMargin;
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    font.setPixelSize(11);
    font.setWeight(QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 3.5);
    painter.setFont(font);
    painter.setPen(QColor(0x4b, 0x53, 0x62));
    painter.drawText(QRectF(left, top + 20, right - left, 20), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("KEYRIG"));
    for (int light = 0; light < 3; ++light) {
        const QPointF centre(left + 6 + light * 14, top + 30);
        painter.setPen(QPen(QColor(0x0c, 0x0e, 0x12), 1));
        painter.setBrush(QColor(0x2a, 0x30, 0x3b));
        painter.drawEllipse(centre, 3, 3);
    }
}

}  // namespace

QImage RenderKeyboard(Look look) {
    QImage image(static_cast<int>(kPictureWidth * kDevicePixelRatio),
                 static_cast<int>(kPictureHeight * kDevicePixelRatio),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kDevicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    DrawBody(painter);
    const CapLook cap = LookOf(look);
    for (const KeyPlace& key : kKeyboard) {
        DrawCap(painter, key, FitLegend(key), cap);
    }
    painter.end();
    return image;
}

std::string CoordinateDocument(std::string& problem) {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("utf-8");
    pugi::xml_node positions = document.append_child("positions");
    AppendUnsigned(positions, "width", kPictureWidth);
    AppendUnsigned(positions, "height", kPictureHeight);
    for (const KeyPlace& key : kKeyboard) {
        const KeyTableEntry& entry = FindKeyByUsage(key.usageId, kKeyboardPage);
        if (entry.name[0] == '\0') {
            char text[64];
            std::snprintf(text, sizeof text, "usage 0x%02x is not in the key table", key.usageId);
            problem = text;
            return {};
        }
        const PixelRect rect = RectOf(key);
        pugi::xml_node element = positions.append_child("key");
        AppendUnsigned(element, "id", key.usageId);
        AppendUnsigned(element, "va", kKeyboardPage);
        AppendText(element, "name", entry.name);
        AppendText(element, "rect",
                   std::to_string(rect.x) + "," + std::to_string(rect.y) + "," +
                       std::to_string(rect.width) + "," + std::to_string(rect.height));
    }
    return FormatXmlDocument(document);
}

}  // namespace keyrig::kbgen
