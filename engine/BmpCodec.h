// BMP reading and writing through Qt's BMP handler alone (it reads and writes nothing else).
#pragma once

#include <QImage>
#include <QSize>

#include "engine/Stream.h"

namespace rx::bmp {

// The size from the header; an invalid size when the data is no readable BMP.
QSize ReadSize(const SharedBytes& bytes);
// The decoded image, or a null image.
QImage Decode(const SharedBytes& bytes);
// The encoded BMP, or false.
bool Encode(const QImage& image, Bytes* out);

} // namespace rx::bmp
