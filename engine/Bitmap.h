// A decoded (or decodable) image with the last status of the calls made on it. Opening reads
// only the header: size, format, frame counts and metadata are known at once, pixels are
// decoded on first use. A bitmap whose header or pixels could not be decoded is invalid, and
// every later drawing and encoding call on it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>

#include "engine/OutputFormat.h"
#include "engine/Stream.h"

namespace rx {

enum class ImageStatus {
    Ok,
    InvalidParameter,
    UnknownImageFormat, // none of the formats read formats
    TooLarge,           // a frame above the pixel limit
    DecodeFailed,       // damaged or truncated data
    EncodeFailed,
};

// What went wrong, as a short phrase for logs and messages ("damaged or truncated image data").
const char* ImageStatusText(ImageStatus status);

struct FrameDimension {
    std::string name; // "time" for GIF, WebP and HEIF sequence frames, "page" for TIFF pages
                      // and the top-level images of a HEIF file
    int count = 1;
};

class Bitmap {
public:
    // An invalid bitmap (InvalidParameter).
    Bitmap();
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // Reads the header of the encoded bytes (decoding by content).
    static std::unique_ptr<Bitmap> FromData(SharedBytes data);
    // A bitmap made of pixels; its raw format is DontChange. Metadata may be taken from another
    // bitmap so that re-encoding keeps it.
    static std::unique_ptr<Bitmap> FromImage(QImage pixels, const Bitmap* metadataSource = nullptr);

    ImageStatus LastStatus() const { return status_; }
    bool IsValid() const { return status_ == ImageStatus::Ok; }

    // The data's format; DontChange when none of the formats read, or unreadable.
    OutputFormat RawFormat() const { return format_; }
    // Size as the user sees it (EXIF orientation applied).
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Empty for an invalid bitmap, except that a HEIF image sequence always reports its frames.
    std::vector<FrameDimension> FrameDimensions() const;
    // EXIF DateTime (tag 0x0132) as ASCII text, when the data carries EXIF with it.
    std::optional<std::string> DateTime() const;
    // The EXIF block, when the data carries one.
    std::optional<Bytes> Exif() const;

    // The upright pixels (Grayscale8, RGB888 or RGBA8888 as decoded; whatever was set later).
    // Decoded on the first call; a failed decode makes the bitmap invalid and returns null.
    QImage* Pixels();
    bool PixelsDecoded() const { return decoded_; }
    // Replaces the pixels (e.g. after drawing on a converted copy). Fails on an invalid bitmap.
    bool SetPixels(QImage pixels);

    // Encodes in a format (any but DontChange) with the encoder's defaults; pixels are stored
    // upright and the metadata of the source travels along. False (and status EncodeFailed) on
    // failure.
    bool EncodeTo(OutputFormat format, Bytes* out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    ImageStatus status_ = ImageStatus::InvalidParameter;
    OutputFormat format_ = OutputFormat::DontChange;
    int width_ = 0;
    int height_ = 0;
    int pages_ = 1;
    int frames_ = 1; // of a HEIF image sequence
    bool decoded_ = false;
    QImage pixels_;
};

} // namespace rx
