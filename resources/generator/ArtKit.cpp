#include "ArtKit.h"

#include <QPen>
#include <QtMath>

namespace art {

namespace {
Fonts g_fonts;
} // namespace

const Fonts& GetFonts() {
    return g_fonts;
}
void SetFonts(const Fonts& fonts) {
    g_fonts = fonts;
}

QFont MakeFont(const QString& family, qreal pixelSize, bool bold) {
    QFont f(family);
    f.setPixelSize(1); // reset any point size before the fractional size below
    // Painting goes to images of 96 dpi, where a point is 4/3 pixels.
    f.setPointSizeF(pixelSize * 72.0 / 96.0);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    f.setKerning(true);
    return f;
}

QImage NewImage(int width, int height) {
    QImage img(width, height, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    return img;
}

void Prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
}

QColor Mix(const QColor& a, const QColor& b, qreal t) {
    auto lerp = [t](int x, int y) { return qRound(x + (y - x) * t); };
    return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()),
                  lerp(a.alpha(), b.alpha()));
}
QColor Lighter(const QColor& c, qreal t) {
    return Mix(c, QColor(255, 255, 255, c.alpha()), t);
}
QColor Darker(const QColor& c, qreal t) {
    return Mix(c, QColor(0, 0, 0, c.alpha()), t);
}
QColor WithAlpha(const QColor& c, int alpha) {
    QColor r = c;
    r.setAlpha(alpha);
    return r;
}

QPainterPath RoundedRect(const QRectF& r, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

quint32 Noise::Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
}
qreal Noise::Unit() {
    return (Next() & 0xFFFFFF) / double(0x1000000);
}

namespace {

QPen StrokePen(const QColor& c, qreal width) {
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void Arrowhead(QPainter& p, QPointF tip, qreal angleDeg, qreal size) {
    const qreal a = qDegreesToRadians(angleDeg);
    const QPointF back(tip.x() - size * qCos(a), tip.y() - size * qSin(a));
    const QPointF n(-qSin(a) * size * 0.6, qCos(a) * size * 0.6);
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(back + n);
    head.lineTo(back - n);
    head.closeSubpath();
    p.drawPath(head);
}

void Padlock(QPainter& p, const QRectF& b, const QColor& c, bool closed) {
    const qreal w = b.width(), h = b.height();
    const QRectF body(b.left() + w * 0.12, b.top() + h * 0.45, w * 0.76, h * 0.55);
    const qreal sw = qMax(1.2, w * 0.13);
    p.setPen(StrokePen(c, sw));
    p.setBrush(Qt::NoBrush);
    const qreal sl = b.left() + w * 0.28, sr = b.left() + w * 0.72;
    const qreal top = b.top() + sw / 2;
    const qreal r = (sr - sl) / 2;
    QPainterPath shackle;
    if (closed) {
        shackle.moveTo(sl, body.top());
        shackle.lineTo(sl, top + r);
        shackle.arcTo(QRectF(sl, top, 2 * r, 2 * r), 180, -180);
        shackle.lineTo(sr, body.top());
    } else {
        // Open: the shackle lifted and swung to the right.
        const qreal lift = h * 0.12;
        const qreal ol = sl + w * 0.30, orr = sr + w * 0.30;
        const qreal orad = (orr - ol) / 2;
        shackle.moveTo(ol, body.top() - lift * 0.2);
        shackle.lineTo(ol, top - lift * 0.6 + orad);
        shackle.arcTo(QRectF(ol, top - lift * 0.6, 2 * orad, 2 * orad), 180, -180);
        shackle.lineTo(orr, top - lift * 0.6 + orad + h * 0.06);
    }
    p.drawPath(shackle);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(body, w * 0.12, w * 0.12);
}

} // namespace

void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& b, const QColor& c) {
    p.save();
    Prepare(p);
    const qreal w = b.width(), h = b.height();
    const qreal s = qMin(w, h);
    const qreal lw = qMax(1.3, s * 0.14);
    const QPointF mid = b.center();
    switch (glyph) {
    case Glyph::Droplet: {
        QPainterPath d;
        d.moveTo(mid.x(), b.top());
        d.cubicTo(mid.x() + w * 0.15, b.top() + h * 0.25, b.right(), b.top() + h * 0.42, b.right(),
                  b.top() + h * 0.64);
        d.arcTo(QRectF(b.left(), b.top() + h * 0.28, w, h * 0.72), 0, -180);
        d.cubicTo(b.left(), b.top() + h * 0.42, mid.x() - w * 0.15, b.top() + h * 0.25, mid.x(),
                  b.top());
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(d);
        // A small highlight keeps the drop from reading as a blot.
        p.setBrush(WithAlpha(QColor(255, 255, 255), 110));
        p.drawEllipse(QRectF(b.left() + w * 0.25, b.top() + h * 0.55, w * 0.2, h * 0.2));
        break;
    }
    case Glyph::Resize: {
        // Expand: a diagonal with arrowheads at both ends, between two corner brackets.
        const qreal sw = qMax(1.2, s * 0.12);
        p.setPen(StrokePen(c, sw));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(b.left() + w * 0.3, b.bottom() - h * 0.3),
                   QPointF(b.right() - w * 0.3, b.top() + h * 0.3));
        QPainterPath corners;
        corners.moveTo(b.left() + sw / 2, b.top() + h * 0.45);
        corners.lineTo(b.left() + sw / 2, b.bottom() - sw / 2);
        corners.lineTo(b.left() + w * 0.55, b.bottom() - sw / 2);
        corners.moveTo(b.right() - sw / 2, b.bottom() - h * 0.45);
        corners.lineTo(b.right() - sw / 2, b.top() + sw / 2);
        corners.lineTo(b.right() - w * 0.55, b.top() + sw / 2);
        p.drawPath(corners);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        Arrowhead(p, QPointF(b.right() - w * 0.2, b.top() + h * 0.2), -45, s * 0.32);
        Arrowhead(p, QPointF(b.left() + w * 0.2, b.bottom() - h * 0.2), 135, s * 0.32);
        break;
    }
    case Glyph::Bolt: {
        QPainterPath bolt;
        bolt.moveTo(b.left() + w * 0.62, b.top());
        bolt.lineTo(b.left() + w * 0.12, b.top() + h * 0.58);
        bolt.lineTo(b.left() + w * 0.48, b.top() + h * 0.58);
        bolt.lineTo(b.left() + w * 0.36, b.bottom());
        bolt.lineTo(b.left() + w * 0.90, b.top() + h * 0.38);
        bolt.lineTo(b.left() + w * 0.54, b.top() + h * 0.38);
        bolt.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(bolt);
        break;
    }
    case Glyph::Tag: {
        QPainterPath tag;
        tag.moveTo(b.left(), b.top() + h * 0.1);
        tag.lineTo(b.left() + w * 0.5, b.top() + h * 0.1);
        tag.lineTo(b.right(), b.top() + h * 0.55);
        tag.lineTo(b.left() + w * 0.55, b.bottom());
        tag.lineTo(b.left(), b.top() + h * 0.55);
        tag.closeSubpath();
        QPainterPath hole;
        hole.addEllipse(QPointF(b.left() + w * 0.25, b.top() + h * 0.33), s * 0.11, s * 0.11);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(tag.subtracted(hole));
        break;
    }
    case Glyph::Convert: {
        p.setPen(StrokePen(c, lw));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(b.left(), b.top() + h * 0.3),
                   QPointF(b.right() - w * 0.2, b.top() + h * 0.3));
        p.drawLine(QPointF(b.right(), b.top() + h * 0.7),
                   QPointF(b.left() + w * 0.2, b.top() + h * 0.7));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        Arrowhead(p, QPointF(b.right(), b.top() + h * 0.3), 0, s * 0.38);
        Arrowhead(p, QPointF(b.left(), b.top() + h * 0.7), 180, s * 0.38);
        break;
    }
    case Glyph::Eye: {
        QPainterPath eye;
        eye.moveTo(b.left(), mid.y());
        eye.quadTo(mid.x(), b.top() - h * 0.15, b.right(), mid.y());
        eye.quadTo(mid.x(), b.bottom() + h * 0.15, b.left(), mid.y());
        p.setPen(StrokePen(c, lw));
        p.setBrush(Qt::NoBrush);
        p.drawPath(eye);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(mid, s * 0.24, s * 0.24);
        break;
    }
    case Glyph::Close: {
        p.setPen(StrokePen(c, lw));
        p.drawLine(b.topLeft(), b.bottomRight());
        p.drawLine(b.topRight(), b.bottomLeft());
        break;
    }
    case Glyph::Minimize: {
        p.setPen(StrokePen(c, lw));
        p.drawLine(QPointF(b.left(), b.bottom() - lw / 2), QPointF(b.right(), b.bottom() - lw / 2));
        break;
    }
    case Glyph::ChevronLeft:
    case Glyph::ChevronRight:
    case Glyph::ChevronDown: {
        p.setPen(StrokePen(c, lw * 1.15));
        p.setBrush(Qt::NoBrush);
        QPainterPath v;
        if (glyph == Glyph::ChevronDown) {
            v.moveTo(b.left(), b.top() + h * 0.25);
            v.lineTo(mid.x(), b.bottom() - h * 0.25);
            v.lineTo(b.right(), b.top() + h * 0.25);
        } else {
            const qreal near =
                glyph == Glyph::ChevronLeft ? b.right() - w * 0.25 : b.left() + w * 0.25;
            const qreal far =
                glyph == Glyph::ChevronLeft ? b.left() + w * 0.25 : b.right() - w * 0.25;
            v.moveTo(near, b.top());
            v.lineTo(far, mid.y());
            v.lineTo(near, b.bottom());
        }
        p.drawPath(v);
        break;
    }
    case Glyph::Move: {
        p.setPen(StrokePen(c, qMax(1.0, s * 0.1)));
        p.drawLine(QPointF(mid.x(), b.top() + s * 0.2), QPointF(mid.x(), b.bottom() - s * 0.2));
        p.drawLine(QPointF(b.left() + s * 0.2, mid.y()), QPointF(b.right() - s * 0.2, mid.y()));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        const qreal a = s * 0.32;
        Arrowhead(p, QPointF(mid.x(), b.top()), -90, a);
        Arrowhead(p, QPointF(mid.x(), b.bottom()), 90, a);
        Arrowhead(p, QPointF(b.left(), mid.y()), 180, a);
        Arrowhead(p, QPointF(b.right(), mid.y()), 0, a);
        break;
    }
    case Glyph::Rotate: {
        const qreal r = s * 0.36;
        p.setPen(StrokePen(c, qMax(1.1, s * 0.12)));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(mid.x() - r, mid.y() - r, 2 * r, 2 * r), 100 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        const qreal a = qDegreesToRadians(100.0);
        const QPointF end(mid.x() + r * qCos(a), mid.y() - r * qSin(a));
        Arrowhead(p, end + QPointF(s * 0.12, -s * 0.02), 0, s * 0.34);
        break;
    }
    case Glyph::Underline: {
        p.setPen(StrokePen(c, qMax(1.2, w * 0.14)));
        p.setBrush(Qt::NoBrush);
        QPainterPath u;
        const qreal l = b.left() + w * 0.22, r = b.right() - w * 0.22;
        u.moveTo(l, b.top() + h * 0.06);
        u.lineTo(l, b.top() + h * 0.45);
        u.arcTo(QRectF(l, b.top() + h * 0.2, r - l, h * 0.5), 180, 180);
        u.lineTo(r, b.top() + h * 0.06);
        p.drawPath(u);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRect(QRectF(b.left() + w * 0.1, b.bottom() - h * 0.13, w * 0.8, h * 0.11));
        break;
    }
    case Glyph::LockOpen:
        Padlock(p, b, c, false);
        break;
    case Glyph::LockClosed:
        Padlock(p, b, c, true);
        break;
    case Glyph::Photo: {
        p.setPen(StrokePen(c, lw * 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(b.adjusted(lw / 2, lw / 2, -lw / 2, -lw / 2), s * 0.12, s * 0.12);
        QPainterPath hills;
        hills.moveTo(b.left() + w * 0.12, b.bottom() - h * 0.18);
        hills.lineTo(b.left() + w * 0.38, b.top() + h * 0.45);
        hills.lineTo(b.left() + w * 0.55, b.top() + h * 0.65);
        hills.lineTo(b.left() + w * 0.68, b.top() + h * 0.52);
        hills.lineTo(b.right() - w * 0.12, b.bottom() - h * 0.18);
        hills.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(hills);
        p.drawEllipse(QPointF(b.left() + w * 0.7, b.top() + h * 0.3), s * 0.09, s * 0.09);
        break;
    }
    case Glyph::DropInto: {
        // An arrow coming down into an open tray.
        p.setPen(StrokePen(c, lw));
        p.setBrush(Qt::NoBrush);
        QPainterPath tray;
        tray.moveTo(b.left(), b.top() + h * 0.55);
        tray.lineTo(b.left(), b.bottom() - lw / 2);
        tray.lineTo(b.right(), b.bottom() - lw / 2);
        tray.lineTo(b.right(), b.top() + h * 0.55);
        p.drawPath(tray);
        p.drawLine(QPointF(mid.x(), b.top()), QPointF(mid.x(), b.top() + h * 0.52));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        Arrowhead(p, QPointF(mid.x(), b.top() + h * 0.72), 90, s * 0.3);
        break;
    }
    case Glyph::Menu: {
        p.setPen(StrokePen(c, lw));
        for (int i = 0; i < 3; ++i) {
            const qreal y = b.top() + lw / 2 + i * (h - lw) / 2;
            p.drawLine(QPointF(b.left(), y), QPointF(b.right(), y));
        }
        break;
    }
    }
    p.restore();
}

} // namespace art
