// Buttons: the coloured text buttons, the operation toggles, the title-band buttons,
// the preview window's buttons and the lock check boxes, each in its U, D and X state.
#include "ArtKit.h"
#include "Painters.h"

#include <QFontMetricsF>
#include <QLinearGradient>

namespace art {

using namespace palette;

namespace {

enum class State { Up, Down, Disabled };

State StateOf(const QString& name) {
    switch (name.back().toLatin1()) {
    case 'D':
        return State::Down;
    case 'X':
        return State::Disabled;
    default:
        return State::Up;
    }
}

// Sets the brush and pen of a light (not pressed) toggle face of height h; returns its ink.
QColor UseLightFace(QPainter& p, int h) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0xFB, 0xFB, 0xFD));
    g.setColorAt(1, QColor(0xE4, 0xE7, 0xEE));
    p.setBrush(g);
    p.setPen(QPen(QColor(0xB3, 0xB9, 0xC6), 1));
    return QColor(0x4A, 0x50, 0x5C);
}

// The coloured text buttons; the caption is drawn by the button itself in white.
void TextButton(QPainter& p, int w, int h, const QColor& base, State st) {
    const QRectF r(0.5, 0.5, w - 1, h - 2);
    QColor top = Lighter(base, 0.18), bottom = Darker(base, 0.10);
    if (st == State::Down) {
        top = Darker(base, 0.22);
        bottom = Darker(base, 0.08);
    } else if (st == State::Disabled) {
        const QColor grey(0x9A, 0xA3, 0x9E);
        top = Mix(Lighter(base, 0.18), grey, 0.75);
        bottom = Mix(Darker(base, 0.10), grey, 0.75);
    }
    p.setPen(Qt::NoPen);
    if (st != State::Down) { // a soft drop shadow under a raised button
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRoundedRect(r.translated(0, 1.2), 6, 6);
    }
    const QRectF face = st == State::Down ? r.translated(0, 1) : r;
    QLinearGradient g(0, face.top(), 0, face.bottom());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.setPen(QPen(Darker(bottom, 0.25), 1));
    p.drawRoundedRect(face, 6, 6);
    // Inner highlight along the top edge, or an inner shade when pressed.
    p.setPen(QPen(st == State::Down ? QColor(0, 0, 0, 50) : QColor(255, 255, 255, 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(face.adjusted(1, 1, -1, -1), 5, 5);
}

struct Toggle {
    const char* base;
    const char* word;
    Glyph glyph;
    QColor colour;
};

const Toggle kToggles[] = {
    {"WATERMARK", "Watermark", Glyph::Droplet, kWatermark},
    {"RESIZE", "Resize", Glyph::Resize, kResize},
    {"OPTIMIZE", "Optimize", Glyph::Bolt, kOptimize},
    {"RENAME", "Rename", Glyph::Tag, kRename},
    {"CONVERT", "Convert", Glyph::Convert, kConvert},
};

// An operation toggle: a pill with the operation's icon and word; grey when up, filled
// with the operation's colour when down, faded when disabled.
void TogglePill(QPainter& p, int w, int h, const Toggle& t, State st) {
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    const qreal rad = (h - 1) / 2.0;
    QColor ink;
    p.save();
    if (st == State::Disabled)
        p.setOpacity(0.45);
    if (st == State::Down) {
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, Lighter(t.colour, 0.12));
        g.setColorAt(1, Darker(t.colour, 0.08));
        p.setBrush(g);
        p.setPen(QPen(Darker(t.colour, 0.28), 1));
        p.drawRoundedRect(r, rad, rad);
        p.setPen(QPen(QColor(255, 255, 255, 70), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), rad - 1, rad - 1);
        ink = QColor(255, 255, 255);
    } else {
        ink = UseLightFace(p, h);
        p.drawRoundedRect(r, rad, rad);
    }
    const QFont font = MakeFont(GetFonts().narrowBold, 11.5);
    const QFontMetricsF fm(font);
    const qreal textW = fm.horizontalAdvance(QString::fromLatin1(t.word));
    const qreal icon = 10, gap = 3;
    const qreal x0 = (w - (icon + gap + textW)) / 2.0;
    QColor iconColour = st == State::Down ? ink : t.colour;
    DrawGlyph(p, t.glyph, QRectF(x0, (h - icon) / 2.0, icon, icon), iconColour);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QRectF(x0 + icon + gap, 0, textW + 2, h), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromLatin1(t.word));
    p.restore();
}

void PreviewToggle(QPainter& p, int w, int h, State st) {
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    p.save();
    if (st == State::Disabled)
        p.setOpacity(0.45);
    QColor ink;
    if (st == State::Down) {
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, Lighter(kViolet, 0.1));
        g.setColorAt(1, Darker(kViolet, 0.1));
        p.setBrush(g);
        p.setPen(QPen(Darker(kViolet, 0.3), 1));
        ink = QColor(255, 255, 255);
    } else {
        ink = UseLightFace(p, h);
    }
    p.drawRoundedRect(r, 7, 7);
    DrawGlyph(p, Glyph::Eye, QRectF(8.5, 8, w - 17, h - 16), ink);
    p.restore();
}

// The wordmark that opens the main menu, on the charcoal title band.
void MainMenu(QPainter& p, int w, int h, State st) {
    if (st == State::Down) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 26));
        p.drawRoundedRect(QRectF(4, 4, w - 8, h - 8), 7, 7);
    }
    const QColor ink = st == State::Down ? QColor(255, 255, 255) : QColor(0xF0, 0xEE, 0xF8);
    DrawGlyph(p, Glyph::Menu, QRectF(13, 14, 12, 9), QColor(0xB8, 0x9C, 0xFF));
    // The wordmark as large as fits between the menu glyph and the chevron.
    const QString word = QStringLiteral("Rexmill");
    qreal size = 22;
    QFont font = MakeFont(GetFonts().script, size);
    while (size > 12 && QFontMetricsF(font).horizontalAdvance(word) > w - 32 - 22) {
        size -= 0.5;
        font = MakeFont(GetFonts().script, size);
    }
    const qreal textW = QFontMetricsF(font).horizontalAdvance(word);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QRectF(31, 0, textW + 4, h - 3), Qt::AlignLeft | Qt::AlignVCenter, word);
    DrawGlyph(p, Glyph::ChevronDown, QRectF(31 + textW + 6, 16, 8, 6), QColor(0xB8, 0xB6, 0xC4));
}

// Close and minimize of a title band: a light glyph, on a coloured disc when pressed.
void TitleGlyph(QPainter& p, int w, int h, Glyph glyph, State st, qreal inset) {
    const QRectF disc(0.5, 0.5, w - 1, h - 1);
    QColor ink(0xC9, 0xCC, 0xD6);
    if (st == State::Down) {
        p.setPen(Qt::NoPen);
        p.setBrush(glyph == Glyph::Close ? kRed : QColor(0x55, 0x5B, 0x6A));
        p.drawEllipse(disc);
        ink = QColor(255, 255, 255);
    }
    DrawGlyph(p, glyph, QRectF(inset, inset, w - 2 * inset, h - 2 * inset), ink);
}

// Previous and next in the preview's title band.
void Arrow(QPainter& p, int w, int h, bool next, State st) {
    const QRectF r(0.5, 0.5, w - 1, h - 1);
    p.setPen(QPen(st == State::Down ? Darker(kViolet, 0.3) : QColor(0x4A, 0x4F, 0x5C), 1));
    if (st == State::Down) {
        p.setBrush(kViolet);
    } else {
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, QColor(0x3E, 0x43, 0x4F));
        g.setColorAt(1, QColor(0x30, 0x34, 0x3E));
        p.setBrush(g);
    }
    p.drawRoundedRect(r, 6, 6);
    const QColor ink = st == State::Down ? QColor(255, 255, 255) : QColor(0xDD, 0xDF, 0xE6);
    DrawGlyph(p, next ? Glyph::ChevronRight : Glyph::ChevronLeft,
              QRectF(w / 2.0 - 5, h / 2.0 - 6, 10, 12), ink);
}

} // namespace

QImage PaintButton(const QString& name, int w, int h) {
    QImage img = NewImage(w, h);
    QPainter p(&img);
    Prepare(p);
    const State st = StateOf(name);
    const QString base = name.left(name.size() - 1);
    if (base == "BLUE") {
        TextButton(p, w, h, kBlue, st);
    } else if (base == "GREEN") {
        TextButton(p, w, h, kGreen, st);
    } else if (base == "RED") {
        TextButton(p, w, h, kRed, st);
    } else if (base == "PREVIEW") {
        PreviewToggle(p, w, h, st);
    } else if (base == "MAINMENU") {
        MainMenu(p, w, h, st);
    } else if (base == "CLOSE") {
        TitleGlyph(p, w, h, Glyph::Close, st, 4.5);
    } else if (base == "MINIMIZE") {
        TitleGlyph(p, w, h, Glyph::Minimize, st, 4.5);
    } else if (base == "PRCLOSE") {
        TitleGlyph(p, w, h, Glyph::Close, st, 3.5);
    } else if (base == "PRMIN") {
        TitleGlyph(p, w, h, Glyph::Minimize, st, 3.5);
    } else if (base == "PREV" || base == "NEXT") {
        Arrow(p, w, h, base == "NEXT", st);
    } else if (base == "WMLOCK") {
        // On the panel paper: dark ink, the accent when locked.
        DrawGlyph(p, st == State::Down ? Glyph::LockClosed : Glyph::LockOpen,
                  QRectF(1, 0.5, w - 2, h - 1), st == State::Down ? kWatermark : kInk);
    } else if (base == "LOCK") {
        // On the charcoal title band of the preview: light ink, violet when locked.
        DrawGlyph(p, st == State::Down ? Glyph::LockClosed : Glyph::LockOpen,
                  QRectF(1.5, 0.5, w - 3, h - 1),
                  st == State::Down ? QColor(0xB8, 0x9C, 0xFF) : QColor(0xC9, 0xCC, 0xD6));
    } else if (base == "UNDERLINE") {
        DrawGlyph(p, Glyph::Underline, QRectF(0.5, 0.5, w - 1, h - 1),
                  st == State::Down ? kWatermark : kInk);
    } else {
        for (const Toggle& t : kToggles) {
            if (base == QLatin1String(t.base)) {
                TogglePill(p, w, h, t, st);
                return img;
            }
        }
        return {};
    }
    return img;
}

} // namespace art
