#include "engine/ScaleImage.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include <vips/vips8>

#include "engine/BmpCodec.h"
#include "engine/DebugLog.h"
#include "engine/Imaging.h"
#include "engine/JpegCheck.h"
#include "engine/OutputFormat.h"
#include "engine/TiffMetadata.h"
#include "engine/TiffPalette.h"
#include "engine/TiffReader.h"
#include "engine/VipsBridge.h"

namespace rx {
namespace {

using vips::VImage;

// JPEG shrink-on-load is a block average in the DCT domain: cheap and free of aliasing, but it
// sharpens when it lands close to the target. Leaving at least this factor for the final
// resampling keeps the result as smooth as a full-size reduction.
constexpr double kJpegShrinkHeadroom = 1.0;

// The largest libjpeg scale-down (1/2, 1/4, 1/8) that still leaves the headroom on both axes.
int JpegShrink(int sourceW, int sourceH, int targetW, int targetH) {
    const double factor =
        std::min(double(sourceW) / targetW, double(sourceH) / targetH) / kJpegShrinkHeadroom;
    for (int shrink : {8, 4, 2})
        if (factor >= shrink)
            return shrink;
    return 1;
}

// The WebP decoder averages while it decodes, by any integer factor: the whole part of the
// reduction is done there, the rest by the final resampling.
int WebpShrink(int sourceW, int sourceH, int targetW, int targetH) {
    const double factor = std::min(double(sourceW) / targetW, double(sourceH) / targetH);
    return factor >= 2 ? static_cast<int>(std::min(factor, 64.0)) : 1;
}

// HEIC and AVIF in their own container when their encoder is there; otherwise JPEG, so that a
// picture is never lost for want of an encoder.
Bytes SaveHeif(const VImage& image, OutputFormat format) {
    if (vipsbridge::EncoderAvailable(format))
        return vipsbridge::Save(image, format);
    DebugLog(L"  No %s encoder on this system: the result is written as JPEG.",
             OutputFormatName(format));
    VImage flat = image;
    if (flat.format() == VIPS_FORMAT_USHORT)
        flat = (flat >> 8)
                   .cast(VIPS_FORMAT_UCHAR)
                   .copy(vips::VImage::option()->set("interpretation",
                                                     flat.bands() >= 3 ? VIPS_INTERPRETATION_sRGB
                                                                       : VIPS_INTERPRETATION_B_W));
    if (flat.has_alpha())
        flat = flat.flatten(VImage::option()->set("background", std::vector<double>{255.0}));
    return vipsbridge::Save(flat, OutputFormat::Jpeg);
}

// Resamples to exactly w x h. Downscaling is a box shrink by the integer part of the factor
// followed by a Lanczos-3 reduction whose support widens with the remaining factor, so every
// source pixel contributes; enlarging interpolates with the same kernel. Alpha is premultiplied
// around the resampling so that transparent pixels do not bleed their colour.
VImage ScaleTo(const VImage& in, int w, int h) {
    if (in.width() == w && in.height() == h)
        return in;
    const VipsBandFormat format = in.format();
    const bool alpha = in.has_alpha();
    VImage x = alpha ? in.premultiply() : in;
    x = x.resize(double(w) / in.width(), VImage::option()
                                             ->set("vscale", double(h) / in.height())
                                             ->set("kernel", VIPS_KERNEL_LANCZOS3));
    if (alpha)
        x = x.unpremultiply();
    if (x.format() != format)
        x = x.cast(format);
    // The resampler rounds its output size on its own; a pixel too many or too few is settled
    // here so that the size asked for is the size delivered.
    if (x.width() > w || x.height() > h)
        x = x.crop(0, 0, std::min(w, x.width()), std::min(h, x.height()));
    if (x.width() < w || x.height() < h)
        x = x.embed(0, 0, w, h, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return x;
}

// What the source PNG's header says about its pixels, so the rescaled file is written alike.
struct PngLayout {
    int bitDepth = 8;
    int colourType = 2;
};

PngLayout ReadPngLayout(const Bytes& b) {
    // Signature (8), IHDR length and type (8), width (4), height (4), depth (1), colour type (1).
    PngLayout layout;
    if (b.size() >= 26 && b[12] == 'I' && b[13] == 'H' && b[14] == 'D' && b[15] == 'R') {
        layout.bitDepth = b[24];
        layout.colourType = b[25];
    }
    return layout;
}

Bytes SavePng(const VImage& image, const PngLayout& layout) {
    vips::VOption* options = VImage::option();
    if (layout.colourType == 3) {
        options->set("palette", TRUE);
        options->set("bitdepth", std::clamp(layout.bitDepth, 1, 8));
    } else if (layout.colourType == 0 && layout.bitDepth < 8) {
        options->set("bitdepth", std::max(layout.bitDepth, 1));
    }
    return vipsbridge::Save(image, OutputFormat::Png, options);
}

// Bits per sample of a one-channel TIFF (from its first directory), 8 when unknown or not
// one-channel: libvips loads 1, 2 and 4-bit grey as 8 bits and must be told to write them back.
int TiffGreyBits(const Bytes& b) {
    TiffReader t(b.data(), b.size());
    const std::uint32_t ifd = t.header();
    const auto bitsEntry = ifd ? t.entry(ifd, 258) : std::nullopt;
    const auto samplesEntry = ifd ? t.entry(ifd, 277) : std::nullopt;
    const std::uint32_t bits = bitsEntry ? t.number(*bitsEntry).value_or(8) : 8;
    const std::uint32_t samples = samplesEntry ? t.number(*samplesEntry).value_or(0) : 1;
    return samples == 1 && (bits == 1 || bits == 2 || bits == 4) ? int(bits) : 8;
}

Bytes SaveTiff(const VImage& image, int greyBits) {
    if (greyBits == 8 || image.bands() != 1)
        return vipsbridge::Save(image, OutputFormat::Tiff);
    return vipsbridge::Save(image, OutputFormat::Tiff, VImage::option()->set("bitdepth", greyBits));
}

// libvips reads a palette TIFF as RGB and writes no palette: the scaled pixels go back onto the
// source's colour table, with the metadata blocks.
Bytes SavePaletteTiff(const VImage& image, const tiffpalette::Palette& palette) {
    bool droppedIcc = false;
    const QImage pixels = vipsbridge::ToQImage(vipsbridge::ToDisplayable(image, &droppedIcc));
    tiffpalette::Blocks blocks;
    blocks.xmp = vipsbridge::BlobField(image, VIPS_META_XMP_NAME).value_or(Bytes{});
    blocks.iptc = vipsbridge::BlobField(image, VIPS_META_IPTC_NAME).value_or(Bytes{});
    if (!droppedIcc)
        blocks.icc = vipsbridge::BlobField(image, VIPS_META_ICC_NAME).value_or(Bytes{});
    tiffpalette::Palette withResolution = palette;
    if (!(palette.xResolution > 0)) { // as libvips writes it: pixels per centimetre
        withResolution.xResolution = float(image.xres() * 10.0);
        withResolution.yResolution = float(image.yres() * 10.0);
        withResolution.resolutionUnit = 3;
    }
    Bytes tiff = tiffpalette::WritePaletteTiff(pixels, withResolution, blocks);
    const auto exif = vipsbridge::BlobField(image, VIPS_META_EXIF_NAME);
    if (!tiff.empty() && exif)
        tiffmeta::AddExifToTiff(tiff, exif->data(), exif->size(), std::uint32_t(image.width()),
                                std::uint32_t(image.height()));
    return tiff;
}

// The header fields that describe the old pixels must not reach the saver: it would write a
// stale page split or EXIF dimensions. The savers take the new size from the image itself.
void FixHeader(VImage& image, int pages, int pageHeight) {
    VipsImage* im = image.get_image();
    if (pages > 1)
        vips_image_set_int(im, VIPS_META_PAGE_HEIGHT, pageHeight);
    else
        vips_image_remove(im, VIPS_META_PAGE_HEIGHT);
    for (const char* stale : {"exif-ifd2-PixelXDimension", "exif-ifd2-PixelYDimension",
                              "exif-ifd0-ImageWidth", "exif-ifd0-ImageLength"})
        vips_image_remove(im, stale);
    if (vips_image_get_typeof(im, VIPS_META_EXIF_NAME))
        vips_image_set_int(im, VIPS_META_ORIENTATION, 1);
    else
        vips_image_remove(im, VIPS_META_ORIENTATION);
}

Bytes ScaleWithVips(const SharedBytes& bytes, OutputFormat format, int width, int height) {
    // The JPEG library fills missing data with grey and goes on; such a file is not rescaled.
    if (format == OutputFormat::Jpeg && !JpegDataIsSound(bytes))
        throw vips::VError("damaged or truncated JPEG data");
    const VImage header = vipsbridge::LoadHeader(bytes, format);
    const int orientation = vipsbridge::Orientation(header);
    const int pages = format == OutputFormat::Gif || format == OutputFormat::Tiff
                          ? vipsbridge::PageCount(header)
                          : 1;
    const int sourceW = vipsbridge::FrameWidth(header);
    const int sourceH = vipsbridge::FrameHeight(header);
    if (sourceW <= 0 || sourceH <= 0 ||
        std::uint64_t(sourceW) * std::uint64_t(sourceH) > kMaxFramePixels)
        throw vips::VError("frame size out of range");
    // The pixels are scaled as stored and turned upright afterwards, when they are few.
    const bool turned = orientation >= 5;
    const int storedW = turned ? height : width;
    const int storedH = turned ? width : height;

    const int shrink = format == OutputFormat::Jpeg ? JpegShrink(sourceW, sourceH, storedW, storedH)
                       : format == OutputFormat::Webp
                           ? WebpShrink(sourceW, sourceH, storedW, storedH)
                           : 1;
    const VImage in = vipsbridge::LoadHeader(bytes, format, pages > 1 ? -1 : 1, pages == 1, shrink);
    const int loadedPageH = pages > 1 ? vips_image_get_page_height(in.get_image()) : in.height();
    if (pages > 1 && loadedPageH * pages != in.height())
        throw vips::VError("pages of different sizes");

    std::vector<VImage> frames;
    frames.reserve(static_cast<size_t>(pages));
    for (int p = 0; p < pages; ++p) {
        VImage frame = pages > 1 ? in.crop(0, p * loadedPageH, in.width(), loadedPageH) : in;
        frame = ScaleTo(frame, storedW, storedH);
        if (orientation > 1)
            frame = frame.copy_memory().autorot();
        frames.push_back(frame);
    }
    VImage out =
        pages > 1 ? VImage::arrayjoin(frames, VImage::option()->set("across", 1)) : frames.front();
    out = out.copy();
    FixHeader(out, pages, height);
    if (format == OutputFormat::Png)
        return SavePng(out, ReadPngLayout(*bytes));
    if (format == OutputFormat::Tiff && pages == 1)
        if (const auto palette = tiffpalette::ReadPalette(bytes->data(), bytes->size())) {
            Bytes tiff = SavePaletteTiff(out, *palette);
            if (!tiff.empty())
                return tiff;
        }
    if (format == OutputFormat::Tiff)
        return SaveTiff(out, TiffGreyBits(*bytes));
    if (IsHeifFormat(format))
        return SaveHeif(out, format);
    return vipsbridge::Save(out, format);
}

// BMP goes through Qt's codec; the pixels are resampled by libvips like every other format and
// the result is brought back to the source's pixel format (and colour table).
Bytes ScaleBmp(const SharedBytes& bytes, int width, int height) {
    const QImage source = bmp::Decode(bytes);
    if (source.isNull())
        throw vips::VError("undecodable BMP");
    QImage keepAlive;
    const VImage in = vipsbridge::FromQImage(source, &keepAlive);
    QImage scaled = vipsbridge::ToQImage(ScaleTo(in, width, height));
    if (scaled.isNull())
        throw vips::VError("out of memory");
    const QImage::Format format = source.format();
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono ||
        format == QImage::Format_MonoLSB)
        scaled = scaled.convertToFormat(format, source.colorTable(), Qt::ThresholdDither);
    else if (scaled.format() != format)
        scaled = scaled.convertToFormat(format);
    Bytes out;
    if (!bmp::Encode(scaled, &out))
        throw vips::VError("BMP encoder failed");
    return out;
}

} // namespace

int RoundPixels(double x) {
    if (!(x > 0.0))
        return 0;
    if (x >= double(INT_MAX))
        return INT_MAX;
    return static_cast<int>(x + 0.5);
}

QSize FitInside(double W, double H, double maxW, double maxH) {
    double w = W, h = H;
    if (w > maxW) {
        h = h * maxW / w;
        w = maxW;
    }
    if (h > maxH) {
        w = w * maxH / h;
        h = maxH;
    }
    return {RoundPixels(w), RoundPixels(h)};
}

QImage ScaleImagePixels(const SharedBytes& bytes, int width, int height) {
    if (!bytes || bytes->empty() || width < 1 || height < 1 ||
        std::uint64_t(width) * std::uint64_t(height) > kMaxFramePixels)
        return {};
    EnsureImagingStarted();
    const OutputFormat format = SniffFormat(bytes->data(), bytes->size());
    if (format == OutputFormat::DontChange)
        return {};
    try {
        bool droppedIcc = false;
        if (format == OutputFormat::Bmp) {
            QImage keepAlive;
            const QImage source = bmp::Decode(bytes);
            if (source.isNull())
                return {};
            const VImage in =
                vipsbridge::ToDisplayable(vipsbridge::FromQImage(source, &keepAlive), &droppedIcc);
            return vipsbridge::ToQImage(ScaleTo(in, width, height));
        }
        if (format == OutputFormat::Jpeg && !JpegDataIsSound(bytes))
            return {};
        const VImage header = vipsbridge::LoadHeader(bytes, format);
        const int sourceW = vipsbridge::FrameWidth(header);
        const int sourceH = vipsbridge::FrameHeight(header);
        if (sourceW <= 0 || sourceH <= 0 ||
            std::uint64_t(sourceW) * std::uint64_t(sourceH) > kMaxFramePixels)
            return {};
        const bool turned = vipsbridge::Orientation(header) >= 5;
        const int storedW = turned ? height : width;
        const int storedH = turned ? width : height;
        const int shrink =
            format == OutputFormat::Jpeg   ? JpegShrink(sourceW, sourceH, storedW, storedH)
            : format == OutputFormat::Webp ? WebpShrink(sourceW, sourceH, storedW, storedH)
                                           : 1;
        VImage in = shrink > 1 ? vipsbridge::LoadHeader(bytes, format, 1, false, shrink) : header;
        if (vipsbridge::PageCount(in) > 1 || in.height() != vipsbridge::FrameHeight(in))
            in = in.crop(0, 0, in.width(), vipsbridge::FrameHeight(in));
        // Turned upright and made 8-bit first: what is left to resample is already small.
        const VImage upright = vipsbridge::ToDisplayable(in, &droppedIcc);
        return vipsbridge::ToQImage(ScaleTo(upright, width, height));
    } catch (const vips::VError& e) {
        DebugLog(L"  Reduced decoding failed: %S", e.what());
    } catch (const std::exception& e) {
        DebugLog(L"  Reduced decoding failed: %S", e.what());
    }
    vips_error_clear();
    return {};
}

StreamPtr ScaleImageStream(const StreamPtr& source, int width, int height) {
    if (!source || width < 1 || height < 1 ||
        std::uint64_t(width) * std::uint64_t(height) > kMaxFramePixels)
        return nullptr;
    const SharedBytes bytes = source->Contents();
    if (!bytes || bytes->empty())
        return nullptr;
    EnsureImagingStarted();
    const OutputFormat format = SniffFormat(bytes->data(), bytes->size());
    if (format == OutputFormat::DontChange)
        return nullptr;
    try {
        Bytes out = format == OutputFormat::Bmp ? ScaleBmp(bytes, width, height)
                                                : ScaleWithVips(bytes, format, width, height);
        StreamPtr result = NewMemoryStream(std::move(out));
        const SharedBytes written = result->Contents();
        if (SniffFormat(written->data(), written->size()) == OutputFormat::Jpeg)
            RememberSoundJpeg(written); // just written by our encoder
        return result;
    } catch (const vips::VError& e) {
        DebugLog(L"  Rescaling failed: %S", e.what());
    } catch (const std::exception& e) {
        DebugLog(L"  Rescaling failed: %S", e.what());
    }
    vips_error_clear();
    return nullptr;
}

} // namespace rx
