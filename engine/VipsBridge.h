// The thin layer between encoded bytes, libvips images and QImage. Only each format's own
// loader and saver are called, each by name; bytes are referenced, not copied.
#pragma once

#include <optional>

#include <QImage>
#include <vips/vips8>

#include "engine/OutputFormat.h"
#include "engine/Stream.h"

namespace rx::vipsbridge {

// Header-only load of one frame by the format's own loader (any format but BMP, which is not a
// libvips format here). The image keeps the bytes alive. Pixels are decoded on first access;
// a damaged file then raises vips::VError. Throws vips::VError when the header is unreadable.
// `pages` = -1 loads every page or frame (for rescaling multi-page files), 1 the first only.
// `shrink` decodes JPEG at 1/2, 1/4 or 1/8 of the size in the DCT domain, and WebP at 1/shrink
// of the size by the WebP decoder's own averaging rescaler. An XMP packet of a HEIF file is
// offered as the image's XMP block, as the other loaders do.
vips::VImage LoadHeader(const SharedBytes& bytes, OutputFormat format, int pages = 1,
                        bool sequential = false, int shrink = 1);

// Width and height of one frame, taking the page height of multi-page loads.
int FrameWidth(const vips::VImage& image);
int FrameHeight(const vips::VImage& image);
// Number of pages or frames the header announces (1 when it announces none).
int PageCount(const vips::VImage& image);
// EXIF orientation 1..8 (1 when absent or out of range).
int Orientation(const vips::VImage& image);

// A blob field (e.g. "exif-data") as bytes, or nothing.
std::optional<Bytes> BlobField(const vips::VImage& image, const char* name);

// Copies the metadata blocks a file carries (EXIF, XMP, IPTC and, unless dropIcc, ICC) from one
// image to another; the EXIF orientation becomes 1 since pixels are always stored upright.
void CopyMetadata(const vips::VImage& from, vips::VImage& to, bool dropIcc);

// A one-pixel image carrying the metadata fields of `image` (EXIF, XMP, IPTC, ICC, the parsed
// EXIF fields and the rest), without its pixels and without the encoded bytes they come from.
vips::VImage MetadataOnly(const vips::VImage& image);

// Upright, 8-bit sRGB or grey pixels ready to wrap as a QImage (1, 3 or 4 bands).
// *droppedIcc is set when the colours were converted away from the file's profile (CMYK).
vips::VImage ToDisplayable(vips::VImage image, bool* droppedIcc);

// Decodes a displayable image into a QImage (Grayscale8, RGB888 or RGBA8888). Throws VError.
QImage ToQImage(const vips::VImage& displayable);

// Wraps a QImage's pixels as a libvips image (converted to a packed 8-bit layout first when
// needed). The QImage must outlive the returned image's use.
vips::VImage FromQImage(const QImage& image, QImage* keepAlive);

// Encodes with the format's own saver and its default settings (any format but BMP; HEIC with
// HEVC, AVIF with AV1, HEIF samples of more than 8 bits at their source depth); `options` may
// carry what the source's layout needs kept (e.g. a PNG palette). Throws vips::VError.
Bytes Save(const vips::VImage& image, OutputFormat format, vips::VOption* options = nullptr);

// Whether the format (any but DontChange) can be written on this system: HEIC and AVIF need
// libheif's HEVC and AV1 encoders, which are found at run time (probed once per process with a tiny
// image).
bool EncoderAvailable(OutputFormat format);

} // namespace rx::vipsbridge
