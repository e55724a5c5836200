#include "engine/Bitmap.h"

#include <algorithm>

#include <vips/vips8>

#include "engine/BmpCodec.h"
#include "engine/ExifReader.h"
#include "engine/Imaging.h"
#include "engine/IsoBmff.h"
#include "engine/JpegCheck.h"
#include "engine/OutputFormat.h"
#include "engine/VipsBridge.h"

namespace rx {

const char* ImageStatusText(ImageStatus status) {
    switch (status) {
    case ImageStatus::Ok:
        return "no error";
    case ImageStatus::InvalidParameter:
        return "no image data";
    case ImageStatus::UnknownImageFormat:
        return "not an image in a known format";
    case ImageStatus::TooLarge:
        return "the image is larger than 300 million pixels";
    case ImageStatus::DecodeFailed:
        return "damaged or truncated image data";
    case ImageStatus::EncodeFailed:
        return "the image cannot be encoded";
    }
    return "the image cannot be decoded";
}

struct Bitmap::Impl {
    SharedBytes data;
    std::optional<vips::VImage> header;   // the lazily decoded source (every format but BMP)
    std::optional<vips::VImage> metadata; // where EXIF, XMP, IPTC and ICC come from
    bool dropIcc = false;
};

// The source to decode once from top to bottom: loaded again for sequential access, so that
// libvips streams the pixels into their destination instead of first decoding the whole
// frame into a buffer of its own. Images that must be turned upright need random access and
// are decoded as loaded.
static vips::VImage StreamingSource(const vips::VImage& header, const SharedBytes& data,
                                    OutputFormat format) {
    if (vipsbridge::Orientation(header) > 1)
        return header;
    return vipsbridge::LoadHeader(data, format, 1, /*sequential=*/true);
}

Bitmap::Bitmap() : impl_(std::make_unique<Impl>()) {}
Bitmap::~Bitmap() = default;

std::unique_ptr<Bitmap> Bitmap::FromData(SharedBytes data) {
    auto bmp = std::make_unique<Bitmap>();
    if (!data || data->empty())
        return bmp;
    EnsureImagingStarted();
    const OutputFormat format = SniffFormat(data->data(), data->size());
    bmp->impl_->data = data;
    if (format == OutputFormat::DontChange) {
        bmp->status_ = ImageStatus::UnknownImageFormat;
        return bmp;
    }
    // A HEIF image sequence is told by its brands and counted in its tracks, whether or not the
    // file also holds a still picture that libheif can show.
    if (IsHeifFormat(format) && isobmff::ReadBrands(data->data(), data->size()).sequence)
        bmp->frames_ =
            std::max<int>(1, int(std::min<std::uint32_t>(
                                 isobmff::SequenceFrames(data->data(), data->size()), 1u << 30)));
    std::uint64_t w = 0, h = 0;
    if (format == OutputFormat::Bmp) {
        const QSize size = bmp::ReadSize(data);
        if (!size.isValid()) {
            bmp->status_ = ImageStatus::DecodeFailed;
            return bmp;
        }
        w = static_cast<std::uint64_t>(size.width());
        h = static_cast<std::uint64_t>(size.height());
    } else {
        try {
            vips::VImage header = vipsbridge::LoadHeader(data, format);
            w = static_cast<std::uint64_t>(vipsbridge::FrameWidth(header));
            h = static_cast<std::uint64_t>(vipsbridge::FrameHeight(header));
            bmp->pages_ = vipsbridge::PageCount(header);
            if (vipsbridge::Orientation(header) >= 5)
                std::swap(w, h);
            bmp->impl_->metadata = header;
            bmp->impl_->header = std::move(header);
        } catch (const vips::VError&) {
            vips_error_clear();
            bmp->status_ = ImageStatus::DecodeFailed;
            return bmp;
        }
    }
    if (w == 0 || h == 0) {
        bmp->status_ = ImageStatus::DecodeFailed;
        return bmp;
    }
    if (w * h > kMaxFramePixels) {
        bmp->impl_->header.reset();
        bmp->status_ = ImageStatus::TooLarge;
        return bmp;
    }
    bmp->format_ = format;
    bmp->width_ = static_cast<int>(w);
    bmp->height_ = static_cast<int>(h);
    bmp->status_ = ImageStatus::Ok;
    return bmp;
}

std::unique_ptr<Bitmap> Bitmap::FromImage(QImage pixels, const Bitmap* metadataSource) {
    auto bmp = std::make_unique<Bitmap>();
    if (pixels.isNull())
        return bmp;
    bmp->width_ = pixels.width();
    bmp->height_ = pixels.height();
    bmp->pixels_ = std::move(pixels);
    bmp->decoded_ = true;
    bmp->status_ = ImageStatus::Ok;
    if (metadataSource) {
        bmp->impl_->metadata = metadataSource->impl_->metadata;
        bmp->impl_->dropIcc = metadataSource->impl_->dropIcc;
    }
    return bmp;
}

std::vector<FrameDimension> Bitmap::FrameDimensions() const {
    if (frames_ > 1) // a sequence, even one without a readable still picture
        return {{"time", frames_}, {"page", IsValid() ? pages_ : 1}};
    if (!IsValid())
        return {};
    if (format_ == OutputFormat::Gif || format_ == OutputFormat::Webp)
        return {{"time", pages_}};
    if (format_ == OutputFormat::Tiff || IsHeifFormat(format_))
        return {{"page", pages_}};
    return {{"page", 1}};
}

std::optional<Bytes> Bitmap::Exif() const {
    if (!impl_->metadata)
        return std::nullopt;
    return vipsbridge::BlobField(*impl_->metadata, VIPS_META_EXIF_NAME);
}

std::optional<std::string> Bitmap::DateTime() const {
    const auto exif = Exif();
    if (!exif)
        return std::nullopt;
    return ReadExifAscii(exif->data(), exif->size(), kExifTagDateTime);
}

QImage* Bitmap::Pixels() {
    if (!IsValid())
        return nullptr;
    if (decoded_)
        return &pixels_;
    try {
        if (format_ == OutputFormat::Jpeg && !JpegDataIsSound(impl_->data)) {
            pixels_ = QImage();
        } else if (format_ == OutputFormat::Bmp) {
            pixels_ = bmp::Decode(impl_->data);
        } else if (impl_->header) {
            bool dropIcc = false;
            vips::VImage displayable = vipsbridge::ToDisplayable(
                StreamingSource(*impl_->header, impl_->data, format_), &dropIcc);
            impl_->dropIcc = dropIcc;
            pixels_ = vipsbridge::ToQImage(displayable);
        }
    } catch (const vips::VError&) {
        vips_error_clear();
        pixels_ = QImage();
    }
    if (pixels_.isNull()) {
        status_ = ImageStatus::DecodeFailed;
        return nullptr;
    }
    decoded_ = true;
    // Nothing is read from the encoded source any more: it is let go (the metadata stays, on an
    // image of its own), so that the bytes are not held beside the pixels and what is made of
    // them. HEIF sources, small for their pixels, keep their header image: the HEIF saver does
    // not write the profile carried over from a one-pixel image.
    if (!IsHeifFormat(format_)) {
        impl_->header.reset();
        impl_->data.reset();
        if (impl_->metadata)
            impl_->metadata = vipsbridge::MetadataOnly(*impl_->metadata);
    }
    return &pixels_;
}

bool Bitmap::SetPixels(QImage pixels) {
    if (!IsValid() || pixels.isNull())
        return false;
    pixels_ = std::move(pixels);
    width_ = pixels_.width();
    height_ = pixels_.height();
    decoded_ = true;
    return true;
}

bool Bitmap::EncodeTo(OutputFormat format, Bytes* out) {
    if (!IsValid() || FormatNumber(format) < 1 || FormatNumber(format) >= kImageFormatCount)
        return false;
    try {
        if (format == OutputFormat::Bmp) {
            if (!Pixels() || !bmp::Encode(pixels_, out)) {
                status_ = ImageStatus::EncodeFailed;
                return false;
            }
            return true;
        }
        vips::VImage image;
        QImage keepAlive;
        bool dropIcc = impl_->dropIcc;
        if (decoded_ || !impl_->header) {
            if (!Pixels()) // a BMP source has pixels only
                return false;
            image = vipsbridge::FromQImage(pixels_, &keepAlive);
        } else {
            // Straight from the source: no detour through a QImage, depth and bands kept.
            if (format_ == OutputFormat::Jpeg && !JpegDataIsSound(impl_->data)) {
                status_ = ImageStatus::DecodeFailed;
                return false;
            }
            image = StreamingSource(*impl_->header, impl_->data, format_);
            if (vipsbridge::Orientation(image) > 1)
                image = image.autorot();
            if (image.interpretation() == VIPS_INTERPRETATION_CMYK &&
                format != OutputFormat::Jpeg && format != OutputFormat::Tiff) {
                image = vipsbridge::ToDisplayable(image, &dropIcc);
            }
        }
        image = image.copy();
        if (impl_->metadata)
            vipsbridge::CopyMetadata(*impl_->metadata, image, dropIcc);
        if (format == OutputFormat::Jpeg &&
            image.has_alpha()) // JPEG has no alpha: transparent areas turn white
            image = image.flatten(
                vips::VImage::option()->set("background", std::vector<double>{255.0}));
        *out = vipsbridge::Save(image, format);
        return true;
    } catch (const vips::VError&) {
        vips_error_clear();
        status_ = decoded_ ? ImageStatus::EncodeFailed : ImageStatus::DecodeFailed;
        return false;
    }
}

} // namespace rx
