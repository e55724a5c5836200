#include "ui/TextPainter.h"

#include "ui/PrivateFontCollection.h"

#include <QFont>
#include <QFontDatabase>
#include <QPaintDevice>
#include <QPainter>

namespace rx {

TextPainter::TextPainter(QRgb argb) : m_colour(QColor::fromRgba(argb)) {}

QFont TextPainter::MakeFont(qreal emSizePixels, qreal dpi) const {
    QFont font;
    const bool known = !m_family.isEmpty() && (m_collection ? m_collection->Contains(m_family)
                                                            : QFontDatabase::hasFamily(m_family));
    if (known) {
        font.setFamily(m_family);
    } else {
        font.setFamily(QStringLiteral("sans-serif"));
        font.setStyleHint(QFont::SansSerif);
    }
    // Sizes are pixels, possibly fractional: give them as points of this device.
    font.setPointSizeF(emSizePixels * 72.0 / (dpi > 0 ? dpi : 96.0));
    font.setBold(m_style & FontStyleBold);
    font.setItalic(m_style & FontStyleItalic);
    font.setUnderline(m_style & FontStyleUnderline);
    font.setStrikeOut(m_style & FontStyleStrikeout);
    return font;
}

void TextPainter::Draw(QPainter& g, const QString& text, qreal emSizePixels,
                       const QRectF& rect) const {
    const qreal dpi = g.device() ? g.device()->logicalDpiY() : 96.0;
    int flags = Qt::TextWordWrap;
    flags |= m_horizontal == StringAlignment::Near  ? Qt::AlignLeft
             : m_horizontal == StringAlignment::Far ? Qt::AlignRight
                                                    : Qt::AlignHCenter;
    flags |= m_vertical == StringAlignment::Near  ? Qt::AlignTop
             : m_vertical == StringAlignment::Far ? Qt::AlignBottom
                                                  : Qt::AlignVCenter;
    g.save();
    g.setRenderHint(QPainter::TextAntialiasing, true);
    g.setFont(MakeFont(emSizePixels, dpi));
    g.setPen(m_colour);
    g.drawText(rect, flags, text);
    g.restore();
}

} // namespace rx
