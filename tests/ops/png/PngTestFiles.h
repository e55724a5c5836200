// Test helpers for the PNG engine: PNG files built with libpng from raw rows, decoding to one
// common pixel form for comparisons, chunk surgery, and engine runs that capture the messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ops/png/pngoptim.h"

namespace rxtest::png {

using Bytes = std::vector<std::uint8_t>;

struct RawPng {
    std::uint32_t width = 16, height = 16;
    int bitDepth = 8;
    int colorType = 2;
    int interlace = 0;
    Bytes rows;                        // height * rowBytes, packed as in the file
    std::vector<std::uint8_t> palette; // r, g, b triples
    Bytes transAlpha;                  // palette tRNS
    bool hasKey = false;
    std::uint16_t keyRed = 0, keyGreen = 0, keyBlue = 0, keyGray = 0;
    int zlibLevel = 1; // weak on purpose, so the engine has something to gain
    int filter = 0x08; // PNG_FILTER_NONE
    std::size_t rowBytes() const;
    int channels() const;
};

Bytes EncodePng(const RawPng& image);

// Samples pseudo-random but compressible rows that use every possible value of the format.
RawPng MakeRaw(int colorType, int bitDepth, std::uint32_t width, std::uint32_t height,
               int interlace = 0, std::uint32_t seed = 1);

struct Pixels {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint16_t> rgba; // 4 samples per pixel, 16 bits each
    bool ok = false;
};
// Decodes any PNG to RGBA with 16 bits per sample (palette, tRNS and grey expanded).
Pixels Decode(const Bytes& png);
// Samples that differ between two decodings of the same size: every sample of the pixels
// visible in `before`, only alpha of the fully transparent ones (their colour may be cleaned).
std::size_t VisibleDifferences(const Pixels& before, const Pixels& after);

struct Header {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = -1, interlace = 0, paletteSize = 0, transCount = 0;
    bool hasTrns = false;
};
Header ReadHeader(const Bytes& png);

// Chunk surgery on an encoded file.
struct Chunk {
    std::string name;
    Bytes data;
};
std::vector<Chunk> SplitChunks(const Bytes& png);
Bytes JoinChunks(const std::vector<Chunk>& chunks);

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
bool Exists(const std::string& path);
// A fresh empty folder for one test.
std::string TempFolder(const std::string& name);

struct EngineRun {
    int result = 0;
    std::string text;                // everything the engine printed
    std::vector<std::string> trials; // "zc = 9  zm = 8  zs = 0  f = 0" per trial, in order
    int panics = 0;
};
// Runs InitializeEngine, OptimizeFile and FinalizeEngine on one file.
EngineRun Optimize(const std::string& path, int level, unsigned threads = 0,
                   rx::png::PngEngineOptions options = {});

} // namespace rxtest::png
