// Draws a text into a rectangle with a family (from the private collection or the system),
// a style, an alignment and a colour. Shared by the main window, the preview, the panels
// and the image buttons.
#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;
class QFont;

namespace rx {

class PrivateFontCollection;

enum class StringAlignment { Near, Center, Far };

// Font style bits.
constexpr int FontStyleRegular = 0;
constexpr int FontStyleBold = 1;
constexpr int FontStyleItalic = 2;
constexpr int FontStyleUnderline = 4;
constexpr int FontStyleStrikeout = 8;

class TextPainter {
public:
    // Empty family, regular style, no collection, centred both ways, a solid colour.
    explicit TextPainter(QRgb argb);

    void SetFamilyName(const QString& family) { m_family = family; }
    void SetCollection(const PrivateFontCollection* collection) { m_collection = collection; }
    void SetStyle(int style) { m_style = style; }
    void SetHorizontalAlignment(StringAlignment a) { m_horizontal = a; }
    void SetVerticalAlignment(StringAlignment a) { m_vertical = a; }
    void SetColor(QRgb argb) { m_colour = QColor::fromRgba(argb); }

    // The font Draw uses at the size in pixels, for a device of the given dots per inch.
    QFont MakeFont(qreal emSizePixels, qreal dpi) const;
    // Draws the text in the rectangle; the size is in pixels.
    void Draw(QPainter& g, const QString& text, qreal emSizePixels, const QRectF& rect) const;

    // The rectangle of the edges (left, top, right, bottom).
    static QRectF FromEdges(int left, int top, int right, int bottom) {
        return QRectF(left, top, right - left, bottom - top);
    }

private:
    QString m_family;
    int m_style = FontStyleRegular;
    const PrivateFontCollection* m_collection = nullptr;
    StringAlignment m_horizontal = StringAlignment::Center;
    StringAlignment m_vertical = StringAlignment::Center;
    QColor m_colour;
};

} // namespace rx
