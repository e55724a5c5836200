#include "engine/TiffPalette.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include <tiffio.h>

namespace rx::tiffpalette {
namespace {

// A file held in memory for libtiff: read from `data`, or read and written in `out`.
struct MemoryFile {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    Bytes* out = nullptr;
    std::size_t pos = 0;

    const std::uint8_t* bytes() const { return out ? out->data() : data; }
    std::size_t length() const { return out ? out->size() : size; }
};

tmsize_t Read(thandle_t h, void* buffer, tmsize_t n) {
    auto* f = static_cast<MemoryFile*>(h);
    if (n <= 0 || f->pos >= f->length())
        return 0;
    const std::size_t take = std::min<std::size_t>(std::size_t(n), f->length() - f->pos);
    std::memcpy(buffer, f->bytes() + f->pos, take);
    f->pos += take;
    return tmsize_t(take);
}

tmsize_t Write(thandle_t h, void* buffer, tmsize_t n) {
    auto* f = static_cast<MemoryFile*>(h);
    if (!f->out || n < 0)
        return -1;
    const std::size_t end = f->pos + std::size_t(n);
    try { // no exception may cross libtiff
        if (end > f->out->size())
            f->out->resize(end);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::memcpy(f->out->data() + f->pos, buffer, std::size_t(n));
    f->pos = end;
    return n;
}

toff_t Seek(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    std::uint64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->length() : 0;
    const std::uint64_t to = base + offset;
    if (to > (std::uint64_t(1) << 32))
        return toff_t(-1);
    try { // no exception may cross libtiff
        if (f->out && to > f->out->size())
            f->out->resize(std::size_t(to));
    } catch (const std::bad_alloc&) {
        return toff_t(-1);
    }
    f->pos = std::size_t(to);
    return to;
}

int Close(thandle_t) {
    return 0;
}
toff_t Size(thandle_t h) {
    return static_cast<MemoryFile*>(h)->length();
}
int Map(thandle_t, void**, toff_t*) {
    return 0;
}
void Unmap(thandle_t, void*, toff_t) {}

TIFF* Open(MemoryFile& file, const char* mode) {
    return TIFFClientOpen("memory", mode, &file, Read, Write, Seek, Close, Size, Map, Unmap);
}

bool Writable(std::uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_LZW:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_PACKBITS:
        return TIFFIsCODECConfigured(compression) != 0;
    default:
        return false;
    }
}

} // namespace

std::optional<Palette> ReadPalette(const std::uint8_t* data, std::size_t size) {
    if (!data || size < 8)
        return std::nullopt;
    MemoryFile file{data, size};
    TIFF* tif = Open(file, "rm");
    if (!tif)
        return std::nullopt;
    std::optional<Palette> result;
    std::uint16_t photometric = 0, samples = 1, bits = 0, compression = COMPRESSION_NONE;
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFNumberOfDirectories(tif) == 1 && TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) &&
        photometric == PHOTOMETRIC_PALETTE &&
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples) && samples == 1 &&
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits) &&
        (bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
        TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
        Palette p;
        p.bits = bits;
        const int entries = 1 << bits;
        // Old writers put 8-bit values in the 16-bit table.
        bool eightBit = true;
        for (int i = 0; i < entries; ++i)
            if (red[i] > 255 || green[i] > 255 || blue[i] > 255)
                eightBit = false;
        const int shift = eightBit ? 0 : 8;
        for (int i = 0; i < entries; ++i)
            p.colors.push_back(qRgb(red[i] >> shift, green[i] >> shift, blue[i] >> shift));
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        p.compression = Writable(compression) ? compression : std::uint16_t(COMPRESSION_LZW);
        float x = 0, y = 0;
        std::uint16_t unit = 0;
        if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) &&
            TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) && x > 0 && y > 0) {
            p.xResolution = x;
            p.yResolution = y;
            if (TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit))
                p.resolutionUnit = unit;
        }
        result = std::move(p);
    }
    TIFFClose(tif);
    return result;
}

Bytes WritePaletteTiff(const QImage& pixels, const Palette& palette, const Blocks& blocks) {
    const int entries = 1 << palette.bits;
    if (pixels.isNull() || palette.colors.size() != entries)
        return {};
    const QImage indexed = pixels.convertToFormat(QImage::Format_RGB32)
                               .convertToFormat(QImage::Format_Indexed8, palette.colors,
                                                Qt::ThresholdDither | Qt::AvoidDither);
    if (indexed.isNull())
        return {};
    // Qt may drop unused entries from the table: indices are mapped back to the palette's.
    std::vector<std::uint8_t> toPalette(256, 0);
    const QList<QRgb> table = indexed.colorTable();
    for (qsizetype i = 0; i < table.size() && i < 256; ++i)
        toPalette[std::size_t(i)] =
            std::uint8_t(std::max<qsizetype>(0, palette.colors.indexOf(table[i])));

    Bytes out;
    MemoryFile file{nullptr, 0, &out};
    TIFF* tif = Open(file, "w");
    if (!tif)
        return {};
    const std::uint32_t width = std::uint32_t(indexed.width());
    const std::uint32_t height = std::uint32_t(indexed.height());
    const auto count = std::size_t(entries);
    std::vector<std::uint16_t> red(count), green(count), blue(count);
    for (int i = 0; i < entries; ++i) {
        red[std::size_t(i)] = std::uint16_t(qRed(palette.colors[i]) * 257);
        green[std::size_t(i)] = std::uint16_t(qGreen(palette.colors[i]) * 257);
        blue[std::size_t(i)] = std::uint16_t(qBlue(palette.colors[i]) * 257);
    }
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t(palette.bits)) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(1)) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, palette.compression) &&
              TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data()) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (ok && palette.xResolution > 0 && palette.yResolution > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, palette.xResolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, palette.yResolution);
        if (palette.resolutionUnit)
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, palette.resolutionUnit);
    }
    if (ok && !blocks.xmp.empty())
        TIFFSetField(tif, TIFFTAG_XMLPACKET, std::uint32_t(blocks.xmp.size()), blocks.xmp.data());
    if (ok && !blocks.icc.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, std::uint32_t(blocks.icc.size()), blocks.icc.data());
    Bytes iptc = blocks.iptc; // stored as whole 32-bit words
    iptc.resize((iptc.size() + 3) / 4 * 4, 0);
    if (ok && !iptc.empty())
        TIFFSetField(tif, TIFFTAG_RICHTIFFIPTC, std::uint32_t(iptc.size() / 4), iptc.data());

    const std::size_t rowBytes = (std::size_t(width) * std::size_t(palette.bits) + 7) / 8;
    std::vector<std::uint8_t> row(rowBytes);
    for (std::uint32_t y = 0; ok && y < height; ++y) {
        const uchar* src = indexed.constScanLine(int(y));
        std::fill(row.begin(), row.end(), 0);
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned v = toPalette[src[x]];
            const std::size_t bit = std::size_t(x) * std::size_t(palette.bits);
            row[bit / 8] |= std::uint8_t(v << (8 - palette.bits - bit % 8));
        }
        ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    }
    ok = ok && TIFFWriteDirectory(tif);
    TIFFClose(tif);
    return ok ? out : Bytes{};
}

} // namespace rx::tiffpalette
