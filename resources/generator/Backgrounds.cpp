// Window backgrounds: the title band, the drop zone, the button strip, the panel paper,
// the progress track, the preview title tile, the about picture and the application icon.
#include "ArtKit.h"
#include "Painters.h"

#include <QLinearGradient>
#include <QRadialGradient>
#include <QtMath>

namespace art {

using namespace palette;

namespace {

constexpr int kPaperW = 395;
constexpr int kPaperH = 48;

void TitleBand(QPainter& p, int w, int h) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, kCharcoalTop);
    g.setColorAt(1, kCharcoalBottom);
    p.fillRect(QRect(0, 0, w, h), g);
    p.fillRect(QRect(0, 0, w, 1), QColor(0x3A, 0x3F, 0x4A)); // top light edge
}

// The indigo-to-violet drop field with two soft glows, identical for both centre images.
void DropField(QPainter& p, int w, int h) {
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, kIndigo);
    g.setColorAt(1, kViolet);
    p.fillRect(QRect(0, 0, w, h), g);
    QRadialGradient glow(QPointF(w * 0.18, h * 0.05), w * 0.55);
    glow.setColorAt(0, QColor(255, 255, 255, 38));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, 0, w, h), glow);
    QRadialGradient warm(QPointF(w * 0.95, h * 1.05), w * 0.5);
    warm.setColorAt(0, QColor(0xE0, 0x5A, 0xC8, 60));
    warm.setColorAt(1, QColor(0xE0, 0x5A, 0xC8, 0));
    p.fillRect(QRect(0, 0, w, h), warm);
    // A shade under the title band and above the button strip gives the field depth.
    QLinearGradient top(0, 0, 0, 8);
    top.setColorAt(0, QColor(0, 0, 0, 70));
    top.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRect(0, 0, w, 8), top);
}

void Basket(QPainter& p, int w, int h) {
    // The dashed tray; the caption "Drop images here" is drawn by the window at y 152.
    const QRectF tray(14.5, 9.5, w - 29, h - 17);
    QPen dash(QColor(255, 255, 255, 120), 2);
    dash.setDashPattern({5, 4});
    dash.setCapStyle(Qt::RoundCap);
    p.setPen(dash);
    p.setBrush(QColor(255, 255, 255, 14));
    p.drawRoundedRect(tray, 16, 16);
    // The drop icon in a soft disc above the caption.
    const QPointF c(w / 2.0, 72);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawEllipse(c, 38, 38);
    p.setBrush(QColor(255, 255, 255, 24));
    p.drawEllipse(c, 29, 29);
    DrawGlyph(p, Glyph::DropInto, QRectF(c.x() - 17, c.y() - 17, 34, 32), QColor(255, 255, 255));
}

void ButtonStrip(QPainter& p, int w, int h) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0xF3, 0xF4, 0xF8));
    g.setColorAt(1, QColor(0xE3, 0xE6, 0xEE));
    p.fillRect(QRect(0, 0, w, h), g);
    p.fillRect(QRect(0, 0, w, 1), QColor(0xFF, 0xFF, 0xFF, 200));
    p.fillRect(QRect(0, h - 1, w, 1), QColor(0xC4, 0xC8, 0xD2));
    // Outer frame of the window continues down the sides.
    p.fillRect(QRect(0, 0, 1, h), kBorder);
    p.fillRect(QRect(w - 1, 0, 1, h), kBorder);
}

void Paper(QImage& img) {
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = PaperAt(x, y).rgba();
    }
}

void Progress(QPainter& p, int w, int h) {
    // A recessed well; the bar is painted inside it from (5, 6) to (w - 6, h - 6).
    const QRectF well(2.5, 3.5, w - 5, h - 7);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(well.translated(0, 1), 9, 9); // lower highlight
    QLinearGradient g(0, well.top(), 0, well.bottom());
    g.setColorAt(0, QColor(0x14, 0x10, 0x3C, 150));
    g.setColorAt(1, QColor(0x24, 0x1C, 0x5C, 110));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x10, 0x0C, 0x30, 150), 1));
    p.drawRoundedRect(well, 9, 9);
    QLinearGradient inner(0, well.top(), 0, well.top() + 6);
    inner.setColorAt(0, QColor(0, 0, 0, 70));
    inner.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(inner);
    p.drawRoundedRect(well.adjusted(1, 1, -1, -1), 8, 8);
}

void About(QPainter& p, int w, int h) {
    // Left: the violet field with the icon. Right: paper, on which the version reads in black.
    // Bottom: a charcoal strip, on which the grey credit line reads.
    QImage paper = NewImage(w, h);
    Paper(paper);
    p.drawImage(0, 0, paper);
    const int split = 250, strip = 262;
    QLinearGradient g(0, 0, split, strip);
    g.setColorAt(0, kIndigo);
    g.setColorAt(1, kViolet);
    p.fillRect(QRect(0, 0, split, strip), g);
    QRadialGradient glow(QPointF(split * 0.3, 20), 220);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, 0, split, strip), glow);
    const QImage icon = PaintAppIcon(128);
    p.drawImage(QPointF((split - 128) / 2.0, 46), icon);
    p.setPen(QColor(255, 255, 255, 230));
    p.setFont(MakeFont(GetFonts().script, 22));
    p.drawText(QRectF(0, 185, split, 44), Qt::AlignCenter, QStringLiteral("batch image editor"));
    // Right side: the name large, a thin rule, and room for the version at y 118.
    p.setPen(QColor(0x2F, 0x2A, 0x8F));
    p.setFont(MakeFont(GetFonts().script, 44));
    p.drawText(QRectF(270, 30, 220, 70), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Rexmill"));
    p.fillRect(QRect(275, 106, 190, 1), QColor(0xC9, 0xC4, 0xD8));
    p.setPen(QColor(0x55, 0x5B, 0x68));
    p.setFont(MakeFont(GetFonts().sans, 13));
    p.drawText(QRectF(275, 150, 210, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("Batch image editing:\nwatermark, resize, optimize\nand rename."));
    QLinearGradient bottom(0, strip, 0, h);
    bottom.setColorAt(0, kCharcoalTop);
    bottom.setColorAt(1, kCharcoalBottom);
    p.fillRect(QRect(0, strip, w, h - strip), bottom);
    p.fillRect(QRect(0, strip, w, 1), QColor(0x8A, 0x55, 0xD8));
}

} // namespace

QColor PaperAt(int x, int y) {
    // Warm paper: a faint fibre pattern made of sines whose periods divide the tile, plus
    // per-pixel grain from a fixed-seed hash, so the tile repeats without a seam.
    const int tx = ((x % kPaperW) + kPaperW) % kPaperW;
    const int ty = ((y % kPaperH) + kPaperH) % kPaperH;
    const qreal fx = 2 * M_PI * tx / kPaperW, fy = 2 * M_PI * ty / kPaperH;
    const qreal fibre = 1.6 * qSin(fx * 5 + qSin(fy * 2) * 1.5) + 1.1 * qSin(fy * 3 + fx * 7) +
                        0.8 * qSin(fx * 23 + fy * 4);
    quint32 hsh = quint32(tx) * 73856093u ^ quint32(ty) * 19349663u ^ 0x5bd1e995u;
    hsh ^= hsh >> 13;
    hsh *= 0x85EBCA6Bu;
    hsh ^= hsh >> 16;
    const qreal grain = ((hsh & 0xFF) / 255.0 - 0.5) * 5.0;
    const int d = qRound(fibre + grain);
    return QColor(qBound(0, kPaper.red() + d, 255), qBound(0, kPaper.green() + d, 255),
                  qBound(0, kPaper.blue() + d - 1, 255));
}

QImage PaintBackground(const QString& name, int w, int h) {
    QImage img = NewImage(w, h);
    QPainter p(&img);
    Prepare(p);
    if (name == "BGTOP" || name == "PREVIEWTOP") {
        TitleBand(p, w, h);
        if (name == "BGTOP") {
            p.fillRect(QRect(0, h - 1, w, 1), QColor(0x12, 0x14, 0x19));
        }
    } else if (name == "BGBASKET" || name == "BGCENTER") {
        DropField(p, w, h);
        if (name == "BGBASKET")
            Basket(p, w, h);
    } else if (name == "BGBUTTONS") {
        ButtonStrip(p, w, h);
    } else if (name == "SETTINGS") {
        p.end();
        Paper(img);
    } else if (name == "BGBOTTOM") {
        p.end();
        // Continues the panel paper and closes the frame that the panels draw.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, PaperAt(x, y).rgba());
        QPainter q(&img);
        q.fillRect(QRect(0, 0, 1, h), kBorder);
        q.fillRect(QRect(w - 1, 0, 1, h), kBorder);
        q.fillRect(QRect(0, h - 1, w, 1), kBorder);
    } else if (name == "PROGRESS") {
        Progress(p, w, h);
    } else if (name == "ABOUTBG") {
        About(p, w, h);
    } else {
        return {};
    }
    return img;
}

QImage PaintAppIcon(int size) {
    QImage img = NewImage(size, size);
    QPainter p(&img);
    Prepare(p);
    const qreal s = size;
    const qreal m = s * 0.06;
    const QRectF tile(m, m, s - 2 * m, s - 2 * m);
    QLinearGradient g(tile.topLeft(), tile.bottomRight());
    g.setColorAt(0, QColor(0x4A, 0x3C, 0xD6));
    g.setColorAt(1, QColor(0x9B, 0x3F, 0xC9));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(tile, s * 0.22, s * 0.22);
    QRadialGradient glow(QPointF(s * 0.3, s * 0.2), s * 0.7);
    glow.setColorAt(0, QColor(255, 255, 255, 60));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glow);
    p.drawRoundedRect(tile, s * 0.22, s * 0.22);
    // Two photo cards, the back one tilted: a batch of images.
    auto card = [&](qreal angle, qreal dx, qreal dy, int alpha, bool picture) {
        p.save();
        p.translate(s * 0.5 + dx, s * 0.52 + dy);
        p.rotate(angle);
        const QRectF r(-s * 0.27, -s * 0.21, s * 0.54, s * 0.42);
        p.setBrush(QColor(255, 255, 255, alpha));
        p.drawRoundedRect(r, s * 0.05, s * 0.05);
        if (picture) {
            const QRectF in = r.adjusted(s * 0.05, s * 0.05, -s * 0.05, -s * 0.05);
            QLinearGradient sky(in.topLeft(), in.bottomLeft());
            sky.setColorAt(0, QColor(0xB9, 0xC8, 0xFF));
            sky.setColorAt(1, QColor(0xE6, 0xD9, 0xFF));
            p.setBrush(sky);
            p.drawRoundedRect(in, s * 0.02, s * 0.02);
            QPainterPath hills;
            hills.moveTo(in.left(), in.bottom());
            hills.lineTo(in.left() + in.width() * 0.35, in.top() + in.height() * 0.35);
            hills.lineTo(in.left() + in.width() * 0.58, in.top() + in.height() * 0.68);
            hills.lineTo(in.left() + in.width() * 0.75, in.top() + in.height() * 0.5);
            hills.lineTo(in.right(), in.bottom());
            hills.closeSubpath();
            p.setBrush(QColor(0x5B, 0x3F, 0xD0));
            p.drawPath(hills);
            p.setBrush(QColor(0xFF, 0xB8, 0x3D));
            p.drawEllipse(QPointF(in.left() + in.width() * 0.76, in.top() + in.height() * 0.28),
                          in.height() * 0.13, in.height() * 0.13);
        }
        p.restore();
    };
    card(-12, -s * 0.05, -s * 0.03, 110, false);
    card(6, s * 0.03, s * 0.03, 255, true);
    return img;
}

} // namespace art
