#include "engine/BmpCodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include "engine/Imaging.h"

namespace rx::bmp {
namespace {
// A read-only view of the block; no copy.
QByteArray View(const SharedBytes& bytes) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes->data()),
                                   static_cast<qsizetype>(bytes->size()));
}
std::uint32_t Le32(const Bytes& b, size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

bool HoldsPixelArray(const Bytes& b) {
    if (b.size() < 54)
        return b.size() >= 26; // old OS/2 headers: nothing more to check
    const std::uint32_t offset = Le32(b, 10);
    const std::uint32_t headerSize = Le32(b, 14);
    if (headerSize < 40)
        return offset <= b.size();
    const std::int64_t width = static_cast<std::int32_t>(Le32(b, 18));
    std::int64_t height = static_cast<std::int32_t>(Le32(b, 22));
    const int bpp = b[28] | b[29] << 8;
    const std::uint32_t compression = Le32(b, 30);
    if (height < 0)
        height = -height;
    if (compression != 0 && compression != 3) // RLE and embedded codecs: size unknown
        return offset < b.size();
    const std::int64_t stride = ((width * bpp + 31) / 32) * 4;
    return std::int64_t(offset) + stride * height <= std::int64_t(b.size());
}

} // namespace

QSize ReadSize(const SharedBytes& bytes) {
    if (!bytes || bytes->empty())
        return {};
    EnsureImagingStarted();
    QByteArray view = View(bytes);
    QBuffer buffer(&view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    return reader.canRead() ? reader.size() : QSize();
}

QImage Decode(const SharedBytes& bytes) {
    const QSize size = ReadSize(bytes);
    if (!size.isValid() ||
        std::uint64_t(size.width()) * std::uint64_t(size.height()) > kMaxFramePixels)
        return {};
    QByteArray view = View(bytes);
    QBuffer buffer(&view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    QImage image = reader.read();
    if (!image.isNull())
        CountPixelDecode();
    // Qt hands back a partly filled image for a truncated file: the data must hold the pixel
    // array the header announces (checked for the uncompressed layouts, where it is known).
    if (!image.isNull() && !HoldsPixelArray(*bytes))
        return {};
    return image;
}

bool Encode(const QImage& image, Bytes* out) {
    if (image.isNull())
        return false;
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image))
        return false;
    out->assign(data.begin(), data.end());
    return true;
}

} // namespace rx::bmp
