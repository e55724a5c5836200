#include "engine/BmpCodec.h"

#include <cstdio>

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

// The writer's output in a PieceBuffer, gathered once at the end (no growing block and no copy
// of it beside the result).
class PieceDevice final : public QIODevice {
public:
    PieceBuffer& buffer() { return buffer_; }
    bool failed() const { return failed_; }
    bool seek(qint64 pos) override {
        if (!QIODevice::seek(pos) || buffer_.Seek(pos, SEEK_SET) < 0)
            return false;
        return true;
    }
    qint64 size() const override { return qint64(buffer_.size()); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (size < 0 || !buffer_.Write(data, std::size_t(size))) {
            failed_ = true;
            return -1;
        }
        return size;
    }

private:
    PieceBuffer buffer_;
    bool failed_ = false;
};

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
    PieceDevice device;
    device.open(QIODevice::WriteOnly);
    QImageWriter writer(&device, "bmp");
    if (!writer.write(image) || device.failed())
        return false;
    *out = device.buffer().Take();
    return true;
}

} // namespace rx::bmp
