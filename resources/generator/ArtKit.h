// Drawing helpers of the artwork generator: the palette, shapes and the vector glyphs
// that the skin images are composed of. Everything here is deterministic.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

namespace art {

// The families loaded from the font files given to the generator.
struct Fonts {
    QString script;     // "Pacifico", for lettering
    QString narrowBold; // condensed sans for the words on the toggles
    QString sans;       // regular sans for small print
};
const Fonts& GetFonts();
void SetFonts(const Fonts& fonts);

// A font of the given family at a pixel size, without hinting so glyphs scale smoothly.
QFont MakeFont(const QString& family, qreal pixelSize, bool bold = false);

namespace palette {
inline const QColor kCharcoalTop{0x2B, 0x2F, 0x38};
inline const QColor kCharcoalBottom{0x1E, 0x21, 0x28};
inline const QColor kIndigo{0x2F, 0x2A, 0x8F};
inline const QColor kViolet{0x6E, 0x3A, 0xC4};
inline const QColor kPaper{0xF5, 0xF3, 0xEE};
inline const QColor kInk{0x3A, 0x3F, 0x4B};
inline const QColor kBorder{0x77, 0x77, 0x77};
inline const QColor kWatermark{0x4F, 0x6B, 0xED};
inline const QColor kResize{0x12, 0xA1, 0x8F};
inline const QColor kOptimize{0xEE, 0x84, 0x1F};
inline const QColor kRename{0xDB, 0x3F, 0x7A};
inline const QColor kConvert{0x6B, 0x7C, 0x93};
inline const QColor kBlue{0x2F, 0x7C, 0xE8};
inline const QColor kGreen{0x2E, 0xAA, 0x55};
inline const QColor kRed{0xDC, 0x3B, 0x3B};
} // namespace palette

// A new transparent image, premultiplied for painting.
QImage NewImage(int width, int height);
// A painter with antialiasing on.
void Prepare(QPainter& p);

QColor Mix(const QColor& a, const QColor& b, qreal t);
QColor Lighter(const QColor& c, qreal t); // towards white by t
QColor Darker(const QColor& c, qreal t);  // towards black by t
QColor WithAlpha(const QColor& c, int alpha);

QPainterPath RoundedRect(const QRectF& r, qreal radius);

// Deterministic pseudo-random numbers (a fixed-seed xorshift).
class Noise {
public:
    explicit Noise(quint32 seed) : m_state(seed ? seed : 0x9E3779B9u) {}
    quint32 Next();
    qreal Unit(); // [0, 1)
private:
    quint32 m_state;
};

// Vector glyphs drawn into a box with a colour; line weights scale with the box.
enum class Glyph {
    Droplet,
    Resize,
    Bolt,
    Tag,
    Convert,
    Eye,
    Close,
    Minimize,
    ChevronLeft,
    ChevronRight,
    ChevronDown,
    Move,
    Rotate,
    Underline,
    LockOpen,
    LockClosed,
    Photo,
    DropInto,
    Menu,
};
void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& colour);

} // namespace art
