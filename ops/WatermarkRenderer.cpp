#include "ops/WatermarkRenderer.h"

#include "ops/ColorRef.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <boost/filesystem/operations.hpp>

#include "engine/Bitmap.h"
#include "engine/DebugLog.h"
#include "engine/Stream.h"

namespace rx {
namespace {

// Largest em size drawn: text far larger than the image shows nothing of itself anyway, and a
// preset may hold any number.
constexpr double kMaxEmSize = 100000.0;

QFont GenericSansSerif() {
    QFont font;
    font.setFamilies({QStringLiteral("sans-serif")});
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// The family to draw with. A family fontconfig knows under another name (metric-compatible
// substitutes such as "Arial") counts as installed; a name that would only fall through to the
// default family is replaced by the generic sans-serif family.
QString ResolveFamily(const QString& name) {
    const QString generic = QFontInfo(GenericSansSerif()).family();
    if (name.isEmpty())
        return generic;
    if (QFontDatabase::hasFamily(name))
        return name;
    // What an unknown name falls through to; a name resolving to the same is not installed.
    const QString fallback = QFontInfo(QFont(QStringLiteral("rexmill-no-such-family"))).family();
    const QString resolved = QFontInfo(QFont(name)).family();
    return resolved.isEmpty() || resolved == fallback ? generic : resolved;
}

// Fonts exist only under a QGuiApplication; without one (a command-line tool) text is skipped
// rather than taking the process down.
bool FontsAvailable() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance());
}

void PreparePainter(QPainter& painter) {
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
}

} // namespace

WatermarkRenderer::WatermarkRenderer(const WatermarkOp& op, QImage& canvas, QSize output)
    : op_(op), canvas_(canvas), width_(output.isEmpty() ? canvas.width() : output.width()),
      height_(output.isEmpty() ? canvas.height() : output.height()),
      toCanvas_(QTransform::fromScale(canvas.width() / width_, canvas.height() / height_)) {}

void WatermarkRenderer::Begin(QPainter& painter, const QTransform& matrix) const {
    painter.begin(&canvas_);
    PreparePainter(painter);
    painter.setTransform(matrix * toCanvas_);
}

float WatermarkRenderer::ReferenceScale() const {
    if (op_.referenceWidth == 0 || op_.referenceHeight == 0)
        return 1.0f;
    if (op_.referenceWidth > op_.referenceHeight)
        return static_cast<float>(width_ / op_.referenceWidth);
    return static_cast<float>(height_ / op_.referenceHeight);
}

QFont WatermarkRenderer::WatermarkFont(int pixelSize) const {
    QFont font;
    font.setFamilies({ResolveFamily(QString::fromStdWString(op_.fontName))});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, pixelSize));
    font.setBold((op_.fontStyle & 1u) != 0);
    font.setItalic((op_.fontStyle & 2u) != 0);
    font.setUnderline((op_.fontStyle & 4u) != 0);
    font.setStrikeOut((op_.fontStyle & 8u) != 0);
    return font;
}

WatermarkRenderer::TextBox WatermarkRenderer::MeasureText(const QString& text,
                                                          double emSize) const {
    TextBox box;
    box.text = text;
    if (!(emSize > 0.0) || text.isEmpty())
        return box;
    if (!FontsAvailable()) {
        DebugLog(L"  No fonts in a process without a GUI application: text skipped");
        return box;
    }
    emSize = std::min(emSize, kMaxEmSize);
    // Fonts take integral pixel sizes: lay out at the nearest one and scale the rest.
    const int pixelSize = std::max(1, static_cast<int>(std::lround(emSize)));
    box.font = WatermarkFont(pixelSize);
    box.scale = emSize / pixelSize;
    // Line breaks ("\n", "\r\n" or "\r") start new lines, centred on one another.
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    const QStringList lines = normal.split(QChar('\n'));
    const QFontMetricsF metrics(box.font);
    double widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    for (qsizetype i = 0; i < lines.size(); ++i)
        box.lines.emplace_back(QPointF((widest - metrics.horizontalAdvance(lines[i])) / 2,
                                       double(i) * metrics.lineSpacing()),
                               lines[i]);
    // The outline's box is the ink that will be drawn (underline included), so a watermark at
    // an edge touches that edge with its letters rather than with the font's line spacing.
    QPainterPath outline;
    for (const auto& [origin, line] : box.lines)
        outline.addText(origin, box.font, line);
    const QRectF ink = outline.boundingRect();
    box.ink = QRectF(ink.x() * box.scale, ink.y() * box.scale, ink.width() * box.scale,
                     ink.height() * box.scale);
    return box;
}

QRectF WatermarkRenderer::RotatedExtent(QTransform& matrix, double angle, double w, double h,
                                        const std::optional<QPointF>& pivot) {
    // QTransform's translate and rotate prepend, as the drawing code expects.
    if (pivot) {
        matrix.translate(pivot->x(), pivot->y());
        matrix.rotate(angle);
        matrix.translate(-pivot->x(), -pivot->y());
    } else {
        matrix.rotate(angle);
    }
    const QPointF corners[4] = {matrix.map(QPointF(0, 0)), matrix.map(QPointF(w, 0)),
                                matrix.map(QPointF(w, h)), matrix.map(QPointF(0, h))};
    double minX = corners[0].x(), maxX = minX, minY = corners[0].y(), maxY = minY;
    for (const QPointF& p : corners) {
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    return QRectF(minX, minY, maxX - minX, maxY - minY);
}

QColor WatermarkRenderer::TextColor() const {
    // Opacity above 100 % is full opacity, never a wrap to almost transparent.
    const int alpha = static_cast<int>((std::min(op_.alpha, 100u) * 255u) / 100u) & 0xFF;
    return ColorFromColorref(op_.fontColor, alpha);
}

void WatermarkRenderer::DrawTextBox(QPainter& painter, const TextBox& box,
                                    const QRectF& rect) const {
    // Centred both ways: the ink box's centre goes to the rectangle's centre.
    const QPointF origin = rect.center() - box.ink.center();
    painter.save();
    painter.translate(origin);
    painter.scale(box.scale, box.scale);
    for (const auto& [at, line] : box.lines)
        painter.drawText(at, line);
    painter.restore();
}

void WatermarkRenderer::DrawText(const QString& text) {
    const TextBox box = MeasureText(text, ReferenceScale() * static_cast<double>(op_.fontSize));
    if (box.ink.isEmpty())
        return;
    const double tw = box.width(), th = box.height();
    QTransform m;
    const QRectF extent = RotatedExtent(m, op_.angle, tw, th);
    const double bw = extent.width(), bh = extent.height();
    const double x = bw / 2 + (width_ - bw) * op_.positionX;
    const double y = bh / 2 + (height_ - bh) * op_.positionY;
    m *= QTransform::fromTranslate(x, y); // appended: rotate about the centre, then place

    QPainter painter;
    Begin(painter, m);
    painter.setFont(box.font);
    painter.setPen(TextColor());
    DrawTextBox(painter, box, QRectF(-tw / 2, -th / 2, tw, th));
}

void WatermarkRenderer::DrawPicture(const QImage& picture) {
    if (picture.isNull())
        return;
    const double W = width_, H = height_;
    const double s = ReferenceScale();
    double ww = op_.imageWidth * s, wh = op_.imageHeight * s;
    if (!(ww > 0.0) || !(wh > 0.0))
        return;
    if (ww > W || wh > H) { // never larger than the image
        const double k = std::min(W / ww, H / wh);
        ww *= k;
        wh *= k;
    }
    QTransform m;
    const QRectF extent = RotatedExtent(m, op_.angle, ww, wh);
    // A square keeps its place while it turns: it is placed by its unrotated half size.
    const bool square = op_.imageWidth == op_.imageHeight;
    const double hx = square ? ww / 2 : extent.width() / 2;
    const double hy = square ? wh / 2 : extent.height() / 2;
    m *= QTransform::fromTranslate(hx + (W - 2 * hx) * op_.positionX,
                                   hy + (H - 2 * hy) * op_.positionY);

    // Shrinking in one step with a box filter to the size it takes on the canvas: a bilinear
    // draw alone would skip source pixels.
    QImage source = picture;
    const int targetW = static_cast<int>(std::lround(ww * toCanvas_.m11())),
              targetH = static_cast<int>(std::lround(wh * toCanvas_.m22()));
    if (targetW > 0 && targetH > 0 && (targetW < picture.width() || targetH < picture.height()))
        source = picture.scaled(targetW, targetH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    QPainter painter;
    Begin(painter, m);
    painter.setOpacity(std::clamp(op_.alpha / 100.0, 0.0, 1.0)); // scales the picture's alpha
    painter.drawImage(QRectF(-ww / 2, -wh / 2, ww, wh), source, QRectF(source.rect()));
}

void WatermarkRenderer::DrawScript() {
    const QString text = QString::fromStdWString(op_.text.substr(0, WatermarkOp::kMaxTextLength));
    const TextBox box = MeasureText(text, ReferenceScale() * static_cast<double>(op_.fontSize));
    const double tw = box.width(), th = box.height();
    if (box.ink.isEmpty() || !(tw >= 1.0) || !(th >= 1.0))
        return;
    const double W = width_, H = height_;
    QTransform m;
    const QRectF extent = RotatedExtent(m, op_.angle, W, H, QPointF(W / 2, H / 2));

    QPainter painter;
    Begin(painter, m);
    painter.setFont(box.font);
    painter.setPen(TextColor());
    const double rowStep = 2 * th;
    const double gap = text.size() <= 10 ? tw : tw / 2;
    const double columnStep = tw + gap;
    bool odd = false;
    for (double y = extent.top(); y < extent.top() + extent.height(); y += rowStep) {
        for (double x = extent.left() + (odd ? gap : 0.0); x < extent.left() + extent.width();
             x += columnStep)
            DrawTextBox(painter, box, QRectF(x, y, tw, th));
        odd = !odd;
    }
}

QImage LoadWatermarkPicture(const boost::filesystem::path& path) {
    if (path.empty())
        return {};
    // Every file of a job draws the same picture: the last one decoded is kept (QImage shares
    // its pixels) and used again while the file's size and time stamp stay the same.
    struct Cached {
        boost::filesystem::path path;
        std::uintmax_t size = 0;
        std::time_t time = 0;
        QImage image;
    };
    static std::mutex mutex;
    static Cached last;
    boost::system::error_code ec, tc;
    const std::uintmax_t size = boost::filesystem::file_size(path, ec);
    const std::time_t time = boost::filesystem::last_write_time(path, tc);
    const bool known = !ec && !tc;
    if (known) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!last.image.isNull() && last.path == path && last.size == size && last.time == time)
            return last.image;
    }
    StreamPtr stream = OpenFileStream(path, false);
    if (!stream)
        return {};
    std::unique_ptr<Bitmap> bitmap = Bitmap::FromData(stream->Contents());
    const QImage* pixels = bitmap->Pixels();
    QImage image = pixels ? *pixels : QImage();
    if (known) {
        std::lock_guard<std::mutex> lock(mutex);
        last = {path, size, time, image};
    }
    return image;
}

} // namespace rx
