// The command line of rexmill-batch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/OutputFormat.h"

namespace rx::batch {

struct BatchOptions {
    std::string output;
    OutputFormat format = OutputFormat::DontChange;
    std::optional<std::string> preset;     // -p TEXT
    std::optional<std::string> presetFile; // -p @FILE: read by ReadPresetFile
    std::optional<std::string> presetName; // -n NAME
    unsigned jobs = 0;                     // -j N: files in flight; 0 means one per core
    bool verbose = false;
    bool quiet = false;
    bool help = false;
    std::vector<std::string> paths;
};

constexpr long kMaxJobs = 256;

// Parses argv; on a usage error returns nothing and sets *error to a one-line reason.
std::optional<BatchOptions> ParseBatchOptions(int argc, char** argv, std::string* error);

// The largest preset file read; a preset document is a few hundred bytes.
constexpr std::uint64_t kMaxPresetFileSize = 16u << 20;

// Reads a preset file: a regular file of at most kMaxPresetFileSize bytes. Nothing, with a
// one-line *error, when it is missing, not a regular file (a folder, a FIFO, a device), too
// large or unreadable.
std::optional<std::string> ReadPresetFile(const std::string& path, std::string* error);

// "Don't change", JPEG, PNG, BMP, GIF, TIFF, WebP, AVIF in any letter case, or the digit 0 to 7;
// nothing otherwise (HEIC is read but never a conversion target).
std::optional<OutputFormat> ParseFormatName(const std::string& name);

extern const char kUsage[];

} // namespace rx::batch
