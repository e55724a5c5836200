// TIFF metadata that libvips' TIFF loader does not turn into an EXIF block and its saver does
// not write: the descriptive tags of the first directory (make, model, artist, date and the
// like) and the EXIF and GPS directories. Moves them between TIFF files and the EXIF block
// ("Exif\0\0" and a TIFF structure) that the other formats carry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/Stream.h"

namespace rx::tiffmeta {

// The descriptive tags and the EXIF and GPS directories of a TIFF file's first directory, as an
// EXIF block; empty when there are none or the file cannot be read.
Bytes ExifBlockFromTiff(const std::uint8_t* data, std::size_t size);

// Adds to the first directory of a classic TIFF file the descriptive tags and the EXIF and GPS
// directories of an EXIF block, those it does not have already; the EXIF pixel dimensions
// become `width` x `height`. Returns false, leaving `tiff` as it was, when either cannot be
// read.
bool AddExifToTiff(Bytes& tiff, const std::uint8_t* exif, std::size_t size, std::uint32_t width,
                   std::uint32_t height);

} // namespace rx::tiffmeta
