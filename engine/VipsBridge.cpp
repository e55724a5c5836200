#include "engine/VipsBridge.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include <boost/thread/thread.hpp>

#include "engine/DebugLog.h"
#include "engine/Imaging.h"
#include "engine/OutputFormat.h"
#include "engine/TiffMetadata.h"

namespace rx::vipsbridge {
namespace {

// Each format's own loader and saver; BMP is Qt's, not a libvips format here.
const char* LoaderName(OutputFormat format) {
    switch (format) {
    case OutputFormat::Jpeg:
        return "jpegload_buffer";
    case OutputFormat::Png:
        return "pngload_buffer";
    case OutputFormat::Gif:
        return "gifload_buffer";
    case OutputFormat::Tiff:
        return "tiffload_buffer";
    case OutputFormat::Webp:
        return "webpload_buffer";
    case OutputFormat::Avif:
    case OutputFormat::Heic:
        return "heifload_buffer";
    case OutputFormat::DontChange:
    case OutputFormat::Bmp:
        break;
    }
    return nullptr;
}

const char* SaverName(OutputFormat format) {
    switch (format) {
    case OutputFormat::Jpeg:
        return "jpegsave_target";
    case OutputFormat::Png:
        return "pngsave_target";
    case OutputFormat::Gif:
        return "gifsave_target";
    case OutputFormat::Tiff:
        return "tiffsave_target";
    case OutputFormat::Webp:
        return "webpsave_target";
    case OutputFormat::Avif:
    case OutputFormat::Heic:
        return "heifsave_target";
    case OutputFormat::DontChange:
    case OutputFormat::Bmp:
        break;
    }
    return nullptr;
}

bool IsXmp(const void* data, size_t size) {
    static const char kTag[] = "<x:xmpmeta";
    const char* text = static_cast<const char*>(data);
    return std::search(text, text + size, kTag, kTag + sizeof kTag - 1) != text + size;
}

// The HEIF loader keeps an XMP packet under its item type ("heif-mime-N") unless it starts with
// the meta element; the packet becomes the XMP block that every saver writes.
void AdoptHeifXmp(VipsImage* image) {
    if (vips_image_get_typeof(image, VIPS_META_XMP_NAME))
        return;
    char** names = vips_image_get_fields(image);
    for (char** n = names; n && *n; ++n) {
        const void* data = nullptr;
        size_t size = 0;
        if (std::strncmp(*n, "heif-mime-", 10) == 0 &&
            vips_image_get_blob(image, *n, &data, &size) == 0 && data && IsXmp(data, size)) {
            vips_image_set_blob_copy(image, VIPS_META_XMP_NAME, data, size);
            break;
        }
    }
    g_strfreev(names);
}

void ReleaseBytes(gpointer p) {
    delete static_cast<SharedBytes*>(p);
}

// Ends a computation of an image when the thread that started it is asked to stop (a cancelled
// job): libvips reports every work unit through "eval", and a killed image fails its write.
class KillOnInterrupt {
public:
    explicit KillOnInterrupt(const vips::VImage& image)
        : image_(image.get_image()), owner_(std::this_thread::get_id()) {
        vips_image_set_progress(image_, TRUE);
        handler_ = g_signal_connect(image_, "eval", G_CALLBACK(OnEval), this);
    }
    ~KillOnInterrupt() { g_signal_handler_disconnect(image_, handler_); }
    KillOnInterrupt(const KillOnInterrupt&) = delete;
    KillOnInterrupt& operator=(const KillOnInterrupt&) = delete;

private:
    static void OnEval(VipsImage* image, VipsProgress*, gpointer self) {
        auto* k = static_cast<KillOnInterrupt*>(self);
        // The interruption flag is the owner's; libvips reports on the thread that writes.
        if (std::this_thread::get_id() == k->owner_ && boost::this_thread::interruption_requested())
            vips_image_set_kill(image, TRUE);
    }

    VipsImage* image_;
    std::thread::id owner_;
    gulong handler_ = 0;
};

// A saver's output target writing into a PieceBuffer; TIFF's writer also reads back and seeks.
class PieceTarget {
public:
    PieceTarget() : target_(vips_target_custom_new()) {
        g_signal_connect(target_, "write", G_CALLBACK(OnWrite), &buffer_);
        g_signal_connect(target_, "read", G_CALLBACK(OnRead), &buffer_);
        g_signal_connect(target_, "seek", G_CALLBACK(OnSeek), &buffer_);
        g_signal_connect(target_, "end", G_CALLBACK(OnEnd), &buffer_);
    }
    ~PieceTarget() { g_object_unref(target_); }
    PieceTarget(const PieceTarget&) = delete;
    PieceTarget& operator=(const PieceTarget&) = delete;

    vips::VTarget target() const {
        g_object_ref(target_);
        return vips::VTarget(VIPS_TARGET(target_));
    }
    PieceBuffer& buffer() { return buffer_; }

private:
    static gint64 OnWrite(VipsTargetCustom*, const void* data, gint64 length, gpointer buffer) {
        if (length < 0 || !static_cast<PieceBuffer*>(buffer)->Write(data, size_t(length)))
            return -1;
        return length;
    }
    static gint64 OnRead(VipsTargetCustom*, void* data, gint64 length, gpointer buffer) {
        return length < 0 ? -1
                          : gint64(static_cast<PieceBuffer*>(buffer)->Read(data, size_t(length)));
    }
    static gint64 OnSeek(VipsTargetCustom*, gint64 offset, int whence, gpointer buffer) {
        return static_cast<PieceBuffer*>(buffer)->Seek(offset, whence);
    }
    static int OnEnd(VipsTargetCustom*, gpointer) { return 0; }

    VipsTargetCustom* target_;
    PieceBuffer buffer_;
};

} // namespace

vips::VImage LoadHeader(const SharedBytes& bytes, OutputFormat format, int pages, bool sequential,
                        int shrink) {
    EnsureImagingStarted();
    const char* loader = LoaderName(format);
    if (!loader || !bytes || bytes->empty())
        throw vips::VError("unsupported format");
    // The blob refers to the shared block; the block is kept alive by the loaded image below.
    VipsBlob* blob = vips_blob_new(nullptr, bytes->data(), bytes->size());
    vips::VImage out;
    vips::VOption* options =
        vips::VImage::option()
            ->set("buffer", blob)
            ->set("out", &out)
            ->set("fail_on", VIPS_FAIL_ON_ERROR)
            ->set("access", sequential ? VIPS_ACCESS_SEQUENTIAL : VIPS_ACCESS_RANDOM);
    if (format == OutputFormat::Gif || format == OutputFormat::Tiff ||
        format == OutputFormat::Webp || IsHeifFormat(format))
        options->set("n", pages);
    if (format == OutputFormat::Jpeg && shrink > 1)
        options->set("shrink", shrink);
    if (format == OutputFormat::Webp && shrink > 1)
        options->set("scale", 1.0 / shrink);
    try {
        vips::VImage::call(loader, options);
    } catch (...) {
        vips_area_unref(VIPS_AREA(blob));
        throw;
    }
    vips_area_unref(VIPS_AREA(blob));
    g_object_set_data_full(G_OBJECT(out.get_image()), "rx-bytes", new SharedBytes(bytes),
                           ReleaseBytes);
    if (IsHeifFormat(format))
        AdoptHeifXmp(out.get_image());
    // The TIFF loader leaves make, model, dates and the EXIF and GPS directories behind: they
    // travel as an EXIF block like those of the other formats.
    if (format == OutputFormat::Tiff &&
        !vips_image_get_typeof(out.get_image(), VIPS_META_EXIF_NAME)) {
        const Bytes exif = tiffmeta::ExifBlockFromTiff(bytes->data(), bytes->size());
        if (!exif.empty())
            vips_image_set_blob_copy(out.get_image(), VIPS_META_EXIF_NAME, exif.data(),
                                     exif.size());
    }
    return out;
}

int FrameWidth(const vips::VImage& image) {
    return image.width();
}

int FrameHeight(const vips::VImage& image) {
    return vips_image_get_page_height(image.get_image());
}

int PageCount(const vips::VImage& image) {
    int n = 1;
    if (vips_image_get_typeof(image.get_image(), VIPS_META_N_PAGES) &&
        vips_image_get_int(image.get_image(), VIPS_META_N_PAGES, &n) == 0 && n >= 1)
        return n;
    return 1;
}

int Orientation(const vips::VImage& image) {
    int o = 1;
    if (vips_image_get_typeof(image.get_image(), VIPS_META_ORIENTATION) &&
        vips_image_get_int(image.get_image(), VIPS_META_ORIENTATION, &o) == 0 && o >= 1 && o <= 8)
        return o;
    return 1;
}

std::optional<Bytes> BlobField(const vips::VImage& image, const char* name) {
    const void* data = nullptr;
    size_t size = 0;
    if (!vips_image_get_typeof(image.get_image(), name) ||
        vips_image_get_blob(image.get_image(), name, &data, &size) != 0 || !data)
        return std::nullopt;
    const auto* p = static_cast<const std::uint8_t*>(data);
    return Bytes(p, p + size);
}

void CopyMetadata(const vips::VImage& from, vips::VImage& to, bool dropIcc) {
    static const char* const fields[] = {VIPS_META_EXIF_NAME, VIPS_META_XMP_NAME,
                                         VIPS_META_IPTC_NAME, VIPS_META_ICC_NAME};
    for (const char* name : fields) {
        if (dropIcc && std::strcmp(name, VIPS_META_ICC_NAME) == 0)
            continue;
        const void* data = nullptr;
        size_t size = 0;
        if (vips_image_get_typeof(from.get_image(), name) &&
            vips_image_get_blob(from.get_image(), name, &data, &size) == 0 && data && size)
            vips_image_set_blob_copy(to.get_image(), name, data, size);
    }
    // Savers rebuild the EXIF block from the parsed exif-* fields, so those travel too.
    char** names = vips_image_get_fields(from.get_image());
    for (char** n = names; n && *n; ++n) {
        if (std::strncmp(*n, "exif-ifd", 8) == 0) {
            const char* value = nullptr;
            if (vips_image_get_string(from.get_image(), *n, &value) == 0 && value)
                vips_image_set_string(to.get_image(), *n, value);
        }
    }
    g_strfreev(names);
    if (vips_image_get_typeof(to.get_image(), VIPS_META_EXIF_NAME))
        vips_image_set_int(to.get_image(), VIPS_META_ORIENTATION, 1);
    else
        vips_image_remove(to.get_image(), VIPS_META_ORIENTATION);
}

vips::VImage MetadataOnly(const vips::VImage& image) {
    // The fields every image has in its header, which the new image has of its own.
    static const char* const kHeader[] = {
        "width",   "height", "bands", "format",   "coding", "interpretation", "xoffset",
        "yoffset", "xres",   "yres",  "filename", "mode",   "kill",           "demand"};
    vips::VImage out = vips::VImage::black(1, 1).copy();
    char** names = vips_image_get_fields(image.get_image());
    for (char** n = names; n && *n; ++n) {
        if (std::any_of(std::begin(kHeader), std::end(kHeader),
                        [n](const char* h) { return std::strcmp(h, *n) == 0; }))
            continue;
        GValue value = G_VALUE_INIT;
        if (vips_image_get(image.get_image(), *n, &value) == 0) {
            vips_image_set(out.get_image(), *n, &value);
            g_value_unset(&value);
        }
    }
    g_strfreev(names);
    return out;
}

vips::VImage ToDisplayable(vips::VImage image, bool* droppedIcc) {
    *droppedIcc = false;
    if (Orientation(image) > 1)
        image = image.autorot();
    const VipsInterpretation interp = image.interpretation();
    if (interp == VIPS_INTERPRETATION_CMYK && image.bands() >= 4) {
        vips::VImage cmyk =
            image.bands() > 4 ? image.extract_band(0, vips::VImage::option()->set("n", 4)) : image;
        image = cmyk.icc_transform(
            "srgb", vips::VImage::option()->set("input_profile", "cmyk")->set("embedded", TRUE));
        *droppedIcc = true;
    } else if (interp == VIPS_INTERPRETATION_LABS || interp == VIPS_INTERPRETATION_LAB) {
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        *droppedIcc = true;
    }
    if (image.format() != VIPS_FORMAT_UCHAR) {
        if (image.format() == VIPS_FORMAT_USHORT)
            image = (image >> 8).cast(VIPS_FORMAT_UCHAR);
        else
            image = image.cast(VIPS_FORMAT_UCHAR);
    }
    if (image.bands() == 2) {
        vips::VImage g = image.extract_band(0);
        image = vips::VImage::bandjoin(std::vector<vips::VImage>{g, g, g, image.extract_band(1)});
    } else if (image.bands() > 4) {
        image = image.extract_band(0, vips::VImage::option()->set("n", 4));
    }
    return image;
}

QImage ToQImage(const vips::VImage& img) {
    const int w = img.width(), h = img.height(), bands = img.bands();
    const QImage::Format fmt = bands == 1   ? QImage::Format_Grayscale8
                               : bands == 3 ? QImage::Format_RGB888
                                            : QImage::Format_RGBA8888;
    // QImage wants 32-bit aligned lines: libvips pads each line on the right while decoding (up
    // to three pixels the QImage does not show), so the decoded block is used as it is, never
    // repacked into a second frame.
    int paddedWidth = w;
    while ((qsizetype(paddedWidth) * bands) % 4 != 0)
        ++paddedWidth;
    const vips::VImage lines = paddedWidth == w ? img : img.embed(0, 0, paddedWidth, h);
    size_t size = 0;
    void* mem = nullptr;
    {
        const KillOnInterrupt kill(lines);
        mem = lines.write_to_memory(&size);
    }
    CountPixelDecode();
    const qsizetype stride = qsizetype(paddedWidth) * bands;
    QImage out(static_cast<uchar*>(mem), w, h, stride, fmt, g_free, mem);
    if (out.isNull())
        g_free(mem);
    return out;
}

namespace {

// The lines of a QImage as a libvips image of `bands` 8-bit bands, without a copy: each line
// is `bytesPerLine / bands` pixels wide in memory, and the padding on the right is cut away
// lazily. The QImage must outlive the image's use.
vips::VImage WrapLines(const QImage& image, int bands) {
    const int lineWidth = int(image.bytesPerLine() / bands);
    vips::VImage v = vips::VImage::new_from_memory(
        const_cast<uchar*>(image.constBits()), static_cast<size_t>(image.sizeInBytes()), lineWidth,
        image.height(), bands, VIPS_FORMAT_UCHAR);
    if (lineWidth != image.width())
        v = v.extract_area(0, 0, image.width(), image.height());
    return v;
}

} // namespace

vips::VImage FromQImage(const QImage& image, QImage* keepAlive) {
    EnsureImagingStarted();
    QImage img = image;
    vips::VImage v;
    int bands = 0;
    switch (img.format()) {
    case QImage::Format_Grayscale8:
        bands = 1;
        break;
    case QImage::Format_RGB888:
        bands = 3;
        break;
    case QImage::Format_RGBA8888:
        bands = 4;
        break;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        // Blue, green, red and alpha bytes: the bands are put in order lazily, in place.
        bands = img.format() == QImage::Format_ARGB32 ? 4 : 3;
        break;
#endif
    default:
        img = img.convertToFormat(img.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                        : QImage::Format_RGB888);
        bands = img.hasAlphaChannel() ? 4 : 3;
    }
    const bool bgrx = img.format() == QImage::Format_RGB32 || img.format() == QImage::Format_ARGB32;
    const int stored = bgrx ? 4 : bands;
    if (img.bytesPerLine() % stored != 0) {
        // Lines padded by a part of a pixel (RGB888 of some widths): four bytes a pixel always
        // fill whole lines, at the cost of one converted copy.
        img = img.convertToFormat(QImage::Format_RGBA8888);
        v = WrapLines(img, 4);
        if (bands == 3)
            v = v.extract_band(0, vips::VImage::option()->set("n", 3));
    } else if (bgrx) {
        const vips::VImage bgra = WrapLines(img, 4);
        std::vector<vips::VImage> order{bgra.extract_band(2), bgra.extract_band(1),
                                        bgra.extract_band(0)};
        if (bands == 4)
            order.push_back(bgra.extract_band(3));
        v = vips::VImage::bandjoin(order);
    } else {
        v = WrapLines(img, bands);
    }
    *keepAlive = img;
    return v.copy(vips::VImage::option()->set(
        "interpretation", bands == 1 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
}

Bytes Save(const vips::VImage& image, OutputFormat format, vips::VOption* options) {
    EnsureImagingStarted();
    const char* saver = SaverName(format);
    if (!saver) {
        delete options;
        throw vips::VError("no encoder for this format");
    }
    vips::VImage in = image;
    if (!options)
        options = vips::VImage::option();
    if (IsHeifFormat(format)) {
        options->set("compression", format == OutputFormat::Avif
                                        ? VIPS_FOREIGN_HEIF_COMPRESSION_AV1
                                        : VIPS_FOREIGN_HEIF_COMPRESSION_HEVC);
        // More than 8 bits a sample are written with the depth the source had (10 or 12).
        int bits = 0;
        if (in.format() == VIPS_FORMAT_USHORT &&
            vips_image_get_typeof(in.get_image(), "heif-bitdepth") &&
            vips_image_get_int(in.get_image(), "heif-bitdepth", &bits) == 0 && bits > 8 &&
            bits <= 16)
            options->set("bitdepth", bits);
    }
    // The saver writes into pieces that are gathered into the result one by one, so the encoded
    // bytes are held once, not as a library buffer and a copy of it.
    PieceTarget target;
    {
        const KillOnInterrupt kill(in);
        vips::VImage::call(saver, options->set("in", in)->set("target", target.target()));
    }
    if (target.buffer().size() == 0)
        throw vips::VError("encoder wrote nothing");
    // The TIFF saver writes no EXIF: its descriptive tags and directories are added here, in
    // room left at the end of the block.
    const void* exif = nullptr;
    size_t exifSize = 0;
    if (format != OutputFormat::Tiff ||
        !vips_image_get_typeof(in.get_image(), VIPS_META_EXIF_NAME) ||
        vips_image_get_blob(in.get_image(), VIPS_META_EXIF_NAME, &exif, &exifSize) != 0)
        exif = nullptr;
    Bytes out = target.buffer().Take(exif ? 2 * exifSize + 65536 : 0);
    if (exif)
        tiffmeta::AddExifToTiff(out, static_cast<const std::uint8_t*>(exif), exifSize,
                                std::uint32_t(in.width()), std::uint32_t(FrameHeight(in)));
    return out;
}

bool EncoderAvailable(OutputFormat format) {
    if (!IsHeifFormat(format)) // BMP is written by Qt, the others by codecs libvips is linked with
        return FormatNumber(format) > 0 && FormatNumber(format) < kImageFormatCount;
    // libheif finds its encoders (x265, aom) at run time: one tiny encode tells.
    static bool available[kImageFormatCount] = {};
    static std::once_flag once[kImageFormatCount];
    const int slot = FormatNumber(format);
    std::call_once(once[slot], [format, slot] {
        EnsureImagingStarted();
        try {
            const vips::VImage probe =
                vips::VImage::black(16, 16, vips::VImage::option()->set("bands", 3))
                    .cast(VIPS_FORMAT_UCHAR)
                    .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
            available[slot] = !Save(probe, format).empty();
        } catch (const vips::VError& e) {
            DebugLog(L"No %s encoder: %S", OutputFormatName(format), e.what());
            vips_error_clear();
        }
    });
    return available[slot];
}

} // namespace rx::vipsbridge
