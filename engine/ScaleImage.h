// Rescaling of an encoded image into the same container at a new pixel size, and the rule that
// fits a size into a box. Used by the Resize operation and by the preview for its screen copy.
#pragma once

#include <QImage>
#include <QSize>

#include "engine/Stream.h"

namespace rx {

// Rounds a non-negative pixel count to the nearest integer, halves upward (x + 0.5 truncated).
int RoundPixels(double x);

// The size (W, H) shrunk, keeping its proportions, until it fits inside maxW x maxH; never
// enlarged. When only one side is too large only that side's ratio applies.
QSize FitInside(double W, double H, double maxW, double maxH);

// The same image re-encoded at width x height (the upright size, as the user sees it) in the
// source's own container: JPEG stays JPEG, PNG stays PNG, and so on (a HEIC or AVIF source
// becomes JPEG only when its encoder is missing on this system, and the log says so). Every page or
// frame is scaled; bit depth, channels, grey, alpha and palette are kept, and so are EXIF (with its
// pixel dimensions updated and orientation 1, the pixels being stored upright), XMP, IPTC and the
// ICC profile where the container carries them. Each format's encoder runs with its defaults.
// Downscaling averages every source pixel (box shrink, then a Lanczos-3 reduction); enlarging
// interpolates smoothly. Returns a new memory stream, or null on any failure (the source is not
// touched). Thread-safe; reads the source through Contents(), so its position does not matter.
StreamPtr ScaleImageStream(const StreamPtr& source, int width, int height);

// The upright pixels of the image's first frame at exactly width x height, for showing what a
// rescale to that size would give without encoding it: the same resampling as
// ScaleImageStream, but a JPEG is decoded at 1/2, 1/4 or 1/8 of its size in the DCT domain
// (and a WebP by its decoder's own averaging) where the reduction allows it, so that a photo
// many times the size is never decoded whole. Grayscale8, RGB888 or RGBA8888 as
// Bitmap::Pixels gives them; a null image on any failure, damaged JPEG data included.
// Thread-safe; a thread interruption stops the decoding.
QImage ScaleImagePixels(const SharedBytes& bytes, int width, int height);

} // namespace rx
