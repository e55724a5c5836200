#include "ops/png/pngreader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <png.h>
#include <zlib.h>

namespace rx::png {
namespace {

const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
const std::uint8_t kMngSignature[8] = {0x8a, 'M', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
const char kEndOfFile[] = "Can't read the input file or unexpected end of file";

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

bool IsLetter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void CheckSignature(const std::uint8_t* data, std::size_t size) {
    if (size == 0) // an empty file has no bytes to compare (and may have no buffer at all)
        throw PngEngineError(kEndOfFile);
    const std::size_t n = size < 8 ? size : 8;
    if (std::memcmp(data, kSignature, n) == 0) {
        if (n < 8)
            throw PngEngineError(kEndOfFile);
        return;
    }
    if (n == 8 && std::memcmp(data, kMngSignature, 8) == 0)
        throw PngEngineError("MNG decoding is not supported");
    if (n >= 4 && (data[0] & 0x7f) == 0x09 && std::memcmp(data + 1, "PNG", 3) == 0)
        throw PngEngineError("PNG file appears to be corrupted by text file conversions");
    throw PngEngineError("Unrecognized image file format");
}

struct ReadContext {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    const ReadWarning* warn = nullptr;
    const char* error = nullptr; // points into libpng's message buffer or a literal
    std::string errorText;
    bool ioError = false;
};

void ReadData(png_structp png, png_bytep out, size_t n) {
    auto* ctx = static_cast<ReadContext*>(png_get_io_ptr(png));
    if (ctx->size - ctx->pos < n) {
        ctx->ioError = true;
        png_error(png, kEndOfFile);
    }
    std::memcpy(out, ctx->data + ctx->pos, n);
    ctx->pos += n;
}

void OnError(png_structp png, png_const_charp message) {
    auto* ctx = static_cast<ReadContext*>(png_get_error_ptr(png));
    ctx->errorText = message ? message : "";
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
    auto* ctx = static_cast<ReadContext*>(png_get_error_ptr(png));
    (*ctx->warn)(message ? message : "");
}

// Only libpng calls live between setjmp and any longjmp back here.
bool Decode(png_structp png, png_infop info, PngImage& image, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    static const png_byte kRaw[] = "cHRM\0gAMA\0iCCP\0sRGB\0iTXt\0tEXt\0zTXt\0tIME\0pHYs\0oFFs\0"
                                   "pCAL\0sCAL\0sPLT\0sTER\0eXIf\0";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kRaw, int(sizeof kRaw / 5));
    png_set_benign_errors(png, 1);
    png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_WARN_DISCARD);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    image.width = width;
    image.height = height;
    image.bitDepth = depth;
    image.colorType = colorType;
    image.interlace = interlace;
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    image.rowBytes = png_get_rowbytes(png, info);
    if (image.rowBytes != PngImage::RowBytesFor(width, image.channels(), depth))
        png_error(png, "Inconsistent data in libpng");
    const std::size_t total = image.rowBytes * height;
    if (height != 0 && total / height != image.rowBytes)
        png_error(png, "Out of memory");
    image.pixels.reset(new (std::nothrow) std::uint8_t[total]);
    if (!image.pixels)
        png_error(png, "Out of memory");
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = image.row(y);
    png_read_image(png, rows.data());
    png_read_end(png, info);

    png_colorp palette = nullptr;
    int numPalette = 0;
    if (png_get_PLTE(png, info, &palette, &numPalette) & PNG_INFO_PLTE) {
        image.hasPalette = true;
        for (int i = 0; i < numPalette; ++i)
            image.palette.push_back(PngColor{palette[i].red, palette[i].green, palette[i].blue});
    }
    png_bytep alpha = nullptr;
    int numTrans = 0;
    png_color_16p key = nullptr;
    if (png_get_tRNS(png, info, &alpha, &numTrans, &key) & PNG_INFO_tRNS) {
        image.hasTrns = true;
        if (colorType == PNG_COLOR_TYPE_PALETTE && alpha)
            image.transAlpha.assign(alpha, alpha + numTrans);
        else if (key)
            image.transColor = PngColor16{key->index, key->red, key->green, key->blue, key->gray};
    }
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, info, &background) & PNG_INFO_bKGD) {
        image.hasBackground = true;
        image.background = PngColor16{background->index, background->red, background->green,
                                      background->blue, background->gray};
    }
    png_color_8p sbit = nullptr;
    if (png_get_sBIT(png, info, &sbit) & PNG_INFO_sBIT) {
        image.hasSignificantBits = true;
        image.significantBits = {sbit->red, sbit->green, sbit->blue, sbit->gray, sbit->alpha};
    }
    png_uint_16p hist = nullptr;
    if (png_get_hIST(png, info, &hist) & PNG_INFO_hIST) {
        image.hasHistogram = true;
        image.histogram.assign(hist, hist + numPalette);
    }
    return true;
}

} // namespace

DatastreamScan ScanDatastream(const std::uint8_t* data, std::size_t size, const ReadWarning& warn) {
    CheckSignature(data, size);
    DatastreamScan scan;
    scan.status = StatusPngFile | StatusDatastream | StatusSignature;
    std::size_t pos = 8;
    bool seenEnd = false;
    while (!seenEnd) {
        if (size - pos < 8)
            throw PngEngineError(pos == size ? kEndOfFile
                                             : "Reading chunk header, expecting 8 bytes");
        ChunkInfo chunk;
        chunk.offset = pos;
        chunk.length = Be32(data + pos);
        std::memcpy(chunk.name, data + pos + 4, 4);
        if (chunk.length > 0x7fffffffu)
            throw PngEngineError("libpng error: PNG unsigned integer out of range");
        for (int i = 0; i < 4; ++i)
            if (!IsLetter(std::uint8_t(chunk.name[i])))
                throw PngEngineError("libpng error: invalid chunk type");
        pos += 8;
        if (size - pos < chunk.length)
            throw PngEngineError(kEndOfFile);
        if (size - pos - chunk.length < 4)
            throw PngEngineError("Reading chunk CRC, expecting 4 bytes");
        const uLong crc = crc32(crc32(0, data + chunk.offset + 4, 4), data + pos, chunk.length);
        chunk.crcOk = crc == Be32(data + pos + chunk.length);
        pos += chunk.length + 4;
        if (!chunk.crcOk) {
            const std::string message = std::string(chunk.name) + ": CRC error";
            if (!chunk.ancillary())
                throw PngEngineError("libpng error: " + message);
            warn(message.c_str());
            scan.status |= StatusErrors;
        }
        if (chunk.is("IDAT")) {
            scan.idatSize += chunk.length;
        } else if (chunk.is("PLTE")) {
            scan.plteTrnsSize += 12 + std::uint64_t(chunk.length);
        } else if (chunk.is("tRNS")) {
            scan.plteTrnsSize += 12 + std::uint64_t(chunk.length);
        } else if (chunk.is("dSIG")) {
            scan.status |= StatusDigitalSignature;
        } else if (chunk.is("fdAT")) {
            scan.status |= StatusMultipleImages | StatusAnimationChunks;
        } else if (chunk.is("acTL") || chunk.is("fcTL")) {
            scan.status |= StatusAnimationChunks;
        } else if (chunk.is("IEND")) {
            seenEnd = true;
        }
        scan.chunks.push_back(chunk);
    }
    scan.end = pos;
    if (pos < size) {
        warn("Extraneous data found after IEND");
        scan.status |= StatusErrors;
    }
    return scan;
}

void ReadImage(const std::uint8_t* data, const DatastreamScan& scan, PngImage& image,
               const ReadWarning& warn, const std::function<bool(const ChunkInfo&)>& dropChunk) {
    ReadContext ctx;
    ctx.data = data + scan.offset;
    ctx.size = scan.end - scan.offset;
    ctx.warn = &warn;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning);
    if (!png)
        throw PngEngineError(
            "[internal error] Inconsistent internal structures (incorrect libpng?)");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw PngEngineError("libpng error: Out of memory");
    }
    png_set_read_fn(png, &ctx, ReadData);
    std::vector<png_bytep> rows;
    const bool ok = Decode(png, info, image, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        image.pixels.reset();
        throw PngEngineError(ctx.ioError ? std::string(kEndOfFile)
                                         : "libpng error: " + ctx.errorText);
    }

    ChunkPlace place = ChunkPlace::BeforePlte;
    for (const ChunkInfo& chunk : scan.chunks) {
        if (chunk.is("PLTE")) {
            place = ChunkPlace::BeforeIdat;
            continue;
        }
        if (chunk.is("IDAT")) {
            place = ChunkPlace::AfterIdat;
            continue;
        }
        if (!chunk.ancillary() || !chunk.crcOk || chunk.is("tRNS") || chunk.is("bKGD") ||
            chunk.is("sBIT") || chunk.is("hIST") || dropChunk(chunk))
            continue;
        RawChunk raw;
        std::memcpy(raw.name, chunk.name, 5);
        const std::uint8_t* body = data + chunk.offset + 8;
        raw.data.assign(body, body + chunk.length);
        raw.place = place;
        image.otherChunks.push_back(std::move(raw));
    }
}

std::string DescribeImage(const PngImage& image) {
    char buf[160];
    std::string text;
    std::snprintf(buf, sizeof buf, "%lux%lu pixels, ", static_cast<unsigned long>(image.width),
                  static_cast<unsigned long>(image.height));
    text += buf;
    const int channels = image.channels();
    if (channels > 1)
        std::snprintf(buf, sizeof buf, "%dx%d bits/pixel", channels, image.bitDepth);
    else if (image.bitDepth == 1)
        std::snprintf(buf, sizeof buf, "1 bit/pixel");
    else
        std::snprintf(buf, sizeof buf, "%d bits/pixel", image.bitDepth);
    text += buf;
    if (image.colorType == ColorPalette) {
        const int n = int(image.palette.size());
        if (n == 1)
            text += ", 1 color";
        else
            std::snprintf(buf, sizeof buf, ", %d colors", n), text += buf;
        if (image.hasTrns && !image.transAlpha.empty())
            std::snprintf(buf, sizeof buf, " (%d transparent)", int(image.transAlpha.size())),
                text += buf;
        text += " in palette";
    } else {
        text += (image.colorType & ColorMaskColor) ? ", RGB" : ", grayscale";
        if (image.colorType & ColorMaskAlpha)
            text += "+alpha";
        else if (image.hasTrns)
            text += "+transparency";
    }
    if (image.interlace)
        text += ", interlaced";
    return text;
}

} // namespace rx::png
