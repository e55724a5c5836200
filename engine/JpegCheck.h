// Whether a JPEG's entropy-coded data is all there and readable. The JPEG library fills missing
// or unreadable data with grey and only warns, so a decoder that accepts its result would pass
// off a damaged file as a good one. Harmless irregularities (stray bytes before a marker, an
// unusual marker) are accepted. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/Stream.h"

namespace rx {

// Decodes the whole scan at 1/8 size (the entropy decoding is complete, the pixel work minimal)
// and fails on an error or on a warning about missing or damaged data. The last block found
// sound on the calling thread is remembered, so a block that is decoded several times on the
// thread that works on its file is checked once.
bool JpegDataIsSound(const SharedBytes& bytes);

// Remembers a block as sound without checking it (bytes our own encoder has just written).
void RememberSoundJpeg(const SharedBytes& bytes);

// A libjpeg warning code that means part of the entropy-coded data was missing or unreadable
// (the library goes on with filler coefficients).
bool IsDamagedJpegDataWarning(int code);

} // namespace rx
