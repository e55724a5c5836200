#include "tools/rexmill-batch/BatchOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

#include <boost/filesystem/operations.hpp>

#include "engine/OutputFormat.h"
#include "engine/Stream.h"
#include "engine/Text.h"

namespace rx::batch {

const char kUsage[] =
    "Usage: rexmill-batch [options] PATH...\n"
    "Runs the Rexmill batch job on image files and folders (folders are walked recursively).\n"
    "\n"
    "  -o, --output DIR        folder in which the run folder is created (required)\n"
    "  -f, --format NAME       output format: \"Don't change\" (default), JPEG, PNG, BMP, GIF,\n"
    "                          TIFF, WebP, AVIF, or its index 0 to 7\n"
    "  -p, --preset TEXT       the settings as a preset document, or @FILE to read it from FILE\n"
    "  -n, --preset-name NAME  a preset kept in the user's settings store\n"
    "                          (without -p or -n: the settings the window program last used)\n"
    "  -j, --jobs N            files worked on at once, 1 to 256 (default: one per core);\n"
    "                          the results are the same for every N\n"
    "  -v, --verbose           the job's diagnostic lines on standard error\n"
    "  -q, --quiet             no progress output\n"
    "  -h, --help              this text\n"
    "\n"
    "Exit status: 0 every file saved, 1 some not saved or the job stopped, 2 usage error,\n"
    "unreadable preset or no usable input, 130 cancelled with Ctrl+C.\n";

std::optional<OutputFormat> ParseFormatName(const std::string& name) {
    const auto lowered = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const std::string lower = lowered(name);
    for (const OutputFormat format : kOutputFormats)
        if (lower == lowered(Narrow(OutputFormatName(format))))
            return format;
    if (lower.size() == 1 && lower[0] >= '0' &&
        lower[0] - '0' < static_cast<int>(kOutputFormats.size()))
        return OutputFormatFromNumber(lower[0] - '0');
    return std::nullopt;
}

std::optional<std::string> ReadPresetFile(const std::string& path, std::string* error) {
    const std::string quoted = "preset file '" + path + "'";
    // Opened without waiting (a FIFO would block) and only when it is a regular file.
    const StreamPtr stream = OpenFileStream(path, false);
    if (!stream) {
        boost::system::error_code ec;
        const auto status = boost::filesystem::status(path, ec);
        if (boost::filesystem::exists(status) && !boost::filesystem::is_regular_file(status))
            *error = quoted + " is not a regular file";
        else
            *error = "cannot read " + quoted;
        return std::nullopt;
    }
    std::uint64_t size = 0;
    if (stream->Stat(&size) != StreamStatus::Ok) {
        *error = "cannot read " + quoted;
        return std::nullopt;
    }
    if (size > kMaxPresetFileSize) {
        *error = quoted + " is larger than 16 MiB";
        return std::nullopt;
    }
    std::string text(static_cast<size_t>(size), '\0');
    size_t read = 0;
    if (stream->Read(text.data(), text.size(), &read) != StreamStatus::Ok) {
        *error = "cannot read " + quoted;
        return std::nullopt;
    }
    text.resize(read);
    return text;
}

std::optional<BatchOptions> ParseBatchOptions(int argc, char** argv, std::string* error) {
    static const option longOptions[] = {{"output", required_argument, nullptr, 'o'},
                                         {"format", required_argument, nullptr, 'f'},
                                         {"preset", required_argument, nullptr, 'p'},
                                         {"preset-name", required_argument, nullptr, 'n'},
                                         {"jobs", required_argument, nullptr, 'j'},
                                         {"verbose", no_argument, nullptr, 'v'},
                                         {"quiet", no_argument, nullptr, 'q'},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    BatchOptions o;
    opterr = 0;
    optind = 1;
    for (;;) {
        const int c = getopt_long(argc, argv, ":o:f:p:n:j:vqh", longOptions, nullptr);
        if (c == -1)
            break;
        switch (c) {
        case 'o':
            o.output = optarg;
            break;
        case 'f': {
            const std::optional<OutputFormat> format = ParseFormatName(optarg);
            if (!format) {
                *error = std::string("unknown format '") + optarg + "'";
                return std::nullopt;
            }
            o.format = *format;
            break;
        }
        case 'p':
            if (optarg[0] == '@')
                o.presetFile = optarg + 1;
            else
                o.preset = optarg;
            break;
        case 'n':
            o.presetName = optarg;
            break;
        case 'j': {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(optarg, &end, 10);
            if (end == optarg || *end != '\0' || errno != 0 || n < 1 || n > kMaxJobs) {
                *error = std::string("-j needs a number of files from 1 to ") +
                         std::to_string(kMaxJobs) + ", not '" + optarg + "'";
                return std::nullopt;
            }
            o.jobs = static_cast<unsigned>(n);
            break;
        }
        case 'v':
            o.verbose = true;
            break;
        case 'q':
            o.quiet = true;
            break;
        case 'h':
            o.help = true;
            return o;
        case ':':
            *error = std::string("option '") + argv[optind - 1] + "' needs a value";
            return std::nullopt;
        default:
            *error = std::string("unknown option '") + argv[optind - 1] + "'";
            return std::nullopt;
        }
    }
    for (int i = optind; i < argc; ++i)
        o.paths.emplace_back(argv[i]);
    if (o.output.empty()) {
        *error = "the output folder (-o DIR) is required";
        return std::nullopt;
    }
    if (o.paths.empty()) {
        *error = "no input PATH given";
        return std::nullopt;
    }
    if ((o.preset || o.presetFile) && o.presetName) {
        *error = "-p and -n cannot be used together";
        return std::nullopt;
    }
    return o;
}

} // namespace rx::batch
