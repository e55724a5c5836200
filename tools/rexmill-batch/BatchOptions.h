// The command line of rexmill-batch.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rx::batch {

struct BatchOptions {
    std::string output;
    int format = 0;
    std::optional<std::string> preset;     // -p TEXT or the contents of -p @FILE
    std::optional<std::string> presetName; // -n NAME
    bool verbose = false;
    bool quiet = false;
    bool help = false;
    std::vector<std::string> paths;
};

// Parses argv; on a usage error returns nothing and sets *error to a one-line reason.
std::optional<BatchOptions> ParseBatchOptions(int argc, char** argv, std::string* error);

// "Don't change", JPEG, PNG, BMP, GIF, TIFF in any letter case, or 0 to 5; -1 otherwise.
int ParseFormatName(const std::string& name);

extern const char kUsage[];

} // namespace rx::batch
