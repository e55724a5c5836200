// Draws one watermark record onto upright pixels: the text, picture, brick-patterned script and
// date-stamp geometry (reference scaling, rotated bounding boxes, placement by fractions of the
// free space), the font with its sans-serif fallback, and opacity. Qt Gui only; works without
// a display but needs a QGuiApplication for fonts.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTransform>

#include "ops/WatermarkOp.h"

namespace rx {

class WatermarkRenderer {
public:
    // Draws on `canvas` in place; its format must be one QPainter draws on. `output`: the size
    // of the image the watermark is laid out for, when the canvas shows it reduced (the
    // preview's copy); the layout is then made at that size and drawn scaled onto the canvas,
    // so that it covers the same part of the picture. Empty: the canvas's own size.
    WatermarkRenderer(const WatermarkOp& op, QImage& canvas, QSize output = {});

    // 1 without a reference size; else the image's size over the reference's longer side
    // (width when the reference is wider than tall, height otherwise).
    float ReferenceScale() const;
    // The record's family and style at an em size in pixels; the generic sans-serif family
    // when the named one is not installed.
    QFont WatermarkFont(int pixelSize) const;

    // A text laid out once: its outline and ink box (relative to the baseline origin), in
    // pixels at the requested em size, which may be fractional.
    struct TextBox {
        QString text;
        QFont font;
        double scale = 1; // em size / the font's integral pixel size
        QRectF ink;
        // Each line with its baseline origin in font pixels: lines follow one another at the
        // font's line spacing, each centred on the widest.
        std::vector<std::pair<QPointF, QString>> lines;
        double width() const { return ink.width(); }
        double height() const { return ink.height(); }
    };
    TextBox MeasureText(const QString& text, double emSize) const;

    // The bounding box of a w x h box rotated by `angle` degrees (clockwise) about the origin or
    // about `pivot`; the rotation is applied to `matrix` (prepended), as drawing then uses it.
    static QRectF RotatedExtent(QTransform& matrix, double angle, double w, double h,
                                const std::optional<QPointF>& pivot = std::nullopt);

    // The text (or a date) once, placed by the position fractions, rotated about its centre.
    void DrawText(const QString& text);
    // The picture at the record's size (fitted into the image), with opacity scaling its alpha.
    void DrawPicture(const QImage& picture);
    // The text repeated in rows over the whole image, rotated about the image centre.
    void DrawScript();

    // Brush colour of the text: the record's COLORREF with alpha (alpha x 255) / 100.
    QColor TextColor() const;

private:
    void DrawTextBox(QPainter& painter, const TextBox& box, const QRectF& rect) const;

    // Starts drawing on the canvas with the layout's coordinates mapped onto it by `matrix`.
    void Begin(QPainter& painter, const QTransform& matrix) const;

    const WatermarkOp& op_;
    QImage& canvas_;
    double width_, height_; // of the layout: the output image's size
    QTransform toCanvas_;   // from the layout onto the canvas
};

// Loads a watermark picture from a file through the imaging layer (upright pixels); a null
// image when the file is missing or cannot be decoded.
QImage LoadWatermarkPicture(const boost::filesystem::path& path);

} // namespace rx
