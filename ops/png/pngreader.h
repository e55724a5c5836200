// Reading of a PNG file held in memory: a chunk walk that checks the signature, every length and
// every CRC and notes what the file holds, then decoding of the rows with libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ops/png/PngImage.h"

namespace rx::png {

// An error that ends the optimisation of one file; its text is the message shown after "Error: ".
class PngEngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum : unsigned {
    StatusPngFile = 0x1,
    StatusDatastream = 0x2,
    StatusSignature = 0x4,
    StatusDigitalSignature = 0x8,
    StatusMultipleImages = 0x10,
    StatusAnimationChunks = 0x20,
    StatusStripped = 0x40,
    StatusErrors = 0x80,
    StatusOutputHasChanges = 0x100,
    StatusNeedsNewIdat = 0x200,
};

struct ChunkInfo {
    char name[5] = {};
    std::size_t offset = 0; // of the chunk's length field
    std::uint32_t length = 0;
    bool crcOk = true;
    bool ancillary() const { return (name[0] & 0x20) != 0; }
    bool is(const char* n) const { return std::string_view(name, 4) == n; }
};

struct DatastreamScan {
    unsigned status = 0;
    std::size_t offset = 0;     // of the PNG signature
    std::size_t end = 0;        // just past IEND
    std::uint64_t idatSize = 0; // sum of the IDAT data lengths
    std::uint64_t plteTrnsSize = 0;
    std::vector<ChunkInfo> chunks;
};

using ReadWarning = std::function<void(const char* message)>;

// Walks the chunks of a whole file. Throws PngEngineError for what cannot be read; recoverable
// faults (a bad ancillary CRC, data after IEND) are warnings and set StatusErrors.
DatastreamScan ScanDatastream(const std::uint8_t* data, std::size_t size, const ReadWarning& warn);

// Decodes the datastream into `image`. Ancillary chunks other than tRNS, bKGD, sBIT and hIST
// are kept raw, except those `dropChunk` names. libpng warnings go to `warn`. Throws
// PngEngineError ("libpng error: ..." for the library's errors).
void ReadImage(const std::uint8_t* data, const DatastreamScan& scan, PngImage& image,
               const ReadWarning& warn, const std::function<bool(const ChunkInfo&)>& dropChunk);

// "640x480 pixels, 3x8 bits/pixel, RGB" and the like.
std::string DescribeImage(const PngImage& image);

} // namespace rx::png
