// Compression trials of the PNG engine: one trial encodes the reduced image with one set of zlib
// and filter parameters; a TrialRunner runs a list of them on several threads and reports the
// results in list order on the calling thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ops/png/PngImage.h"

namespace rx::png {

struct TrialParams {
    int zc = 9; // compression level 1..9
    int zm = 8; // memory level 1..9
    int zs = 0; // strategy 0..3 (default, filtered, Huffman only, RLE)
    int f = 0;  // filter 0..4 single, 5 adaptive
};

// Asks running trials to stop. `poll` says whether the caller wants the run to end; it is asked
// only on the thread that made the object (the engine's caller), which the trial threads learn
// of through a flag they read every few rows or deflate blocks.
class TrialStop {
public:
    explicit TrialStop(std::function<bool()> poll)
        : poll_(std::move(poll)), owner_(std::this_thread::get_id()) {}
    // Any thread: whether the trials must stop now (on the owner's thread the poll is asked).
    bool requested() const {
        if (requested_.load(std::memory_order_relaxed))
            return true;
        if (poll_ && std::this_thread::get_id() == owner_ && poll_()) {
            requested_.store(true);
            return true;
        }
        return false;
    }

private:
    std::function<bool()> poll_;
    std::thread::id owner_;
    mutable std::atomic<bool> requested_{false};
};

// Thrown by TrialRunner::run when its TrialStop asked the trials to stop.
struct TrialsStopped : std::runtime_error {
    TrialsStopped() : std::runtime_error("trials stopped") {}
};

// The encoded file of a trial, cut around its image data: everything before the first IDAT,
// the IDAT data merged, and everything after the last IDAT.
struct TrialBytes {
    std::vector<std::uint8_t> head;
    std::vector<std::uint8_t> idat;
    std::vector<std::uint8_t> tail;
};

// Larger than any IDAT; the size of a trial that stopped early or failed.
inline constexpr std::uint64_t kTrialTooBig = std::uint64_t(1) << 31;

// Encodes `image` with `params`; stops as soon as the IDAT data exceed `*limit` (read again at
// every chunk, so another thread may lower it). Returns the IDAT size, or kTrialTooBig when it
// stopped or failed. With `bytes` the encoded chunks are kept there. With `stop` the trial also
// ends after any row once a stop is requested.
std::uint64_t TrialWrite(const PngImage& image, const TrialParams& params, int windowBits,
                         const std::atomic<std::uint64_t>* limit, TrialBytes* bytes,
                         const TrialStop* stop = nullptr);

// The same trial as TrialWrite with `params.f` >= 1, over the image data FilterImage gave for
// that filter, straight through zlib: for a non-interlaced image whose image data exceed
// kTrialDeflateMinimum bytes the IDAT data are TrialWrite's, byte for byte. Only
// `bytes->idat` is filled.
std::uint64_t TrialDeflate(const std::vector<std::uint8_t>& filtered, const TrialParams& params,
                           int windowBits, const std::atomic<std::uint64_t>* limit,
                           TrialBytes* bytes, const TrialStop* stop = nullptr);

// Below this size of image data libpng shrinks the zlib window to the data, which TrialDeflate
// does not follow; smaller images take TrialWrite.
inline constexpr std::size_t kTrialDeflateMinimum = 65536;

// The chunks TrialWrite writes around the image data of `image` (`head` and `tail`; `idat`
// stays empty). False when libpng fails.
bool TrialFrame(const PngImage& image, TrialBytes& frame);

class TrialRunner {
public:
    // `windowBits` 0 takes libpng's default window; `threads` 0 means one per core.
    TrialRunner(const PngImage& image, int windowBits, unsigned threads);

    // Runs every trial. The limit starts at `limit` and, unless `full`, drops to the smallest
    // IDAT size seen. `report` gets (index, IDAT size or kTrialTooBig) for each trial in list
    // order, on the calling thread. The encoded bytes of the trials that may still be the best
    // are kept for take(). Trial `first` is started before the others (a guess at the winner).
    // Throws TrialsStopped, once every trial thread has ended, when the stop set with setStop
    // is requested.
    void run(const std::vector<TrialParams>& trials, std::uint64_t limit, bool full,
             const std::function<void(std::size_t, std::uint64_t)>& report, std::size_t first = 0);

    // The encoded bytes of a trial that completed with the smallest size seen; empty otherwise.
    // The trials of an image with more image data than the keep limit keep only their sizes,
    // and the trial asked for is run once more here, with the same bytes as a result. Throws
    // TrialsStopped when the stop set with setStop is requested meanwhile.
    TrialBytes take(std::size_t index);

    static constexpr std::size_t kKeepBytesLimit = std::size_t(32) << 20;
    // The keep limit, in bytes of filtered image data (set before run()).
    void setKeepBytesLimit(std::size_t bytes) { keepLimit_ = bytes; }

    // Whether run() gives trials with filters 1 to 5 to TrialDeflate (set before run()).
    void setShareFiltering(bool share) { shareFiltering_ = share; }
    // Where run() learns that it must stop (null: never). Set before run().
    void setStop(const TrialStop* stop) { stop_ = stop; }

private:
    const PngImage& image_;
    int windowBits_;
    unsigned threads_;
    bool shareFiltering_ = true;
    const TrialStop* stop_ = nullptr;
    std::vector<std::unique_ptr<TrialBytes>> kept_;
    std::size_t keepLimit_ = kKeepBytesLimit;
    bool keepBytes_ = true;
    std::vector<TrialParams> trials_;  // of the last run
    std::vector<std::uint64_t> sizes_; // of the last run's trials
    std::uint64_t smallest_ = kTrialTooBig;
};

} // namespace rx::png
