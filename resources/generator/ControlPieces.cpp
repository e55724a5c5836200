// Pieces of the value controls: the switch track and knob, the position pad and marker,
// the image picker's frame and overlay, the move/rotate icons and the preview spinner.
#include "ArtKit.h"
#include "Painters.h"

#include <QConicalGradient>
#include <QLinearGradient>

namespace art {

using namespace palette;

namespace {

void SwitchTrack(QPainter& p, int w, int h) {
    // Left half in the accent (shows when the knob is right, "on"), right half grey.
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    const qreal rad = (h - 1) / 2.0;
    QLinearGradient g(0, 0, w, 0);
    g.setColorAt(0, kWatermark);
    g.setColorAt(0.499, Lighter(kWatermark, 0.1));
    g.setColorAt(0.5, QColor(0xC9, 0xCE, 0xD8));
    g.setColorAt(1, QColor(0xD3, 0xD7, 0xE0));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x8E, 0x95, 0xA4), 1));
    p.drawRoundedRect(r, rad, rad);
    QLinearGradient shade(0, 1, 0, 6);
    shade.setColorAt(0, QColor(0, 0, 0, 55));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), rad - 1, rad - 1);
}

void SwitchKnob(QPainter& p, int w, int h) {
    const QRectF r(1.5, 0.5, w - 3, h - 1);
    const qreal rad = (h - 1) / 2.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(r.adjusted(-0.5, 0.5, 0.5, 0.5), rad, rad);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    g.setColorAt(1, QColor(0xE6, 0xE8, 0xEE));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x8A, 0x91, 0xA0), 1));
    p.drawRoundedRect(r, rad, rad);
    // Grip lines.
    p.setPen(QPen(QColor(0xA9, 0xAF, 0xBC), 1));
    for (int i = -1; i <= 1; ++i) {
        const qreal x = w / 2.0 + i * 3 + 0.5;
        p.drawLine(QPointF(x, 5.5), QPointF(x, h - 5.5));
    }
}

void Pad(QPainter& p, int w, int h) {
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    g.setColorAt(1, QColor(0xEE, 0xF0, 0xF5));
    p.setBrush(g);
    p.setPen(QPen(QColor(0xA6, 0xAC, 0xBA), 1));
    p.drawRoundedRect(r, 6, 6);
    // A dotted grid, with the nine anchor points (11, 47, 84 on each axis) stronger.
    p.setPen(Qt::NoPen);
    for (int y = 11; y <= 84; y += 8)
        for (int x = 11; x <= 84; x += 8)
            p.fillRect(QRectF(x, y, 1, 1), QColor(0xC4, 0xC9, 0xD4));
    p.setPen(QPen(QColor(0xD9, 0xDD, 0xE5), 1, Qt::DashLine));
    p.drawLine(QPointF(47.5, 6), QPointF(47.5, h - 6));
    p.drawLine(QPointF(6, 47.5), QPointF(w - 6, 47.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9A, 0xA2, 0xB3));
    for (qreal y : {11.5, 47.5, 84.5})
        for (qreal x : {11.5, 47.5, 84.5})
            p.drawEllipse(QPointF(x, y), 1.8, 1.8);
}

void Marker(QPainter& p, int w, int h) {
    const QPointF c(w / 2.0, h / 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4F, 0x6B, 0xED, 60));
    p.drawEllipse(c, 10.5, 10.5);
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawEllipse(c + QPointF(0, 0.6), 7.2, 7.2);
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(c, 7, 7);
    p.setBrush(kWatermark);
    p.drawEllipse(c, 4.6, 4.6);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(c + QPointF(-1.2, -1.3), 1.4, 1.4);
}

void PickerFrame(QPainter& p, int w, int h) {
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    p.setBrush(QColor(0xF7, 0xF8, 0xFB));
    p.setPen(QPen(QColor(0xA6, 0xAC, 0xBA), 1));
    p.drawRoundedRect(r, 6, 6);
    QPen dash(QColor(0xB6, 0xBC, 0xCA), 1);
    dash.setDashPattern({3, 3});
    p.setPen(dash);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(4, 4, -4, -4), 4, 4);
    DrawGlyph(p, Glyph::Photo, QRectF(w / 2.0 - 17, 14, 34, 27), QColor(0xB4, 0xBA, 0xC8));
}

void ChooseOverlay(QPainter& p, int w, int h) {
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawRoundedRect(r.translated(0, 1), h / 2.0 - 1, h / 2.0 - 1);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0x3A, 0x3F, 0x4B, 235));
    g.setColorAt(1, QColor(0x22, 0x25, 0x2D, 235));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x16, 0x18, 0x1E), 1));
    p.drawRoundedRect(r, h / 2.0 - 1, h / 2.0 - 1);
}

void Spinner(QPainter& p, int w, int h) {
    const QRectF ring(5, 5, w - 10, h - 10);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x6E, 0x3A, 0xC4, 45), 5));
    p.drawEllipse(ring);
    QConicalGradient g(ring.center(), 90);
    g.setColorAt(0, QColor(0x8A, 0x55, 0xD8, 255));
    g.setColorAt(0.75, QColor(0x4F, 0x6B, 0xED, 60));
    g.setColorAt(1, QColor(0x4F, 0x6B, 0xED, 60));
    QPen arc(QBrush(g), 5);
    arc.setCapStyle(Qt::RoundCap);
    p.setPen(arc);
    p.drawArc(ring, 90 * 16, 270 * 16);
}

} // namespace

QImage PaintControlPiece(const QString& name, int w, int h) {
    QImage img = NewImage(w, h);
    QPainter p(&img);
    Prepare(p);
    if (name == "TOGGLEBG") {
        SwitchTrack(p, w, h);
    } else if (name == "TOGGLESL") {
        SwitchKnob(p, w, h);
    } else if (name == "DOTTED") {
        Pad(p, w, h);
    } else if (name == "CIRCLE") {
        Marker(p, w, h);
    } else if (name == "IMGPICK") {
        PickerFrame(p, w, h);
    } else if (name == "CHOOSE") {
        ChooseOverlay(p, w, h);
    } else if (name == "MOVE") {
        DrawGlyph(p, Glyph::Move, QRectF(0.5, 0.5, w - 1, h - 1), kInk);
    } else if (name == "ROTATE") {
        DrawGlyph(p, Glyph::Rotate, QRectF(0.5, 0.5, w - 1, h - 1), kInk);
    } else if (name == "PRPROGRESS") {
        Spinner(p, w, h);
    } else {
        return {};
    }
    return img;
}

} // namespace art
