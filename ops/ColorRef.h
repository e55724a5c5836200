// Colours as the watermark record keeps them (a Windows COLORREF: red in the low byte, then
// green, then blue; the top byte unused) and as Qt draws them. The one conversion both ways.
#pragma once

#include <cstdint>

#include <QColor>

namespace rx {

// The colour of a COLORREF, with the given alpha (0 to 255); the top byte is ignored.
inline QColor ColorFromColorref(std::uint32_t colorref, int alpha = 255) {
    return QColor(int(colorref & 0xFF), int((colorref >> 8) & 0xFF), int((colorref >> 16) & 0xFF),
                  alpha);
}

// The COLORREF of a colour (its alpha is dropped).
inline std::uint32_t ColorrefFromColor(const QColor& colour) {
    const QRgb rgb = colour.rgb();
    return std::uint32_t(qRed(rgb)) | (std::uint32_t(qGreen(rgb)) << 8) |
           (std::uint32_t(qBlue(rgb)) << 16);
}

} // namespace rx
