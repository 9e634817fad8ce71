// SPDX-License-Identifier: GPL-3.0-or-later
//
// make-resources: draws every image that Nimbalight ships (toolbar icons and
// their pressed variants, bar backgrounds, buttons, cards, help pictures) with
// QPainter, at 1x (points) and at 2x ("name@2x.png").
//
//   make-resources [output-folder]        (default: resources/images)
//
// Everything is vector drawing and deterministic (no clock, fixed seeds), so
// running it again gives the same files.  Fonts: "DejaVu Sans".

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

namespace {

const QString kFontFamily = QStringLiteral("DejaVu Sans");

// Glyph colours.  Bar icons sit on the dark toolbars; panel icons on the light
// sub-toolbar panel, where a selected button gets a blue background (18, 84, 131),
// so their pressed variant is white.  Panel actions (share targets) are never
// selected, so their pressed variant is the blue itself.
const QColor kBarGlyph(240, 243, 247);
const QColor kBarGlyphDown(120, 196, 255);
const QColor kPanelGlyph(55, 61, 71);
const QColor kPanelGlyphDown(255, 255, 255);
const QColor kAccent(18, 84, 131);
const QColor kInk(1, 85, 141);

using Draw = std::function<void(QPainter&)>;
using Glyph = std::function<void(QPainter&, const QColor&)>;

QDir g_out;
int g_written = 0;
bool g_failed = false;

QString scaledName(const QString& name, int scale)
{
    if (scale == 1)
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return name.left(dot) + QStringLiteral("@%1x").arg(scale) + name.mid(dot);
}

// Renders `draw` (in points) at 1x and 2x and writes both files.  JPEG for
// ".jpg" names (drawn over white, as JPEG has no alpha), PNG otherwise.
void writeImage(const QString& name, QSizeF size, const Draw& draw)
{
    const bool jpeg = name.endsWith(QStringLiteral(".jpg"));
    for (int scale : {1, 2}) {
        QImage img(qRound(size.width() * scale), qRound(size.height() * scale),
                   QImage::Format_ARGB32_Premultiplied);
        img.fill(jpeg ? QColor(Qt::white) : QColor(Qt::transparent));
        {
            QPainter p(&img);
            p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                             QPainter::SmoothPixmapTransform);
            p.scale(scale, scale);
            draw(p);
        }
        const QString path = g_out.filePath(scaledName(name, scale));
        QImageWriter writer(path);
        if (jpeg) {
            writer.setFormat("jpg");
            writer.setQuality(88);
            img = img.convertToFormat(QImage::Format_RGB32);
        } else {
            writer.setFormat("png");
            writer.setQuality(0); // lossless; 0 asks for the strongest compression
            img = img.convertToFormat(QImage::Format_ARGB32);
        }
        if (!writer.write(img)) {
            std::fprintf(stderr, "make-resources: cannot write %s: %s\n", qPrintable(path),
                         qPrintable(writer.errorString()));
            g_failed = true;
        }
        ++g_written;
    }
}

QString downName(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return name.left(dot) + QStringLiteral("_down") + name.mid(dot);
}

// ---------------------------------------------------------------------------
// Drawing helpers

QPen glyphPen(const QColor& c, qreal width = 2.2)
{
    QPen pen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    return pen;
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QFont font(qreal pixelSize, int weight = QFont::Normal)
{
    QFont f(kFontFamily);
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// Text path centred on `centre` (paths scale cleanly at 2x, unlike hinted text).
QPainterPath textPath(const QString& text, const QFont& f, QPointF centre)
{
    QPainterPath path;
    path.addText(0, 0, f, text);
    const QRectF r = path.boundingRect();
    path.translate(centre - r.center());
    return path;
}

void fillText(QPainter& p, const QString& text, const QFont& f, QPointF centre, const QBrush& brush)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawPath(textPath(text, f, centre));
    p.restore();
}

void arrowHead(QPainter& p, QPointF tip, qreal angleRad, qreal size, const QColor& c)
{
    const qreal spread = 0.5;
    QPolygonF tri;
    tri << tip
        << tip - QPointF(std::cos(angleRad - spread), std::sin(angleRad - spread)) * size
        << tip - QPointF(std::cos(angleRad + spread), std::sin(angleRad + spread)) * size;
    p.save();
    p.setPen(QPen(c, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(c);
    p.drawPolygon(tri);
    p.restore();
}

QPolygonF regularPolygon(QPointF centre, qreal radius, int sides, qreal startDeg)
{
    QPolygonF poly;
    for (int i = 0; i < sides; ++i) {
        const qreal a = (startDeg + 360.0 * i / sides) * std::numbers::pi / 180.0;
        poly << centre + QPointF(std::cos(a), std::sin(a)) * radius;
    }
    return poly;
}

QPainterPath dropPath(QPointF tip, qreal radius)
{
    // A drop hanging from `tip`, round part of `radius` below it.
    QPainterPath path;
    const QPointF c(tip.x(), tip.y() + radius * 2.2);
    path.moveTo(tip);
    path.cubicTo(tip + QPointF(radius * 0.4, radius * 0.9), c + QPointF(radius, -radius * 0.8),
                 c + QPointF(radius, 0));
    path.arcTo(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius), 0, -180);
    path.cubicTo(c + QPointF(-radius, -radius * 0.8), tip + QPointF(-radius * 0.4, radius * 0.9), tip);
    path.closeSubpath();
    return path;
}

void softShadow(QPainter& p, const QRectF& r, qreal radius, int layers, qreal spread, int alpha)
{
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = layers; i >= 1; --i) {
        const qreal grow = spread * i / layers;
        p.setBrush(QColor(0, 0, 0, alpha / layers));
        p.drawRoundedRect(r.adjusted(-grow, -grow + spread * 0.5, grow, grow + spread * 0.5),
                          radius + grow, radius + grow);
    }
    p.restore();
}

// ---------------------------------------------------------------------------
// Icon families

enum class Surface {
    Bar,         // dark toolbars: light glyph, blue-ish when pressed
    Panel,       // light sub-toolbar, selectable: dark glyph, white when pressed
    PanelAction, // light sub-toolbar, never selected: dark glyph, blue when pressed
};

const QSizeF kIconSize(30, 30);

void drawIcon(QPainter& p, Surface surface, const Glyph& glyph, const QColor& c)
{
    if (surface == Surface::Bar) {
        // A faint dark copy one point lower seats the glyph in the bar.
        p.save();
        p.translate(0, 1);
        glyph(p, QColor(0, 0, 0, 110));
        p.restore();
    }
    glyph(p, c);
}

// Writes "name" and its pressed variant "name_down".
void icon(const QString& name, Surface surface, const Glyph& glyph, QSizeF size = kIconSize)
{
    const QColor normal = surface == Surface::Bar ? kBarGlyph : kPanelGlyph;
    const QColor pressed = surface == Surface::Bar      ? kBarGlyphDown
                           : surface == Surface::Panel ? kPanelGlyphDown
                                                        : kAccent;
    writeImage(name, size, [&](QPainter& p) { drawIcon(p, surface, glyph, normal); });
    writeImage(downName(name), size, [&](QPainter& p) { drawIcon(p, surface, glyph, pressed); });
}

// ---------------------------------------------------------------------------
// Glyphs (30 x 30 points, centre (15, 15))

void glyphBack(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.6));
    p.drawLine(QPointF(23, 15), QPointF(8, 15));
    p.drawPolyline(QPolygonF() << QPointF(14, 8.5) << QPointF(7.5, 15) << QPointF(14, 21.5));
}

void glyphNext(QPainter& p, const QColor& c)
{
    p.save();
    p.translate(30, 0);
    p.scale(-1, 1);
    glyphBack(p, c);
    p.restore();
}

void glyphUndo(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.4));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(19, 24);
    path.cubicTo(25.5, 22, 26, 11, 17, 10.5);
    path.lineTo(10.5, 10.5);
    p.drawPath(path);
    arrowHead(p, QPointF(6, 10.5), std::numbers::pi, 6.5, c);
}

void glyphClear(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(6.5, 9), QPointF(23.5, 9));
    p.drawPolyline(QPolygonF() << QPointF(12, 9) << QPointF(12.5, 6.5) << QPointF(17.5, 6.5)
                               << QPointF(18, 9));
    p.drawPolygon(QPolygonF() << QPointF(9, 9) << QPointF(10.5, 24.5) << QPointF(19.5, 24.5)
                              << QPointF(21, 9));
    p.setPen(glyphPen(c, 1.5));
    p.drawLine(QPointF(13, 12.5), QPointF(13.4, 21.5));
    p.drawLine(QPointF(17, 12.5), QPointF(16.6, 21.5));
}

void glyphStroke(QPainter& p, const QColor& c)
{
    // Loose free-hand strokes: the smart selection.
    p.setBrush(Qt::NoBrush);
    p.setPen(glyphPen(c, 2.4));
    QPainterPath path;
    path.moveTo(5, 20);
    path.cubicTo(8, 9, 12, 8, 13.5, 15);
    path.cubicTo(15, 22, 19.5, 23, 21.5, 14);
    path.cubicTo(22.5, 9.5, 24.5, 8, 26, 8.5);
    p.drawPath(path);
    p.setPen(glyphPen(c, 1.6));
    p.drawLine(QPointF(6, 25.5), QPointF(24, 25.5));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(26, 8.5), 2.2, 2.2);
}

void glyphPaint(QPainter& p, const QColor& c)
{
    // Paint bucket: a tipped can with paint in it, and a drop.
    p.setBrush(Qt::NoBrush);
    p.setPen(glyphPen(c, 2.0));
    const QPolygonF can = QPolygonF() << QPointF(5, 14) << QPointF(13, 6) << QPointF(21.5, 14.5)
                                      << QPointF(13.5, 22.5);
    p.drawPolygon(can);
    p.drawLine(QPointF(9, 10), QPointF(4.5, 5.5));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF() << QPointF(5, 14) << QPointF(21.5, 14.5) << QPointF(13.5, 22.5));
    p.drawPath(dropPath(QPointF(24.5, 13.5), 2.6));
}

// Three planes receding into the picture: near (large, below), middle and far
// (small, above).  `active` 0 far, 1 middle, 2 near is drawn solid.
void glyphLayers(QPainter& p, const QColor& c, int active)
{
    struct Sheet {
        qreal y, halfWidth, halfDepth;
    };
    const Sheet sheets[3] = {{7.5, 6.5, 2.6}, {14.5, 9.5, 3.4}, {22.5, 12.5, 4.2}};
    for (int i = 0; i < 3; ++i) {
        const Sheet& s = sheets[i];
        const QPolygonF diamond = QPolygonF() << QPointF(15 - s.halfWidth, s.y) << QPointF(15, s.y - s.halfDepth)
                                              << QPointF(15 + s.halfWidth, s.y) << QPointF(15, s.y + s.halfDepth);
        if (i == active) {
            p.setPen(glyphPen(c, 1.4));
            p.setBrush(c);
        } else {
            p.setPen(glyphPen(withAlpha(c, c.alpha() * 3 / 4), 1.5));
            p.setBrush(Qt::NoBrush);
        }
        p.drawPolygon(diamond);
    }
}

void glyphPanZoom(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.2));
    p.drawLine(QPointF(15, 7.5), QPointF(15, 22.5));
    p.drawLine(QPointF(7.5, 15), QPointF(22.5, 15));
    const qreal pi = std::numbers::pi;
    arrowHead(p, QPointF(15, 3.5), -pi / 2, 6, c);
    arrowHead(p, QPointF(15, 26.5), pi / 2, 6, c);
    arrowHead(p, QPointF(3.5, 15), pi, 6, c);
    arrowHead(p, QPointF(26.5, 15), 0, 6, c);
}

void glyphBrushSizes(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(4.5, 17), 2, 2);
    p.drawEllipse(QPointF(12, 17), 3.5, 3.5);
    p.drawEllipse(QPointF(22.5, 17), 5.5, 5.5);
}

// One disc of the brush's relative size (30, 50, 60, 80 drawing pixels).
Glyph glyphBrushDisc(qreal diameter)
{
    return [diameter](QPainter& p, const QColor& c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(15, 15), diameter / 2, diameter / 2);
    };
}

void glyphEraser(QPainter& p, const QColor& c)
{
    p.save();
    p.translate(15, 13.5);
    p.rotate(-45);
    const QRectF body(-5, -10, 10, 20);
    p.setPen(glyphPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath tip;
    tip.addRoundedRect(QRectF(-5, 3, 10, 7), 2, 2);
    p.drawPath(tip);
    p.restore();
    p.setPen(glyphPen(c, 1.6));
    p.drawLine(QPointF(13, 25.5), QPointF(25, 25.5));
}

void glyphHelp(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(15, 15), 11, 11);
    fillText(p, QStringLiteral("?"), font(16, QFont::Bold), QPointF(15, 15), c);
}

QPainterPath gearPath(QPointF centre, qreal outer, qreal inner, qreal hole, int teeth)
{
    QPolygonF poly;
    const qreal step = 360.0 / teeth;
    for (int i = 0; i < teeth; ++i) {
        const qreal a = i * step;
        auto at = [&](qreal deg, qreal r) {
            const qreal rad = deg * std::numbers::pi / 180.0;
            return centre + QPointF(std::cos(rad), std::sin(rad)) * r;
        };
        poly << at(a - step * 0.30, inner) << at(a - step * 0.17, outer) << at(a + step * 0.17, outer)
             << at(a + step * 0.30, inner);
    }
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    path.addEllipse(centre, hole, hole);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

void glyphSettings(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(gearPath(QPointF(15, 15), 11.5, 8.5, 3.8, 8));
}

void glyphHome(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF() << QPointF(4.5, 15.5) << QPointF(15, 5.5) << QPointF(25.5, 15.5));
    p.drawPolyline(QPolygonF() << QPointF(8, 13) << QPointF(8, 24.5) << QPointF(22, 24.5) << QPointF(22, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(13, 17.5, 4, 7));
}

void glyphSave(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF() << QPointF(5.5, 17) << QPointF(5.5, 24.5) << QPointF(24.5, 24.5)
                               << QPointF(24.5, 17));
    p.drawLine(QPointF(15, 4.5), QPointF(15, 15));
    arrowHead(p, QPointF(15, 20), std::numbers::pi / 2, 7, c);
}

void glyphShare(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF() << QPointF(11, 11.5) << QPointF(7, 11.5) << QPointF(7, 25) << QPointF(23, 25)
                               << QPointF(23, 11.5) << QPointF(19, 11.5));
    p.drawLine(QPointF(15, 19), QPointF(15, 8));
    arrowHead(p, QPointF(15, 3.5), -std::numbers::pi / 2, 7, c);
}

void glyphBlur(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(dropPath(QPointF(15, 4), 8));
    // A soft inner glow: the defocused look.
    QRadialGradient g(QPointF(15, 18.5), 6.5);
    g.setColorAt(0, withAlpha(c, c.alpha() * 7 / 10));
    g.setColorAt(1, withAlpha(c, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QPointF(15, 18.5), 6.5, 6.5);
}

void glyphAperture(QPainter& p, const QColor& c)
{
    const QPointF centre(15, 15);
    p.setPen(glyphPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 11, 11);
    p.setPen(glyphPen(c, 1.5));
    const QPolygonF inner = regularPolygon(centre, 4.5, 6, -90);
    for (int i = 0; i < 6; ++i) {
        const qreal a = (-90 + 60.0 * i - 52) * std::numbers::pi / 180.0;
        const QPointF rim = centre + QPointF(std::cos(a), std::sin(a)) * 11;
        p.drawLine(rim, inner[i]);
        p.drawLine(inner[i], inner[(i + 1) % 6]);
    }
}

void glyphGradualBg(QPainter& p, const QColor& c)
{
    // A ground plane in perspective that fades towards the horizon.
    QLinearGradient g(QPointF(0, 25), QPointF(0, 7));
    g.setColorAt(0, c);
    g.setColorAt(1, withAlpha(c, c.alpha() / 4));
    QPen pen(QBrush(g), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const qreal topY = 7, bottomY = 25;
    const qreal topL = 10, topR = 20, botL = 2.5, botR = 27.5;
    p.drawPolygon(QPolygonF() << QPointF(topL, topY) << QPointF(topR, topY) << QPointF(botR, bottomY)
                              << QPointF(botL, bottomY));
    for (qreal t : {0.45, 0.75}) {
        const qreal y = topY + (bottomY - topY) * t * t;
        const qreal k = (y - topY) / (bottomY - topY);
        p.drawLine(QPointF(topL + (botL - topL) * k, y), QPointF(topR + (botR - topR) * k, y));
    }
    for (qreal u : {1.0 / 3, 2.0 / 3})
        p.drawLine(QPointF(topL + (topR - topL) * u, topY), QPointF(botL + (botR - botL) * u, bottomY));
}

void glyphFilter(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 1.8));
    p.setBrush(withAlpha(c, c.alpha() / 5));
    p.drawEllipse(QPointF(15, 10.5), 6.5, 6.5);
    p.drawEllipse(QPointF(10.5, 18.5), 6.5, 6.5);
    p.drawEllipse(QPointF(19.5, 18.5), 6.5, 6.5);
}

void glyphOk(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.8));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF() << QPointF(6.5, 15.5) << QPointF(12.5, 21.5) << QPointF(23.5, 9));
}

void glyphCancel(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.6));
    p.drawLine(QPointF(8.5, 8.5), QPointF(21.5, 21.5));
    p.drawLine(QPointF(21.5, 8.5), QPointF(8.5, 21.5));
}

// Two photo frames side by side; `which` 0 left, 1 right, 2 both emphasised.
void glyphPair(QPainter& p, const QColor& c, int which)
{
    const QRectF left(3.5, 7.5, 14, 11), right(12.5, 11.5, 14, 11);
    const QColor faint = withAlpha(c, c.alpha() * 2 / 3);
    auto frame = [&](const QRectF& r, bool active) {
        p.setPen(glyphPen(active ? c : faint, 1.6));
        p.setBrush(active ? QBrush(withAlpha(c, which == 2 ? c.alpha() * 9 / 20 : c.alpha())) : QBrush(Qt::NoBrush));
        p.drawRoundedRect(r, 1.5, 1.5);
    };
    if (which == 1) {
        frame(left, false);
        frame(right, true);
    } else {
        frame(right, which == 2);
        frame(left, true);
    }
}

void glyphReset(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.2));
    p.setBrush(Qt::NoBrush);
    const QRectF r(6.5, 6.5, 17, 17);
    QPainterPath arc;
    arc.arcMoveTo(r, 60);
    arc.arcTo(r, 60, 280);
    p.drawPath(arc);
    // Arrow at the arc's start, pointing along it (counter-clockwise on screen).
    const qreal a = 60 * std::numbers::pi / 180.0;
    const QPointF tip(15 + 8.5 * std::cos(a), 15 - 8.5 * std::sin(a));
    arrowHead(p, tip + QPointF(1.8, 1.2), std::atan2(-0.5, 0.866) + std::numbers::pi * 0.15, 6.5, c);
}

// A block arrow pointing up, turned by `degrees`.
Glyph glyphMove(qreal degrees)
{
    return [degrees](QPainter& p, const QColor& c) {
        p.save();
        p.translate(15, 15);
        p.rotate(degrees);
        p.translate(-15, -15);
        p.setPen(QPen(c, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(c);
        p.drawPolygon(QPolygonF() << QPointF(15, 4.5) << QPointF(25, 15) << QPointF(18.5, 15)
                                  << QPointF(18.5, 25) << QPointF(11.5, 25) << QPointF(11.5, 15)
                                  << QPointF(5, 15));
        p.restore();
    };
}

// Panel glyphs -------------------------------------------------------------

Glyph glyphPolygonAperture(int sides)
{
    return [sides](QPainter& p, const QColor& c) {
        p.setPen(QPen(c, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(c);
        // A flat bottom edge for every polygon.
        const qreal start = 90 + 180.0 / sides;
        p.drawPolygon(regularPolygon(QPointF(15, sides == 5 ? 15.8 : 15), 10.5, sides, start));
    };
}

void glyphCircleAperture(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(15, 15), 10, 10);
}

void glyphBokeh(QPainter& p, const QColor& c)
{
    struct Ball {
        qreal x, y, r;
        int alpha;
    };
    const Ball balls[] = {{11, 12, 6.5, 150}, {20.5, 18.5, 5, 110}, {10.5, 23, 3, 200}, {22.5, 7.5, 2.6, 200}};
    for (const Ball& b : balls) {
        p.setPen(glyphPen(c, 1.4));
        p.setBrush(withAlpha(c, c.alpha() * b.alpha / 255));
        p.drawEllipse(QPointF(b.x, b.y), b.r, b.r);
    }
}

QPolygonF groundTrapezoid(qreal left = 3, qreal right = 27)
{
    const qreal w = right - left;
    return QPolygonF() << QPointF(left + w * 0.3, 7) << QPointF(right - w * 0.3, 7) << QPointF(right, 24.5)
                       << QPointF(left, 24.5);
}

void glyphNoFading(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(groundTrapezoid());
    p.setPen(glyphPen(c, 2.2));
    p.drawLine(QPointF(7, 26.5), QPointF(23, 5));
}

void glyphNaturalFading(QPainter& p, const QColor& c)
{
    QLinearGradient g(QPointF(0, 24.5), QPointF(0, 7));
    g.setColorAt(0, c);
    g.setColorAt(1, withAlpha(c, 0));
    p.setPen(glyphPen(c, 1.8));
    p.setBrush(g);
    p.drawPolygon(groundTrapezoid());
}

void glyphManualFading(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 1.8));
    p.setBrush(Qt::NoBrush);
    const QPolygonF ground = groundTrapezoid(2, 22);
    p.drawPolygon(ground);
    p.setPen(glyphPen(c, 1.5));
    for (qreal y : {12.5, 19.0}) {
        const qreal k = (y - 7) / 17.5;
        p.drawLine(QPointF(8 - 6 * k, y), QPointF(16 + 6 * k, y));
    }
    p.setPen(glyphPen(c, 1.8));
    p.drawLine(QPointF(26, 10), QPointF(26, 21));
    arrowHead(p, QPointF(26, 6), -std::numbers::pi / 2, 5, c);
    arrowHead(p, QPointF(26, 25), std::numbers::pi / 2, 5, c);
}

void glyphVignette(QPainter& p, const QColor& c)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(3.5, 6, 23, 18), 2.5, 2.5);
    path.addEllipse(QRectF(6.5, 8.5, 17, 13));
    path.setFillRule(Qt::OddEvenFill);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
    p.setBrush(withAlpha(c, c.alpha() / 5));
    p.drawEllipse(QRectF(6.5, 8.5, 17, 13));
}

void glyphColorMask(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(15, 15), 10.5, 10.5);
    QPainterPath half;
    half.moveTo(15, 4.5);
    half.arcTo(QRectF(4.5, 4.5, 21, 21), 90, 180);
    half.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(half);
    p.setBrush(withAlpha(c, c.alpha() * 2 / 5));
    p.drawEllipse(QPointF(19.5, 12.5), 2.6, 2.6);
    p.drawEllipse(QPointF(19.5, 19), 1.8, 1.8);
}

void glyphSticker(QPainter& p, const QColor& c)
{
    // A square label with its lower right corner peeled back.
    QPainterPath body;
    body.moveTo(8, 5);
    body.lineTo(22, 5);
    body.quadTo(25, 5, 25, 8);
    body.lineTo(25, 17);
    body.lineTo(17, 25);
    body.lineTo(8, 25);
    body.quadTo(5, 25, 5, 22);
    body.lineTo(5, 8);
    body.quadTo(5, 5, 8, 5);
    p.setPen(glyphPen(c, 1.8));
    p.setBrush(withAlpha(c, c.alpha() / 4));
    p.drawPath(body);
    p.setBrush(c);
    p.drawPolygon(QPolygonF() << QPointF(25, 17) << QPointF(18, 18) << QPointF(17, 25));
}

QPolygonF sparkle(QPointF centre, qreal outer, qreal inner)
{
    QPolygonF poly;
    for (int i = 0; i < 8; ++i) {
        const qreal a = (-90 + 45.0 * i) * std::numbers::pi / 180.0;
        poly << centre + QPointF(std::cos(a), std::sin(a)) * (i % 2 == 0 ? outer : inner);
    }
    return poly;
}

void glyphSharpen(QPainter& p, const QColor& c)
{
    p.setPen(QPen(c, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin));
    p.setBrush(c);
    p.drawPolygon(sparkle(QPointF(13.5, 16.5), 11, 2.6));
    p.drawPolygon(sparkle(QPointF(23.5, 7.5), 4.5, 1.2));
}

void glyphEmail(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 1.9));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4, 8, 22, 15), 2, 2);
    p.drawPolyline(QPolygonF() << QPointF(5, 9.5) << QPointF(15, 17) << QPointF(25, 9.5));
}

// A rounded tile with a letter cut out of it: the online services.
Glyph glyphLetterTile(const QString& letter, qreal size, QPointF offset = QPointF())
{
    return [letter, size, offset](QPainter& p, const QColor& c) {
        QPainterPath tile;
        tile.addRoundedRect(QRectF(4.5, 4.5, 21, 21), 5, 5);
        QPainterPath cut = textPath(letter, font(size, QFont::Bold), QPointF(15, 15.5) + offset);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(tile.subtracted(cut));
    };
}

void glyphFlickrDots(QPainter& p, const QColor& c)
{
    QPainterPath tile;
    tile.addRoundedRect(QRectF(4.5, 4.5, 21, 21), 5, 5);
    QPainterPath dots;
    dots.addEllipse(QPointF(10.8, 15), 3.6, 3.6);
    dots.addEllipse(QPointF(19.2, 15), 3.6, 3.6);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(tile.subtracted(dots));
}

void glyphPhotoCamera(QPainter& p, const QColor& c)
{
    p.setPen(glyphPen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5, 5, 20, 20), 6, 6);
    p.drawEllipse(QPointF(15, 15), 4.6, 4.6);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(20.8, 9.2), 1.4, 1.4);
}

// ---------------------------------------------------------------------------
// Toolbar icons

void makeToolbarIcons()
{
    const Surface bar = Surface::Bar;
    icon(QStringLiteral("back.png"), bar, glyphBack);
    icon(QStringLiteral("next.png"), bar, glyphNext);
    icon(QStringLiteral("undo.png"), bar, glyphUndo);
    icon(QStringLiteral("clear.png"), bar, glyphClear);
    icon(QStringLiteral("stroke.png"), bar, glyphStroke);
    icon(QStringLiteral("paint.png"), bar, glyphPaint);
    icon(QStringLiteral("fg.png"), bar, [](QPainter& p, const QColor& c) { glyphLayers(p, c, 2); });
    icon(QStringLiteral("mg.png"), bar, [](QPainter& p, const QColor& c) { glyphLayers(p, c, 1); });
    icon(QStringLiteral("bg.png"), bar, [](QPainter& p, const QColor& c) { glyphLayers(p, c, 0); });
    icon(QStringLiteral("pan_zoom.png"), bar, glyphPanZoom);
    icon(QStringLiteral("brush_size.png"), bar, glyphBrushSizes);
    icon(QStringLiteral("eraser.png"), bar, glyphEraser);
    icon(QStringLiteral("help.png"), bar, glyphHelp);
    icon(QStringLiteral("home.png"), bar, glyphHome);
    icon(QStringLiteral("save.png"), bar, glyphSave);
    icon(QStringLiteral("share.png"), bar, glyphShare);
    icon(QStringLiteral("settings.png"), bar, glyphSettings);
    icon(QStringLiteral("blur.png"), bar, glyphBlur);
    icon(QStringLiteral("aperture.png"), bar, glyphAperture);
    icon(QStringLiteral("grad_bg.png"), bar, glyphGradualBg);
    icon(QStringLiteral("filter.png"), bar, glyphFilter);
    icon(QStringLiteral("ok.png"), bar, glyphOk);
    icon(QStringLiteral("cancel.png"), bar, glyphCancel);
    icon(QStringLiteral("left_img.png"), bar, [](QPainter& p, const QColor& c) { glyphPair(p, c, 0); });
    icon(QStringLiteral("right_img.png"), bar, [](QPainter& p, const QColor& c) { glyphPair(p, c, 1); });
    icon(QStringLiteral("both_img.png"), bar, [](QPainter& p, const QColor& c) { glyphPair(p, c, 2); });
    icon(QStringLiteral("reset_img.png"), bar, glyphReset);
    icon(QStringLiteral("move_up.png"), bar, glyphMove(0));
    icon(QStringLiteral("move_right.png"), bar, glyphMove(90));
    icon(QStringLiteral("move_down.png"), bar, glyphMove(180));
    icon(QStringLiteral("move_left.png"), bar, glyphMove(270));

    const Surface panel = Surface::Panel;
    // Brush discs in proportion to the brush sizes 30, 50, 60 and 80.
    icon(QStringLiteral("brush_size_1.png"), panel, glyphBrushDisc(7.5));
    icon(QStringLiteral("brush_size_2.png"), panel, glyphBrushDisc(12.5));
    icon(QStringLiteral("brush_size_3.png"), panel, glyphBrushDisc(15));
    icon(QStringLiteral("brush_size_4.png"), panel, glyphBrushDisc(20));
    icon(QStringLiteral("aperture_4.png"), panel, glyphPolygonAperture(4));
    icon(QStringLiteral("aperture_5.png"), panel, glyphPolygonAperture(5));
    icon(QStringLiteral("aperture_6.png"), panel, glyphPolygonAperture(6));
    icon(QStringLiteral("aperture_circle.png"), panel, glyphCircleAperture);
    icon(QStringLiteral("bokeh.png"), panel, glyphBokeh);
    icon(QStringLiteral("no_fading.png"), panel, glyphNoFading);
    icon(QStringLiteral("natural_fading.png"), panel, glyphNaturalFading);
    icon(QStringLiteral("manual_fading.png"), panel, glyphManualFading);
    icon(QStringLiteral("vignette.png"), panel, glyphVignette);
    icon(QStringLiteral("color_mask.png"), panel, glyphColorMask);
    icon(QStringLiteral("sticker.png"), panel, glyphSticker);
    icon(QStringLiteral("sharpen.png"), panel, glyphSharpen);

    const Surface action = Surface::PanelAction;
    icon(QStringLiteral("email.png"), action, glyphEmail);
    icon(QStringLiteral("facebook.png"), action, glyphLetterTile(QStringLiteral("f"), 17, QPointF(1.5, 2)));
    icon(QStringLiteral("twitter.png"), action, glyphLetterTile(QStringLiteral("t"), 16, QPointF(0, 1)));
    icon(QStringLiteral("flickr.png"), action, glyphFlickrDots);
    icon(QStringLiteral("picasa.png"), action, glyphLetterTile(QStringLiteral("P"), 15));
    icon(QStringLiteral("instagram.png"), action, glyphPhotoCamera);

    // Slider end images of the blur strength (light panel, no pressed state).
    writeImage(QStringLiteral("sharper.png"), QSizeF(20, 20), [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kPanelGlyph);
        p.drawEllipse(QPointF(10, 10), 5, 5);
        p.setPen(glyphPen(kPanelGlyph, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(10, 10), 8, 8);
    });
    writeImage(QStringLiteral("blurrer.png"), QSizeF(20, 20), [](QPainter& p) {
        QRadialGradient g(QPointF(10, 10), 9.5);
        g.setColorAt(0, kPanelGlyph);
        g.setColorAt(0.35, withAlpha(kPanelGlyph, 200));
        g.setColorAt(1, withAlpha(kPanelGlyph, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(QPointF(10, 10), 9.5, 9.5);
    });
}

// ---------------------------------------------------------------------------
// Bars, panels, shadows

const QColor kPanelTop(250, 251, 252);
const QColor kPanelBottom(226, 230, 235);
const QColor kPanelBorder(150, 158, 168);

void makeBars()
{
    // Tiled across every ordinary bar (top bars are 40 high and use its top).
    writeImage(QStringLiteral("toolbar_bg_44.png"), QSizeF(8, 44), [](QPainter& p) {
        QLinearGradient g(QPointF(0, 0), QPointF(0, 44));
        g.setColorAt(0, QColor(66, 71, 80));
        g.setColorAt(0.5, QColor(40, 44, 50));
        g.setColorAt(1, QColor(26, 28, 32));
        p.fillRect(QRectF(0, 0, 8, 44), g);
        p.fillRect(QRectF(0, 0, 8, 1), QColor(104, 110, 120));
    });
    // Stretched with its caps at the middle: the corners and the vertical
    // gradient of the top and bottom halves stay as drawn.
    writeImage(QStringLiteral("toolbar_sub_bg.png"), QSizeF(24, 24), [](QPainter& p) {
        const QRectF r(0.5, 0.5, 23, 23);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, kPanelTop);
        g.setColorAt(1, kPanelBottom);
        p.setPen(QPen(kPanelBorder, 1.0));
        p.setBrush(g);
        p.drawRoundedRect(r, 7, 7);
        p.setPen(QPen(QColor(255, 255, 255, 200), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(6, 1.5), QPointF(18, 1.5));
    });
    // Arrows joining a sub-toolbar to the button that opened it.
    writeImage(QStringLiteral("toolbar_sub_top_arrow.png"), QSizeF(20, 11), [](QPainter& p) {
        const QPolygonF tri = QPolygonF() << QPointF(0, 11.5) << QPointF(10, 0.8) << QPointF(20, 11.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kPanelTop);
        p.drawPolygon(tri);
        p.setPen(QPen(kPanelBorder, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPolyline(tri);
    });
    writeImage(QStringLiteral("toolbar_sub_bottom_arrow.png"), QSizeF(20, 11), [](QPainter& p) {
        const QPolygonF tri = QPolygonF() << QPointF(0, -0.5) << QPointF(10, 10.2) << QPointF(20, -0.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kPanelBottom);
        p.drawPolygon(tri);
        p.setPen(QPen(kPanelBorder, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPolyline(tri);
        // Covers the panel's border row that the arrow overlaps by one point.
        p.fillRect(QRectF(1.2, 0, 17.6, 1), kPanelBottom);
    });
    // 4-point shadows, stretched along the bar.
    writeImage(QStringLiteral("toolbar_top_shadow.png"), QSizeF(8, 4), [](QPainter& p) {
        QLinearGradient g(QPointF(0, 0), QPointF(0, 4));
        g.setColorAt(0, QColor(0, 0, 0, 150));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(0, 0, 8, 4), g);
    });
    writeImage(QStringLiteral("toolbar_bottom_shadow.png"), QSizeF(8, 4), [](QPainter& p) {
        QLinearGradient g(QPointF(0, 4), QPointF(0, 0));
        g.setColorAt(0, QColor(0, 0, 0, 150));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(0, 0, 8, 4), g);
    });
    // Behind the canvas (the canvas frame: 320 x 396).
    writeImage(QStringLiteral("canvas_bg.png"), QSizeF(320, 396), [](QPainter& p) {
        QRadialGradient g(QPointF(160, 170), 300);
        g.setColorAt(0, QColor(50, 53, 59));
        g.setColorAt(1, QColor(22, 24, 27));
        p.fillRect(QRectF(0, 0, 320, 396), g);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 9));
        for (int y = 6; y < 396; y += 12)
            for (int x = (y / 12) % 2 ? 12 : 6; x < 320; x += 12)
                p.drawEllipse(QPointF(x, y), 0.9, 0.9);
    });
    // The two-shot camera's bottom bar, tiled along the overlay's bottom edge.
    writeImage(QStringLiteral("twoshot_camera_bg.png"), QSizeF(8, 54), [](QPainter& p) {
        QLinearGradient g(QPointF(0, 0), QPointF(0, 54));
        g.setColorAt(0, QColor(58, 62, 70, 235));
        g.setColorAt(0.5, QColor(30, 33, 38, 240));
        g.setColorAt(1, QColor(14, 15, 18, 245));
        p.fillRect(QRectF(0, 0, 8, 54), g);
        p.fillRect(QRectF(0, 0, 8, 1), QColor(110, 116, 126));
    });
}

// ---------------------------------------------------------------------------
// Home screen

struct Bokeh {
    QPointF centre;
    qreal radius;
    QColor colour;
};

std::vector<Bokeh> homeBokeh()
{
    // Deterministic scatter, denser and larger in the upper part so that the
    // band of the three buttons (y 340 to 450) stays calm.
    std::mt19937 rng(20240611u);
    std::uniform_real_distribution<qreal> ux(-20, 340), uy(-20, 330), ur(6, 34), u01(0, 1);
    const QColor tones[] = {QColor(255, 196, 110), QColor(255, 150, 120), QColor(120, 200, 255),
                            QColor(170, 150, 255), QColor(255, 230, 170)};
    std::vector<Bokeh> balls;
    for (int i = 0; i < 46; ++i) {
        Bokeh b;
        b.centre = QPointF(ux(rng), uy(rng));
        b.radius = ur(rng) * (0.6 + 0.4 * (1 - b.centre.y() / 330));
        QColor c = tones[static_cast<int>(u01(rng) * 4.999)];
        // Fainter behind the product name (y about 180 to 260).
        const qreal nearTitle = std::abs(b.centre.y() - 220) < 45 && std::abs(b.centre.x() - 160) < 150 ? 0.45 : 1.0;
        c.setAlpha(static_cast<int>((28 + 60 * u01(rng)) * nearTitle));
        b.colour = c;
        balls.push_back(b);
    }
    // A few soft ones low down keep the lower part alive without clutter.
    balls.push_back({QPointF(40, 470), 30, QColor(120, 200, 255, 22)});
    balls.push_back({QPointF(290, 455), 38, QColor(255, 196, 110, 20)});
    return balls;
}

void drawBokehBall(QPainter& p, const Bokeh& b)
{
    QRadialGradient g(b.centre, b.radius);
    QColor inner = b.colour, rim = b.colour, outer = b.colour;
    inner.setAlpha(b.colour.alpha() * 6 / 10);
    rim.setAlpha(qMin(255, b.colour.alpha() * 12 / 10));
    outer.setAlpha(0);
    g.setColorAt(0, inner);
    g.setColorAt(0.82, inner);
    g.setColorAt(0.93, rim);
    g.setColorAt(1, outer);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(b.centre, b.radius, b.radius);
}

void makeHomeScreen()
{
    writeImage(QStringLiteral("Default.png"), QSizeF(320, 480), [](QPainter& p) {
        QLinearGradient sky(QPointF(0, 0), QPointF(0, 480));
        sky.setColorAt(0, QColor(20, 24, 48));
        sky.setColorAt(0.45, QColor(46, 34, 74));
        sky.setColorAt(0.75, QColor(24, 22, 40));
        sky.setColorAt(1, QColor(12, 12, 18));
        p.fillRect(QRectF(0, 0, 320, 480), sky);
        QRadialGradient glow(QPointF(230, 150), 220);
        glow.setColorAt(0, QColor(255, 170, 90, 70));
        glow.setColorAt(1, QColor(255, 170, 90, 0));
        p.fillRect(QRectF(0, 0, 320, 480), glow);
        p.setCompositionMode(QPainter::CompositionMode_Plus);
        for (const Bokeh& b : homeBokeh())
            drawBokehBall(p, b);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        // A calm band behind the buttons.
        QLinearGradient calm(QPointF(0, 320), QPointF(0, 480));
        calm.setColorAt(0, QColor(10, 10, 16, 0));
        calm.setColorAt(0.3, QColor(10, 10, 16, 140));
        calm.setColorAt(1, QColor(10, 10, 16, 200));
        p.fillRect(QRectF(0, 320, 320, 160), calm);
        // Product name and a thin rule.
        QPainterPath title = textPath(QStringLiteral("Nimbalight"), font(44, QFont::ExtraLight), QPointF(160, 205));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawPath(title.translated(0, 1.5));
        QLinearGradient ink(QPointF(0, 185), QPointF(0, 225));
        ink.setColorAt(0, QColor(255, 255, 255));
        ink.setColorAt(1, QColor(255, 226, 190));
        p.setBrush(ink);
        p.drawPath(title);
        p.fillRect(QRectF(110, 236, 100, 0.8), QColor(255, 255, 255, 110));
        fillText(p, QStringLiteral("depth of field for every photo"), font(11.5), QPointF(160, 252),
                 QColor(255, 255, 255, 170));
    });

    // Round-rect glass buttons with a white glyph; pressed: blue glass.
    auto homeButton = [](const QString& name, const std::function<void(QPainter&, const QColor&)>& glyph) {
        for (bool down : {false, true}) {
            writeImage(down ? downName(name) : name, QSizeF(84, 84), [&](QPainter& p) {
                const QRectF r(5, 4, 74, 74);
                softShadow(p, r, 18, 4, 4, 90);
                QLinearGradient g(r.topLeft(), r.bottomLeft());
                if (down) {
                    g.setColorAt(0, QColor(48, 128, 190, 235));
                    g.setColorAt(1, QColor(18, 84, 131, 235));
                } else {
                    g.setColorAt(0, QColor(255, 255, 255, 70));
                    g.setColorAt(1, QColor(255, 255, 255, 26));
                }
                p.setPen(QPen(QColor(255, 255, 255, down ? 170 : 120), 1.2));
                p.setBrush(g);
                p.drawRoundedRect(r, 18, 18);
                // Glass sheen on the upper half.
                QPainterPath sheen;
                sheen.addRoundedRect(r.adjusted(1.5, 1.5, -1.5, -r.height() / 2), 16, 16);
                QLinearGradient s(r.topLeft(), QPointF(r.left(), r.center().y()));
                s.setColorAt(0, QColor(255, 255, 255, 60));
                s.setColorAt(1, QColor(255, 255, 255, 0));
                p.setPen(Qt::NoPen);
                p.setBrush(s);
                p.drawPath(sheen);
                p.save();
                p.translate(r.center() - QPointF(21, 21));
                glyph(p, down ? QColor(225, 240, 255) : QColor(255, 255, 255));
                p.restore();
            });
        }
    };
    // Glyphs in a 42 x 42 box.
    auto camera = [](QPainter& p, const QColor& c, qreal scale) {
        p.save();
        p.scale(scale, scale);
        QPainterPath body;
        body.addRoundedRect(QRectF(3, 12, 36, 24), 5, 5);
        QPainterPath bump;
        bump.addRoundedRect(QRectF(14, 7, 14, 8), 2.5, 2.5);
        QPainterPath lens;
        lens.addEllipse(QPointF(21, 24), 8.5, 8.5);
        QPainterPath flash;
        flash.addEllipse(QPointF(33, 17.5), 1.8, 1.8);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(body.united(bump).subtracted(lens).subtracted(flash));
        p.drawEllipse(QPointF(21, 24), 5, 5);
        p.restore();
    };
    homeButton(QStringLiteral("take_photo.png"), [&](QPainter& p, const QColor& c) { camera(p, c, 1.0); });
    homeButton(QStringLiteral("select_from_album.png"), [](QPainter& p, const QColor& c) {
        // Two stacked prints, the front one showing a landscape.
        p.save();
        p.translate(21, 21);
        p.rotate(-9);
        p.setPen(glyphPen(withAlpha(c, 170), 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(-17, -14, 30, 24), 2.5, 2.5);
        p.restore();
        const QRectF front(7, 12, 32, 25);
        QPainterPath frame;
        frame.addRoundedRect(front, 2.5, 2.5);
        QPainterPath inner;
        inner.addRect(front.adjusted(3, 3, -3, -3));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(frame.subtracted(inner));
        p.drawPolygon(QPolygonF() << QPointF(10, 34) << QPointF(19, 23) << QPointF(25, 29) << QPointF(29, 25)
                                  << QPointF(36, 34));
        p.drawEllipse(QPointF(31, 19), 2.6, 2.6);
    });
    homeButton(QStringLiteral("take_two_photos.png"), [&](QPainter& p, const QColor& c) {
        p.save();
        p.translate(-1, 0);
        camera(p, withAlpha(c, 180), 0.58);
        p.restore();
        p.save();
        p.translate(19, 15);
        camera(p, c, 0.58);
        p.restore();
        p.setPen(glyphPen(c, 1.8));
        p.drawLine(QPointF(7, 36), QPointF(35, 36));
        arrowHead(p, QPointF(38, 36), 0, 5, c);
        arrowHead(p, QPointF(4, 36), std::numbers::pi, 5, c);
    });

    for (bool down : {false, true}) {
        writeImage(down ? QStringLiteral("main_settings_down.png") : QStringLiteral("main_settings.png"),
                   QSizeF(36, 36), [down](QPainter& p) {
                       p.setPen(QPen(QColor(255, 255, 255, 110), 1.0));
                       p.setBrush(down ? QColor(18, 84, 131, 230) : QColor(0, 0, 0, 80));
                       p.drawEllipse(QPointF(18, 18), 16.5, 16.5);
                       p.setPen(Qt::NoPen);
                       p.setBrush(down ? QColor(225, 240, 255) : QColor(255, 255, 255, 235));
                       p.drawPath(gearPath(QPointF(18, 18), 11, 8, 3.6, 8));
                   });
    }
}

// ---------------------------------------------------------------------------
// Message box, check boxes, HUD marks

void makeMessageParts()
{
    // The edit-mode card: its contents span (20..275, 25..256) on a 280 x 270 card.
    writeImage(QStringLiteral("messagebox.png"), QSizeF(280, 270), [](QPainter& p) {
        const QRectF r(4, 3, 272, 260);
        softShadow(p, r, 14, 4, 4, 110);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(1, QColor(232, 237, 243));
        p.setPen(QPen(QColor(190, 198, 208), 1.0));
        p.setBrush(g);
        p.drawRoundedRect(r, 14, 14);
        p.setPen(QPen(QColor(1, 85, 141, 60), 1.0));
        p.drawLine(QPointF(24, 218.5), QPointF(256, 218.5));
    });
    auto box = [](QPainter& p) {
        p.setPen(QPen(kInk, 1.5));
        QLinearGradient g(QPointF(0, 6), QPointF(0, 24));
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(1, QColor(226, 233, 241));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(6.5, 6.5, 17, 17), 4, 4);
    };
    writeImage(QStringLiteral("checkbox.png"), QSizeF(30, 30), box);
    writeImage(QStringLiteral("checkbox_sel.png"), QSizeF(30, 30), [&](QPainter& p) {
        box(p);
        p.setPen(glyphPen(kInk, 2.6));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF() << QPointF(10, 15) << QPointF(14, 19.5) << QPointF(21.5, 8.5));
    });
    // Shown by the progress display's dark box (saved, upload complete / failed).
    writeImage(QStringLiteral("checkmark.png"), QSizeF(37, 37), [](QPainter& p) {
        p.setPen(glyphPen(Qt::white, 2.4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(18.5, 18.5), 16, 16);
        p.setPen(glyphPen(Qt::white, 3.2));
        p.drawPolyline(QPolygonF() << QPointF(10.5, 19) << QPointF(16, 24.5) << QPointF(26.5, 12.5));
    });
    writeImage(QStringLiteral("errormark.png"), QSizeF(37, 37), [](QPainter& p) {
        p.setPen(glyphPen(Qt::white, 2.4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(18.5, 18.5), 16, 16);
        p.setPen(glyphPen(Qt::white, 3.2));
        p.drawLine(QPointF(12.5, 12.5), QPointF(24.5, 24.5));
        p.drawLine(QPointF(24.5, 12.5), QPointF(12.5, 24.5));
    });

    // Option buttons of the edit-mode choice (90 x 90 frames, the image raised
    // 5 points above a caption line at the bottom).
    auto option = [](const QString& name, const std::function<void(QPainter&)>& picture) {
        writeImage(name, QSizeF(90, 90), [&](QPainter& p) {
            const QRectF tile(17, 12, 56, 56);
            softShadow(p, tile, 12, 3, 3, 70);
            p.setPen(QPen(QColor(255, 255, 255, 200), 1.0));
            QLinearGradient g(tile.topLeft(), tile.bottomLeft());
            g.setColorAt(0, QColor(92, 104, 122));
            g.setColorAt(1, QColor(44, 50, 60));
            p.setBrush(g);
            p.drawRoundedRect(tile, 12, 12);
            p.save();
            QPainterPath clip;
            clip.addRoundedRect(tile.adjusted(1, 1, -1, -1), 11, 11);
            p.setClipPath(clip);
            p.translate(tile.topLeft());
            picture(p);
            p.restore();
        });
    };
    // Smart: a few coloured strokes that spread into regions.
    option(QStringLiteral("btn_smart.png"), [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 150, 230, 90));
        p.drawRect(QRectF(0, 0, 56, 22));
        p.setBrush(QColor(90, 200, 120, 90));
        p.drawRect(QRectF(0, 22, 56, 14));
        p.setBrush(QColor(240, 90, 80, 90));
        p.drawRect(QRectF(0, 36, 56, 20));
        QPainterPath s1, s2, s3;
        s1.moveTo(10, 11);
        s1.cubicTo(18, 5, 30, 15, 46, 9);
        s2.moveTo(12, 29);
        s2.cubicTo(22, 25, 32, 33, 44, 28);
        s3.moveTo(9, 47);
        s3.cubicTo(20, 40, 34, 50, 47, 44);
        p.setBrush(Qt::NoBrush);
        p.setPen(glyphPen(QColor(120, 190, 255), 3.2));
        p.drawPath(s1);
        p.setPen(glyphPen(QColor(130, 230, 150), 3.2));
        p.drawPath(s2);
        p.setPen(glyphPen(QColor(255, 130, 115), 3.2));
        p.drawPath(s3);
    });
    // Manual: a brush painting a region.
    option(QStringLiteral("btn_manual.png"), [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(240, 90, 80, 150));
        QPainterPath blob;
        blob.moveTo(6, 44);
        blob.cubicTo(4, 30, 18, 26, 26, 32);
        blob.cubicTo(32, 36, 30, 48, 22, 50);
        blob.cubicTo(14, 52, 7, 50, 6, 44);
        p.drawPath(blob);
        p.save();
        p.translate(34, 24);
        p.rotate(40);
        p.setBrush(QColor(235, 238, 242));
        p.drawRoundedRect(QRectF(-3.5, -22, 7, 24), 3, 3);
        p.setBrush(QColor(170, 178, 190));
        p.drawRect(QRectF(-4.5, 1, 9, 6));
        p.setBrush(QColor(255, 120, 105));
        QPainterPath tip;
        tip.moveTo(-4.5, 7);
        tip.cubicTo(-5, 13, -2, 16, 0, 19);
        tip.cubicTo(2, 16, 5, 13, 4.5, 7);
        tip.closeSubpath();
        p.drawPath(tip);
        p.restore();
    });
}

// ---------------------------------------------------------------------------
// Help popups

// The card of the help popups; help pictures are drawn over the same colour.
const QColor kCard(247, 249, 251);

void makeHelpParts()
{
    // The 320 x 480 card: title at the top, picture from y 62, texts below,
    // page controls centred at y 450 (the arrows sit on two dark discs so the
    // bar's light glyphs read on the light card).
    writeImage(QStringLiteral("popup.png"), QSizeF(320, 480), [](QPainter& p) {
        const QRectF r(6, 6, 308, 468);
        softShadow(p, r, 14, 5, 5, 120);
        p.setPen(QPen(QColor(186, 194, 205), 1.0));
        p.setBrush(kCard);
        p.drawRoundedRect(r, 14, 14);
        p.setPen(QPen(withAlpha(kInk, 70), 1.0));
        p.drawLine(QPointF(20, 58.5), QPointF(262, 58.5));
        p.setPen(Qt::NoPen);
        for (qreal x : {130.0, 190.0}) {
            QLinearGradient g(QPointF(0, 433), QPointF(0, 467));
            g.setColorAt(0, QColor(78, 88, 102));
            g.setColorAt(1, QColor(40, 46, 56));
            p.setBrush(g);
            p.drawEllipse(QPointF(x, 450), 17, 17);
        }
    });
    for (bool down : {false, true}) {
        writeImage(down ? QStringLiteral("popup_cancel_down.png") : QStringLiteral("popup_cancel.png"),
                   QSizeF(30, 30), [down](QPainter& p) {
                       p.setPen(Qt::NoPen);
                       p.setBrush(down ? kAccent : QColor(70, 78, 90));
                       p.drawEllipse(QPointF(15, 15), 12.5, 12.5);
                       p.setPen(glyphPen(Qt::white, 2.4));
                       p.drawLine(QPointF(10.5, 10.5), QPointF(19.5, 19.5));
                       p.drawLine(QPointF(19.5, 10.5), QPointF(10.5, 19.5));
                   });
    }
    writeImage(QStringLiteral("video.png"), QSizeF(64, 28), [](QPainter& p) {
        const QRectF r(1, 2, 62, 24);
        p.setPen(Qt::NoPen);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(30, 112, 170));
        g.setColorAt(1, kInk);
        p.setBrush(g);
        p.drawRoundedRect(r, 12, 12);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(15, 14), 7.5, 7.5);
        p.setBrush(kInk);
        p.drawPolygon(QPolygonF() << QPointF(12.8, 10) << QPointF(19, 14) << QPointF(12.8, 18));
        // A strip of film frames: this opens the video.
        p.setBrush(Qt::white);
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(28 + i * 10.5, 9, 8, 10), 1.5, 1.5);
    });
    auto badge = [](const QString& name, const QString& digit) {
        writeImage(name, QSizeF(20, 20), [&](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawEllipse(QPointF(10, 9.5), 8.5, 8.5);
            fillText(p, digit, font(11.5, QFont::Bold), QPointF(10, 9.5), Qt::white);
        });
    };
    badge(QStringLiteral("one.png"), QStringLiteral("1"));
    badge(QStringLiteral("two.png"), QStringLiteral("2"));
    writeImage(QStringLiteral("bullet.png"), QSizeF(20, 20), [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(101, 68, 29));
        p.drawEllipse(QPointF(12, 8), 3, 3);
    });
}

// ---------------------------------------------------------------------------
// Camera overlay and effect-screen marker

void makeCameraParts()
{
    for (bool down : {false, true}) {
        writeImage(down ? QStringLiteral("shutter_down.png") : QStringLiteral("shutter.png"), QSizeF(72, 46),
                   [down](QPainter& p) {
                       const QRectF r(2, 2, 68, 42);
                       QLinearGradient g(r.topLeft(), r.bottomLeft());
                       g.setColorAt(0, down ? QColor(70, 150, 210) : QColor(236, 239, 243));
                       g.setColorAt(1, down ? QColor(18, 84, 131) : QColor(168, 175, 186));
                       p.setPen(QPen(QColor(30, 32, 36), 1.2));
                       p.setBrush(g);
                       p.drawRoundedRect(r, 21, 21);
                       const QColor glyph = down ? QColor(240, 247, 255) : QColor(44, 50, 60);
                       QPainterPath body;
                       body.addRoundedRect(QRectF(23, 15, 26, 18), 3.5, 3.5);
                       QPainterPath bump;
                       bump.addRoundedRect(QRectF(31, 11.5, 10, 5), 1.5, 1.5);
                       QPainterPath lens;
                       lens.addEllipse(QPointF(36, 24), 6, 6);
                       p.setPen(Qt::NoPen);
                       p.setBrush(glyph);
                       p.drawPath(body.united(bump).subtracted(lens));
                       p.drawEllipse(QPointF(36, 24), 3.5, 3.5);
                   });
        writeImage(down ? QStringLiteral("camera_cancel_down.png") : QStringLiteral("camera_cancel.png"),
                   QSizeF(44, 36), [down](QPainter& p) {
                       const QRectF r(2, 3, 40, 30);
                       p.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
                       p.setBrush(down ? kAccent : QColor(255, 255, 255, 40));
                       p.drawRoundedRect(r, 8, 8);
                       p.setPen(glyphPen(down ? QColor(225, 240, 255) : Qt::white, 2.4));
                       p.drawLine(QPointF(16, 12), QPointF(28, 24));
                       p.drawLine(QPointF(28, 12), QPointF(16, 24));
                   });
    }
    // The point kept in focus on the effect screen: focusing brackets.
    writeImage(QStringLiteral("focus.png"), QSizeF(44, 44), [](QPainter& p) {
        auto brackets = [&](const QPen& pen) {
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const qreal a = 5, b = 39, l = 9;
            p.drawPolyline(QPolygonF() << QPointF(a, a + l) << QPointF(a, a) << QPointF(a + l, a));
            p.drawPolyline(QPolygonF() << QPointF(b - l, a) << QPointF(b, a) << QPointF(b, a + l));
            p.drawPolyline(QPolygonF() << QPointF(b, b - l) << QPointF(b, b) << QPointF(b - l, b));
            p.drawPolyline(QPolygonF() << QPointF(a + l, b) << QPointF(a, b) << QPointF(a, b - l));
            p.drawLine(QPointF(22, 17), QPointF(22, 27));
            p.drawLine(QPointF(17, 22), QPointF(27, 22));
        };
        brackets(glyphPen(QColor(0, 0, 0, 120), 4.0));
        brackets(glyphPen(QColor(255, 214, 64), 2.0));
    });
}

// ---------------------------------------------------------------------------
// Online service views

struct Service {
    QString background;
    QString name;
    QColor top, bottom;
    Glyph glyph;
};

void makeServiceParts()
{
    const Service services[] = {
        {QStringLiteral("bgFacebookGraph.png"), QStringLiteral("Facebook"), QColor(76, 110, 175),
         QColor(46, 74, 132), glyphLetterTile(QStringLiteral("f"), 17, QPointF(1.5, 2))},
        {QStringLiteral("bgFlickr.png"), QStringLiteral("Flickr"), QColor(70, 74, 82), QColor(36, 38, 44),
         glyphFlickrDots},
        {QStringLiteral("bgPicasa.png"), QStringLiteral("Picasa"), QColor(120, 96, 170), QColor(80, 60, 128),
         glyphLetterTile(QStringLiteral("P"), 15)},
        {QStringLiteral("bgtwitter.png"), QStringLiteral("Twitter"), QColor(82, 170, 222), QColor(40, 126, 186),
         glyphLetterTile(QStringLiteral("t"), 16, QPointF(0, 1))},
    };
    for (const Service& s : services) {
        // A 65-point title bar (close button left, send button right) over a light page.
        writeImage(s.background, QSizeF(320, 480), [&](QPainter& p) {
            QLinearGradient page(QPointF(0, 65), QPointF(0, 480));
            page.setColorAt(0, QColor(238, 241, 245));
            page.setColorAt(1, QColor(220, 225, 232));
            p.fillRect(QRectF(0, 65, 320, 415), page);
            QLinearGradient bar(QPointF(0, 0), QPointF(0, 65));
            bar.setColorAt(0, s.top);
            bar.setColorAt(1, s.bottom);
            p.fillRect(QRectF(0, 0, 320, 65), bar);
            p.fillRect(QRectF(0, 0, 320, 1), QColor(255, 255, 255, 70));
            p.fillRect(QRectF(0, 65, 320, 1), QColor(0, 0, 0, 90));
            QLinearGradient shade(QPointF(0, 66), QPointF(0, 70));
            shade.setColorAt(0, QColor(0, 0, 0, 60));
            shade.setColorAt(1, QColor(0, 0, 0, 0));
            p.fillRect(QRectF(0, 66, 320, 4), shade);
            const QFont f = font(17, QFont::Bold);
            const QPainterPath title = textPath(s.name, f, QPointF(0, 0));
            // The service's tile (21 of 30 units, so about 20 points) beside its name.
            const qreal tile = 20, gap = 8;
            const qreal w = tile + gap + title.boundingRect().width();
            p.save();
            p.translate(160 - w / 2 + tile / 2, 32.5);
            p.scale(tile / 21, tile / 21);
            p.translate(-15, -15);
            s.glyph(p, Qt::white);
            p.restore();
            fillText(p, s.name, f, QPointF(160 - w / 2 + tile + gap + title.boundingRect().width() / 2, 32.5),
                     Qt::white);
        });
    }

    writeImage(QStringLiteral("closeButton.png"), QSizeF(40, 30), [](QPainter& p) {
        p.setPen(QPen(QColor(255, 255, 255, 110), 1.0));
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRoundedRect(QRectF(1.5, 1.5, 37, 27), 7, 7);
        p.setPen(glyphPen(Qt::white, 2.2));
        p.drawLine(QPointF(15, 10), QPointF(25, 20));
        p.drawLine(QPointF(25, 10), QPointF(15, 20));
    });
    // Background of the send button: its title is inset 18 points on the right,
    // where the arrow goes.
    writeImage(QStringLiteral("sendButton.png"), QSizeF(70, 30), [](QPainter& p) {
        const QRectF r(1.5, 1.5, 67, 27);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(92, 176, 88));
        g.setColorAt(1, QColor(52, 132, 52));
        p.setPen(QPen(QColor(255, 255, 255, 120), 1.0));
        p.setBrush(g);
        p.drawRoundedRect(r, 7, 7);
        p.setPen(glyphPen(Qt::white, 2.0));
        p.drawPolyline(QPolygonF() << QPointF(56, 10) << QPointF(61, 15) << QPointF(56, 20));
    });
    writeImage(QStringLiteral("accountButton.png"), QSizeF(150, 36), [](QPainter& p) {
        const QRectF r(1, 1, 148, 34);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(98, 106, 118));
        g.setColorAt(1, QColor(58, 64, 74));
        p.setPen(QPen(QColor(40, 44, 50), 1.0));
        p.setBrush(g);
        p.drawRoundedRect(r, 8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(230, 233, 238));
        p.drawEllipse(QPointF(18, 14), 4.5, 4.5);
        p.drawChord(QRectF(9.5, 19.5, 17, 14), 0, 180 * 16);
    });
    writeImage(QStringLiteral("contentClearButton.png"), QSizeF(24, 24), [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 156, 166));
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        p.setPen(glyphPen(Qt::white, 2.0));
        p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
        p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
    });
    writeImage(QStringLiteral("fbicon.png"), QSizeF(20, 20), [](QPainter& p) {
        p.scale(20.0 / 30, 20.0 / 30);
        glyphLetterTile(QStringLiteral("f"), 17, QPointF(1.5, 2))(p, Qt::white);
    });
    writeImage(QStringLiteral("pagearrowgrey.png"), QSizeF(20, 20), [](QPainter& p) {
        p.setPen(glyphPen(QColor(140, 146, 156), 2.4));
        p.drawPolyline(QPolygonF() << QPointF(8, 5) << QPointF(13, 10) << QPointF(8, 15));
    });
    auto radio = [](bool on) {
        return [on](QPainter& p) {
            p.setPen(QPen(kInk, 1.5));
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
            if (on) {
                p.setPen(Qt::NoPen);
                p.setBrush(kInk);
                p.drawEllipse(QPointF(12, 12), 4.8, 4.8);
            }
        };
    };
    writeImage(QStringLiteral("nonePublic.png"), QSizeF(24, 24), radio(false));
    writeImage(QStringLiteral("checkPublic.png"), QSizeF(24, 24), radio(true));
    writeImage(QStringLiteral("unselected.png"), QSizeF(30, 30), [](QPainter& p) {
        p.setPen(QPen(QColor(170, 176, 186), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(15, 15), 10, 10);
    });
    writeImage(QStringLiteral("checkset.png"), QSizeF(30, 30), [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(15, 15), 10.5, 10.5);
        p.setPen(glyphPen(Qt::white, 2.4));
        p.drawPolyline(QPolygonF() << QPointF(10, 15.5) << QPointF(13.8, 19) << QPointF(20.5, 11));
    });
    // Thumbnail placeholders.
    auto placeholder = [](qreal side) {
        return [side](QPainter& p) {
            const QRectF r(0.5, 0.5, side - 1, side - 1);
            p.setPen(QPen(QColor(200, 205, 212), 1.0));
            p.setBrush(QColor(232, 235, 239));
            p.drawRect(r);
            p.save();
            p.translate(side / 2 - 18, side / 2 - 14);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(180, 186, 196));
            p.drawPolygon(QPolygonF() << QPointF(2, 26) << QPointF(13, 12) << QPointF(20, 19) << QPointF(25, 14)
                                      << QPointF(34, 26));
            p.drawEllipse(QPointF(27, 6), 3.5, 3.5);
            p.restore();
        };
    };
    writeImage(QStringLiteral("noimage.png"), QSizeF(72, 72), placeholder(72));
    writeImage(QStringLiteral("noimage75.png"), QSizeF(75, 75), placeholder(75));
    // Rows of the image-host chooser: the host's name as a word mark.
    struct Host {
        QString file, word;
        QColor colour;
    };
    const Host hosts[] = {{QStringLiteral("mobypicture.png"), QStringLiteral("mobypicture"), QColor(40, 120, 190)},
                          {QStringLiteral("twitpic.png"), QStringLiteral("twitpic"), QColor(60, 150, 70)},
                          {QStringLiteral("yfrog.png"), QStringLiteral("yfrog"), QColor(200, 90, 40)}};
    for (const Host& h : hosts) {
        writeImage(h.file, QSizeF(150, 36), [&](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(h.colour);
            p.drawRoundedRect(QRectF(4, 8, 20, 20), 5, 5);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(14, 18), 4.5, 4.5);
            p.setBrush(h.colour);
            p.drawEllipse(QPointF(14, 18), 2.2, 2.2);
            const QFont f = font(16, QFont::Bold);
            const QPainterPath word = textPath(h.word, f, QPointF(0, 0));
            fillText(p, h.word, f, QPointF(32 + word.boundingRect().width() / 2, 18), QColor(50, 56, 66));
        });
    }
    // The tag picker's search row.
    writeImage(QStringLiteral("bgSearch.png"), QSizeF(320, 44), [](QPainter& p) {
        QLinearGradient g(QPointF(0, 0), QPointF(0, 44));
        g.setColorAt(0, QColor(214, 219, 226));
        g.setColorAt(1, QColor(184, 191, 201));
        p.fillRect(QRectF(0, 0, 320, 44), g);
        p.fillRect(QRectF(0, 43, 320, 1), QColor(150, 156, 166));
    });
    writeImage(QStringLiteral("inputSearch.png"), QSizeF(240, 30), [](QPainter& p) {
        p.setPen(QPen(QColor(150, 156, 166), 1.0));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(0.5, 0.5, 239, 29), 14.5, 14.5);
        p.setPen(glyphPen(QColor(140, 146, 156), 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(15, 14), 5, 5);
        p.drawLine(QPointF(18.6, 17.6), QPointF(22, 21));
    });
    writeImage(QStringLiteral("addTag.png"), QSizeF(30, 30), [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(15, 15), 12, 12);
        p.setPen(glyphPen(Qt::white, 2.6));
        p.drawLine(QPointF(15, 9), QPointF(15, 21));
        p.drawLine(QPointF(9, 15), QPointF(21, 15));
    });
}

// ---------------------------------------------------------------------------
// Help pictures: a phone showing the editing screen at the step explained.

// The sketched photo, in unit coordinates of its frame.
QPainterPath sceneNear()
{
    // A flower close to the camera: bloom, stem and two leaves.
    QPainterPath path;
    path.addEllipse(QPointF(0.34, 0.60), 0.15, 0.11);
    QPainterPath stem;
    stem.moveTo(0.32, 0.68);
    stem.cubicTo(0.30, 0.80, 0.33, 0.90, 0.31, 1.0);
    stem.lineTo(0.37, 1.0);
    stem.cubicTo(0.39, 0.90, 0.36, 0.80, 0.37, 0.68);
    stem.closeSubpath();
    QPainterPath leafL;
    leafL.moveTo(0.32, 0.86);
    leafL.cubicTo(0.22, 0.80, 0.14, 0.84, 0.12, 0.88);
    leafL.cubicTo(0.18, 0.92, 0.27, 0.91, 0.32, 0.86);
    QPainterPath leafR;
    leafR.moveTo(0.36, 0.80);
    leafR.cubicTo(0.46, 0.74, 0.54, 0.77, 0.56, 0.80);
    leafR.cubicTo(0.50, 0.85, 0.42, 0.85, 0.36, 0.80);
    return path.united(stem).united(leafL).united(leafR);
}

QPainterPath sceneMiddle()
{
    QPainterPath crown;
    crown.addEllipse(QPointF(0.72, 0.34), 0.17, 0.12);
    QPainterPath trunk;
    trunk.addRect(QRectF(0.70, 0.40, 0.045, 0.17));
    return crown.united(trunk);
}

void drawScene(QPainter& p, const QRectF& frame, qreal ghostAlpha = 1.0)
{
    const QTransform unit = QTransform::fromScale(frame.width(), frame.height()) *
                            QTransform::fromTranslate(frame.x(), frame.y());
    p.save();
    p.setOpacity(ghostAlpha);
    p.setClipRect(frame);
    QLinearGradient sky(frame.topLeft(), QPointF(frame.x(), frame.y() + frame.height() * 0.5));
    sky.setColorAt(0, QColor(128, 178, 228));
    sky.setColorAt(1, QColor(222, 234, 246));
    p.fillRect(frame, sky);
    p.setPen(Qt::NoPen);
    QPainterPath hills;
    hills.moveTo(0, 0.50);
    hills.cubicTo(0.15, 0.38, 0.30, 0.40, 0.45, 0.46);
    hills.cubicTo(0.60, 0.36, 0.85, 0.36, 1.0, 0.44);
    hills.lineTo(1.0, 0.60);
    hills.lineTo(0, 0.60);
    hills.closeSubpath();
    p.setBrush(QColor(128, 150, 182));
    p.drawPath(unit.map(hills));
    QPainterPath ground;
    ground.addRect(QRectF(0, 0.54, 1, 0.46));
    QLinearGradient grass(unit.map(QPointF(0, 0.54)), unit.map(QPointF(0, 1)));
    grass.setColorAt(0, QColor(150, 190, 110));
    grass.setColorAt(1, QColor(84, 136, 62));
    p.setBrush(grass);
    p.drawPath(unit.map(ground));
    p.setBrush(QColor(70, 96, 52));
    p.drawPath(unit.map(sceneMiddle()));
    p.setBrush(QColor(58, 128, 72));
    QPainterPath crown;
    crown.addEllipse(QPointF(0.72, 0.34), 0.17, 0.12);
    p.drawPath(unit.map(crown));
    p.setBrush(QColor(70, 140, 60));
    p.drawPath(unit.map(sceneNear()));
    // The bloom: petals and its heart.
    p.setBrush(QColor(236, 120, 150));
    for (int i = 0; i < 8; ++i) {
        const qreal a = i * std::numbers::pi / 4;
        QPainterPath petal;
        petal.addEllipse(QPointF(0.34 + 0.085 * std::cos(a), 0.60 + 0.062 * std::sin(a)), 0.06, 0.045);
        p.drawPath(unit.map(petal));
    }
    p.setBrush(QColor(250, 206, 80));
    QPainterPath heart;
    heart.addEllipse(QPointF(0.34, 0.60), 0.045, 0.034);
    p.drawPath(unit.map(heart));
    p.restore();
}

struct BarItem {
    Glyph glyph;
    bool selected = false;
    bool tapped = false;
};

// An ordinary bar in screen units (320 wide), with items of `itemWidth`.
void drawMiniBar(QPainter& p, qreal y, qreal height, const std::vector<BarItem>& left,
                 const std::vector<BarItem>& right, qreal itemWidth)
{
    QLinearGradient g(QPointF(0, y), QPointF(0, y + height));
    g.setColorAt(0, QColor(66, 71, 80));
    g.setColorAt(0.5, QColor(40, 44, 50));
    g.setColorAt(1, QColor(26, 28, 32));
    p.fillRect(QRectF(0, y, 320, height), g);
    auto item = [&](const BarItem& it, qreal x) {
        if (it.selected) {
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawRoundedRect(QRectF(x + 1, y + 1, itemWidth - 2, height - 2), 5, 5);
        }
        p.save();
        p.translate(x + itemWidth / 2 - 15, y + height / 2 - 15);
        drawIcon(p, Surface::Bar, it.glyph, it.selected || it.tapped ? kBarGlyphDown : kBarGlyph);
        p.restore();
    };
    for (std::size_t i = 0; i < left.size(); ++i)
        item(left[i], i * itemWidth);
    for (std::size_t i = 0; i < right.size(); ++i)
        item(right[i], 320 - (right.size() - i) * itemWidth);
}

// A fingertip touching the screen at `at` (screen units).
void drawTouch(QPainter& p, QPointF at)
{
    p.setPen(QPen(QColor(255, 255, 255, 230), 2.5));
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawEllipse(at, 16, 16);
    p.setPen(QPen(QColor(0, 0, 0, 60), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(at, 18, 18);
}

// The phone, its screen 320 x 480 units scaled into `screen`.
void drawPhone(QPainter& p, const QRectF& screen, const std::function<void(QPainter&)>& content)
{
    const qreal pad = screen.width() * 0.055;
    const QRectF body = screen.adjusted(-pad, -pad * 2.4, pad, pad * 2.4);
    softShadow(p, body, pad * 2.6, 4, 3, 80);
    QLinearGradient g(body.topLeft(), body.bottomRight());
    g.setColorAt(0, QColor(64, 68, 76));
    g.setColorAt(1, QColor(24, 26, 30));
    p.setPen(QPen(QColor(20, 20, 24), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(body, pad * 2.6, pad * 2.6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 96, 106));
    p.drawRoundedRect(QRectF(body.center().x() - 14, body.top() + pad * 1.1, 28, 3), 1.5, 1.5);
    p.setBrush(QColor(56, 60, 68));
    p.drawEllipse(QPointF(body.center().x(), body.bottom() - pad * 1.2), pad * 0.75, pad * 0.75);
    p.save();
    p.setClipRect(screen);
    p.translate(screen.topLeft());
    p.scale(screen.width() / 320, screen.height() / 480);
    p.fillRect(QRectF(0, 0, 320, 480), QColor(30, 32, 36));
    content(p);
    p.restore();
}

// The photo on the editing screens: a portrait picture fitted into the canvas.
const QRectF kMiniPhoto(11.5, 40, 297, 396);

enum class Editor { Painting, Smart };
// Bottom-bar indices of the tools (the eraser only on the smart selection).
enum Tool { kFg, kMg, kBg, kEraser, kNoTool = -1 };

struct HelpShot {
    Editor editor;
    int selectedTool;  // index on the bottom bar
    bool tapNext = false;
    std::function<void(QPainter&, const QTransform&)> overlay; // over the photo, unit transform
    QPointF touch = QPointF(-1, -1);                             // unit coordinates of the photo
};

void drawEditingScreen(QPainter& p, const HelpShot& shot)
{
    drawScene(p, kMiniPhoto);
    const QTransform unit = QTransform::fromScale(kMiniPhoto.width(), kMiniPhoto.height()) *
                            QTransform::fromTranslate(kMiniPhoto.x(), kMiniPhoto.y());
    if (shot.overlay) {
        p.save();
        p.setClipRect(kMiniPhoto);
        shot.overlay(p, unit);
        p.restore();
    }
    const bool smart = shot.editor == Editor::Smart;
    const auto layers = [](int active) {
        return Glyph([active](QPainter& q, const QColor& c) { glyphLayers(q, c, active); });
    };
    std::vector<BarItem> top = {{glyphBack}, {glyphUndo}, {glyphClear}};
    std::vector<BarItem> topRight = {{smart ? Glyph(glyphPaint) : Glyph(glyphStroke)}, {glyphNext, false, shot.tapNext}};
    drawMiniBar(p, 0, 40, top, topRight, 48);
    std::vector<BarItem> bottom = {{layers(2)}, {layers(1)}, {layers(0)}};
    std::vector<BarItem> bottomRight;
    if (smart) {
        bottom.push_back({glyphEraser});
        bottom.push_back({glyphPanZoom});
        bottomRight.push_back({glyphHelp});
    } else {
        bottom.push_back({glyphPanZoom});
        bottomRight.push_back({glyphBrushSizes});
    }
    if (shot.selectedTool >= 0 && shot.selectedTool < static_cast<int>(bottom.size()))
        bottom[shot.selectedTool].selected = true;
    drawMiniBar(p, 436, 44, bottom, bottomRight, smart ? 52.8 : 61.6);
    if (shot.touch.x() >= 0)
        drawTouch(p, unit.map(shot.touch));
    if (shot.tapNext)
        drawTouch(p, QPointF(320 - 24, 22));
}

// Red at half opacity times the level, as the editors show the depth.
QColor depthRed(int level)
{
    return QColor(255, 0, 0, 128 * level / 255);
}

void strokeLine(QPainter& p, const QTransform& unit, const std::vector<QPointF>& points, int grey,
                qreal width = 9)
{
    QPainterPath path;
    path.moveTo(points.front());
    for (std::size_t i = 1; i + 1 < points.size(); i += 2)
        path.quadTo(points[i], points[i + 1]);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(grey, grey, grey), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(unit.map(path));
}

void strokeFg(QPainter& p, const QTransform& u)
{
    strokeLine(p, u, {{0.25, 0.58}, {0.34, 0.52}, {0.42, 0.60}, {0.36, 0.75}, {0.34, 0.92}}, 255);
}
void strokeMg(QPainter& p, const QTransform& u)
{
    strokeLine(p, u, {{0.62, 0.32}, {0.72, 0.27}, {0.80, 0.34}, {0.73, 0.42}, {0.72, 0.52}}, 85);
}
void strokeBg(QPainter& p, const QTransform& u)
{
    strokeLine(p, u, {{0.08, 0.12}, {0.30, 0.06}, {0.50, 0.16}, {0.70, 0.08}, {0.90, 0.14}}, 0);
    strokeLine(p, u, {{0.06, 0.70}, {0.10, 0.80}, {0.08, 0.95}}, 0);
    strokeLine(p, u, {{0.70, 0.70}, {0.82, 0.82}, {0.92, 0.94}}, 0);
}

void fillLevel(QPainter& p, const QTransform& u, const QPainterPath& area, int level)
{
    p.setPen(Qt::NoPen);
    p.setBrush(depthRed(level));
    p.drawPath(u.map(area));
}

// The segmentation result: the near and middle regions, slightly generous.
void segments(QPainter& p, const QTransform& u)
{
    QPainterPath mid = sceneMiddle();
    QPainterPath midGround;
    midGround.addEllipse(QPointF(0.74, 0.56), 0.20, 0.04);
    fillLevel(p, u, mid.united(midGround), 85);
    fillLevel(p, u, sceneNear(), 255);
}

void makeHelpPictures()
{
    // Shown at natural size on the help card from y 62; the texts start at
    // y 385, so each picture is 210 x 315 (a 2 : 3 screen in a phone).
    const QSizeF size(210, 315);
    const QRectF screen(20, 25, 170, 255);
    auto picture = [&](const QString& name, const HelpShot& shot) {
        writeImage(name, size, [&](QPainter& p) {
            p.fillRect(QRectF(QPointF(0, 0), size), kCard);
            drawPhone(p, screen, [&](QPainter& q) { drawEditingScreen(q, shot); });
        });
    };

    // Manual painting: paint the near subject, then go on.
    picture(QStringLiteral("howto_manual_1.jpg"),
            {Editor::Painting, kFg, false,
             [](QPainter& p, const QTransform& u) {
                 QPainterPath done;
                 done.addRect(QRectF(0, 0.45, 1, 0.55));
                 fillLevel(p, u, sceneNear().intersected(done), 255);
             },
             QPointF(0.40, 0.50)});
    picture(QStringLiteral("howto_manual_2.jpg"),
            {Editor::Painting, kMg, true, [](QPainter& p, const QTransform& u) { segments(p, u); }});

    // Smart selection: one stroke per depth, the regions it yields, fixing, next.
    picture(QStringLiteral("howto_smart_1.jpg"),
            {Editor::Smart, kFg, false, [](QPainter& p, const QTransform& u) { strokeFg(p, u); },
             QPointF(0.34, 0.92)});
    picture(QStringLiteral("howto_smart_2.jpg"),
            {Editor::Smart, kMg, false,
             [](QPainter& p, const QTransform& u) {
                 strokeFg(p, u);
                 strokeMg(p, u);
             },
             QPointF(0.72, 0.52)});
    picture(QStringLiteral("howto_smart_3.jpg"),
            {Editor::Smart, kBg, false,
             [](QPainter& p, const QTransform& u) {
                 strokeFg(p, u);
                 strokeMg(p, u);
                 strokeBg(p, u);
             },
             QPointF(0.92, 0.94)});
    picture(QStringLiteral("howto_smart_4.jpg"),
            {Editor::Smart, kBg, false, [](QPainter& p, const QTransform& u) {
                 segments(p, u);
                 strokeFg(p, u);
                 strokeMg(p, u);
                 strokeBg(p, u);
             }});
    picture(QStringLiteral("howto_smart_5.jpg"),
            {Editor::Smart, kEraser, false,
             [](QPainter& p, const QTransform& u) {
                 segments(p, u);
                 strokeFg(p, u);
                 strokeMg(p, u);
                 // A stray background stroke that crossed the tree, being erased.
                 strokeLine(p, u, {{0.55, 0.22}, {0.62, 0.26}, {0.66, 0.30}}, 0);
             },
             QPointF(0.68, 0.31)});
    picture(QStringLiteral("howto_smart_6.jpg"),
            {Editor::Smart, kNoTool, true, [](QPainter& p, const QTransform& u) { segments(p, u); }});

    // Two-shot camera: the first shot, then a short step to the right.
    writeImage(QStringLiteral("howto_twoshot.png"), QSizeF(250, 240), [](QPainter& p) {
        drawScene(p, QRectF(55, 6, 140, 105));
        p.setPen(QPen(QColor(190, 198, 208), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(55, 6, 140, 105));
        const QRectF phones[2] = {QRectF(62, 148, 44, 66), QRectF(144, 148, 44, 66)};
        for (int i = 0; i < 2; ++i) {
            const QRectF& r = phones[i];
            p.setPen(QPen(withAlpha(kInk, 110), 1.2, Qt::DashLine));
            p.drawLine(QPointF(r.center().x(), r.top()), QPointF(i == 0 ? 118 : 132, 100));
            drawPhone(p, r, [](QPainter& q) { drawScene(q, QRectF(0, 0, 320, 480)); });
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawEllipse(QPointF(r.center().x(), r.bottom() + 16), 8.5, 8.5);
            fillText(p, i == 0 ? QStringLiteral("1") : QStringLiteral("2"), font(11.5, QFont::Bold),
                     QPointF(r.center().x(), r.bottom() + 16), Qt::white);
        }
        p.setPen(glyphPen(QColor(220, 60, 50), 2.4));
        p.drawLine(QPointF(112, 181), QPointF(132, 181));
        arrowHead(p, QPointF(139, 181), 0, 7, QColor(220, 60, 50));
    });

    // Pair alignment: two ghosted shots and the arrow buttons.
    writeImage(QStringLiteral("howto_calib.png"), QSizeF(250, 270), [](QPainter& p) {
        const QRectF screen(51, 22, 148, 222);
        drawPhone(p, screen, [](QPainter& q) {
            q.fillRect(QRectF(0, 0, 320, 480), Qt::black);
            const QRectF photo(11.5, 40, 297, 396);
            drawScene(q, photo);
            drawScene(q, photo.translated(14, 6), 0.5);
            std::vector<BarItem> top = {{glyphBack},
                                        {[](QPainter& r, const QColor& c) { glyphPair(r, c, 0); }},
                                        {[](QPainter& r, const QColor& c) { glyphPair(r, c, 1); }},
                                        {[](QPainter& r, const QColor& c) { glyphPair(r, c, 2); }}};
            drawMiniBar(q, 0, 40, top, {{glyphNext}}, 64);
            std::vector<BarItem> bottom = {{glyphReset}, {glyphMove(0)}, {glyphMove(180)}, {glyphMove(270)},
                                           {glyphMove(90)}};
            bottom[3].tapped = true;
            drawMiniBar(q, 436, 44, bottom, {}, 64);
            drawTouch(q, QPointF(64 * 3.5, 458));
        });
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/images");
    if (argc > 2) {
        std::fprintf(stderr, "usage: make-resources [output-folder]\n");
        return 2;
    }
    if (!QFontDatabase::families().contains(kFontFamily)) {
        std::fprintf(stderr, "make-resources: the font \"%s\" is not installed (fonts-dejavu-core)\n",
                     qPrintable(kFontFamily));
        return 1;
    }
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "make-resources: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    g_out = QDir(folder);

    makeToolbarIcons();
    makeBars();
    makeHomeScreen();
    makeMessageParts();
    makeHelpParts();
    makeCameraParts();
    makeServiceParts();
    makeHelpPictures();

    if (g_failed)
        return 1;
    std::printf("make-resources: wrote %d files to %s\n", g_written, qPrintable(folder));
    return 0;
}
