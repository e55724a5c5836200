// The PNG optimisation engine: rewrites one PNG file losslessly, in place, as small as its
// reductions and compression trials can make it, and leaves it untouched when nothing is gained.
//
// Use: fill a PngEngineOptions (zero it, set `level` and `interlace` = -1 for the usual run),
// set the hooks, then on one PngEngine object call InitializeEngine, OptimizeFile for each file
// and FinalizeEngine. All state lives in the PngEngine object: two threads may each run their
// own engine at the same time, but one object must not be used by two threads at once. The
// hooks are called only on the thread that called the engine.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>

#include "ops/png/PngImage.h"
#include "ops/png/PngTrials.h"
#include "ops/png/pngreader.h"

namespace rx::png {

// The engine's options; 26 fields in this fixed order. Zero means "off" for every switch.
struct PngEngineOptions {
    std::int32_t unused0 = 0;
    std::int32_t fix = 0;            // go on after recoverable input errors
    std::int32_t force = 0;          // always recompress; erase a digital signature
    std::int32_t full = 0;           // complete every trial (no early stop)
    std::int32_t interlace = 0;      // 0 or 1 forces that interlace method; negative keeps it
    std::int32_t keep = 0;           // keep the ".bak" backup file
    std::int32_t noBitDepth = 0;     // no bit-depth reductions
    std::int32_t noColorType = 0;    // no colour-type reductions
    std::int32_t noPalette = 0;      // no palette reductions
    std::int32_t noIdatRecoding = 0; // keep the image data as they are
    std::int32_t noAlphaCleanup = 0; // leave the colour of fully transparent pixels
    std::int32_t preserve = 0;       // give the output the input's last-write time
    std::int32_t unused12 = 0;
    std::int32_t simulate = 0; // write nothing
    std::int32_t snip = 0;     // reduce an animated file to its first image
    std::int32_t verbose = 0;  // "IDAT too big" lines and the status report
    std::int32_t unused16 = 0;
    std::int32_t level = 0;               // optimisation level; negative means 2, above 7 means 7
    std::int32_t compressionLevelSet = 0; // bits 1..9: zlib levels to try
    std::int32_t memoryLevelSet = 0;      // bits 1..9: zlib memory levels to try
    std::int32_t strategySet = 0;         // bits 0..3: zlib strategies to try
    std::int32_t filterSet = 0;           // bits 0..5: PNG filters to try (5: adaptive)
    std::int32_t windowBits = 0;          // 8..15; 0 takes libpng's default
    const char* outputName = nullptr;     // write there instead of in place
    const char* outputFolder = nullptr;   // write into this folder instead of in place
    std::int32_t unused25 = 0;
};

// The engine's ways of talking to its user. `text` may be empty (messages are dropped); the
// other three must be set. `text` receives printf-style format and arguments.
struct PngEngineHooks {
    std::function<void(const char* format, std::va_list args)> text;
    std::function<void(int code)> control; // 13: the line will be reused; -31: erase it; 11
    std::function<void(unsigned long current, unsigned long total)> progress; // trial counter
    std::function<void(const char* message)> panic; // a failed internal consistency check
    // Optional: asked now and then on the engine's thread, also during the trials; true ends
    // the file at once with an error, the input untouched and no backup left.
    std::function<bool()> interrupted;
};

class PngEngine {
public:
    // Copies the options and hooks and starts the engine. Returns 0, or -1 (engine not started)
    // when the control, progress or panic hook is missing.
    int InitializeEngine(const PngEngineOptions& options, const PngEngineHooks& hooks);

    // Optimises one file. Returns 0 when the file was rewritten smaller or is already optimal
    // (then left byte-for-byte and time-stamp untouched), -1 on any error; on error the input
    // is left as it was and no ".bak" file remains. A failed consistency check calls the panic
    // hook and then ends the file with an error.
    int OptimizeFile(const char* path);

    // Prints the status report when asked for or when errors occurred, and stops the engine.
    // Returns 0.
    int FinalizeEngine();

    // Threads used for the trials of one file; 0 (the default) means one per core.
    void setThreadCount(unsigned threads) { threads_ = threads; }

    // What the last OptimizeFile did, for callers that want more than the result code.
    unsigned lastStatus() const { return record_.status; }
    std::uint64_t lastOutputFileSize() const { return record_.outputFileSize; }
    int lastTrialCount() const { return record_.trials; }
    // The last OptimizeFile ended because the interrupted hook said so.
    bool lastInterrupted() const { return record_.interrupted; }

private:
    struct ProcessRecord {
        unsigned status = 0;
        std::uint64_t inputFileSize = 0, inputIdatSize = 0, inputPlteTrnsSize = 0;
        std::uint64_t datastreamOffset = 0;
        std::uint64_t outputFileSize = 0, outputIdatSize = 0, outputPlteTrnsSize = 0;
        std::uint64_t maxIdatSize = 0, bestIdatSize = 0;
        int bestZc = 0, bestZm = 0, bestZs = 0, bestF = 0;
        int trials = 0;
        bool interrupted = false;
        std::string inputName, outputName;
    };
    struct Counters {
        unsigned files = 0, errors = 0, fixed = 0, snipped = 0;
    };

    void optimize(const std::string& path);
    void evaluateStatus(const std::string& path);
    void runTrials(PngImage& image, const DatastreamScan& scan, std::string& bytesOut,
                   const TrialStop& stop);
    // Ends the file with an error when the interrupted hook says so.
    void checkInterrupted(const TrialStop& stop);
    void writeOutput(const std::string& outName, const std::string& backupName, bool inPlace,
                     const std::string& data);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void warning(const char* message);
    [[noreturn]] void panic(const char* message);

    PngEngineOptions options_{};
    PngEngineHooks hooks_;
    bool started_ = false;
    unsigned threads_ = 0;
    ProcessRecord record_;
    Counters counters_;
};

} // namespace rx::png
