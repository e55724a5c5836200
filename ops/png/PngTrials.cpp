#include "ops/png/PngTrials.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include <png.h>
#include <zlib.h>

#include "ops/png/PngFilter.h"

namespace rx::png {
namespace {

// Input handed to deflate at a time by TrialDeflate.
constexpr std::size_t kDeflatePiece = std::size_t(256) << 10;

// At most this much memory holds the filtered image data shared by trials.
constexpr std::size_t kFilterBudget = std::size_t(512) << 20;

// Splits libpng's output stream into chunks, sums the IDAT data and keeps the bytes.
struct WriteContext {
    const std::atomic<std::uint64_t>* limit = nullptr;
    const TrialStop* stop = nullptr;
    TrialBytes* bytes = nullptr;
    bool keepIdat = true;
    std::uint64_t idatSize = 0;
    std::size_t signatureLeft = 8;
    std::uint8_t header[8] = {};
    std::size_t headerFill = 0;
    std::uint64_t dataLeft = 0;
    std::size_t crcLeft = 0;
    bool inIdat = false;
    bool seenIdat = false;

    std::vector<std::uint8_t>* plain() {
        return !bytes ? nullptr : seenIdat ? &bytes->tail : &bytes->head;
    }
};

void Append(std::vector<std::uint8_t>* to, const std::uint8_t* p, std::size_t n) {
    if (to)
        to->insert(to->end(), p, p + n);
}

// Returns false when the trial must stop.
bool Consume(WriteContext& c, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        std::size_t take = 0;
        if (c.signatureLeft > 0) {
            take = std::min(n, c.signatureLeft);
            Append(c.plain(), p, take);
            c.signatureLeft -= take;
        } else if (c.dataLeft > 0) {
            take = std::size_t(std::min<std::uint64_t>(n, c.dataLeft));
            Append(c.inIdat ? (c.bytes && c.keepIdat ? &c.bytes->idat : nullptr) : c.plain(), p,
                   take);
            c.dataLeft -= take;
        } else if (c.crcLeft > 0) {
            take = std::min(n, c.crcLeft);
            if (!c.inIdat)
                Append(c.plain(), p, take);
            c.crcLeft -= take;
        } else {
            take = std::min(n, 8 - c.headerFill);
            std::memcpy(c.header + c.headerFill, p, take);
            c.headerFill += take;
            if (c.headerFill == 8) {
                c.headerFill = 0;
                const std::uint32_t length = (std::uint32_t(c.header[0]) << 24) |
                                             (std::uint32_t(c.header[1]) << 16) |
                                             (std::uint32_t(c.header[2]) << 8) | c.header[3];
                c.dataLeft = length;
                c.crcLeft = 4;
                c.inIdat = std::memcmp(c.header + 4, "IDAT", 4) == 0;
                if (c.inIdat) {
                    c.seenIdat = true;
                    c.idatSize += length;
                    if (c.idatSize > c.limit->load(std::memory_order_relaxed))
                        return false;
                } else {
                    Append(c.plain(), c.header, 8);
                }
            }
        }
        p += take;
        n -= take;
    }
    return true;
}

void WriteData(png_structp png, png_bytep data, size_t n) {
    auto* c = static_cast<WriteContext*>(png_get_io_ptr(png));
    if (!Consume(*c, data, n))
        png_error(png, "IDAT too big");
}

void Flush(png_structp) {}
// After every row: a requested stop ends the trial.
void RowWritten(png_structp png, png_uint_32, int) {
    const auto* c = static_cast<const WriteContext*>(png_get_io_ptr(png));
    if (c->stop && c->stop->requested())
        png_error(png, "stopped");
}
void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

struct EncodeInput {
    const PngImage* image;
    TrialParams params;
    int windowBits;
    std::vector<png_bytep> rows;
    std::vector<png_color> palette;
    std::vector<png_unknown_chunk> unknowns;
};

// Only libpng calls live between setjmp and any longjmp back here.
bool Encode(png_structp png, png_infop info, EncodeInput& in) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    const PngImage& im = *in.image;
    png_set_IHDR(png, info, im.width, im.height, im.bitDepth, im.colorType, im.interlace,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (im.hasPalette && !in.palette.empty())
        png_set_PLTE(png, info, in.palette.data(), int(in.palette.size()));
    if (im.hasTrns) {
        if (im.colorType == ColorPalette) {
            png_set_tRNS(png, info, im.transAlpha.data(), int(im.transAlpha.size()), nullptr);
        } else {
            png_color_16 key{im.transColor.index, im.transColor.red, im.transColor.green,
                             im.transColor.blue, im.transColor.gray};
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    if (im.hasBackground) {
        png_color_16 b{im.background.index, im.background.red, im.background.green,
                       im.background.blue, im.background.gray};
        png_set_bKGD(png, info, &b);
    }
    if (im.hasSignificantBits) {
        png_color_8 s{im.significantBits.red, im.significantBits.green, im.significantBits.blue,
                      im.significantBits.gray, im.significantBits.alpha};
        png_set_sBIT(png, info, &s);
    }
    if (im.hasHistogram && im.hasPalette && im.histogram.size() == in.palette.size())
        png_set_hIST(png, info, im.histogram.data());
    if (!in.unknowns.empty()) {
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, nullptr, 0);
        png_set_unknown_chunks(png, info, in.unknowns.data(), int(in.unknowns.size()));
    }
    const TrialParams& p = in.params;
    png_set_compression_level(png, p.zc);
    png_set_compression_mem_level(png, p.zm);
    png_set_compression_strategy(png, p.zs);
    if (p.zs >= 2)
        png_set_compression_window_bits(png, 9);
    else if (in.windowBits > 0)
        png_set_compression_window_bits(png, in.windowBits);
    static const int kFilters[6] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                                    PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters[p.f]);
    png_write_info(png, info);
    png_write_image(png, in.rows.data());
    png_write_end(png, info);
    return true;
}

// Writes `image` through libpng with the rows `rows` points to. With `keepIdat` false the IDAT
// data are counted but not kept.
std::uint64_t WriteRows(const PngImage& image, std::vector<png_bytep> rows,
                        const TrialParams& params, int windowBits,
                        const std::atomic<std::uint64_t>* limit, TrialBytes* bytes, bool keepIdat,
                        const TrialStop* stop) {
    EncodeInput in{&image, params, windowBits, std::move(rows), {}, {}};
    for (const PngColor& c : image.palette)
        in.palette.push_back(png_color{c.red, c.green, c.blue});
    for (const RawChunk& raw : image.otherChunks) {
        png_unknown_chunk u{};
        std::memcpy(u.name, raw.name, 5);
        u.data = const_cast<png_bytep>(raw.data.data());
        u.size = raw.data.size();
        u.location = raw.place == ChunkPlace::BeforePlte   ? PNG_HAVE_IHDR
                     : raw.place == ChunkPlace::BeforeIdat ? PNG_HAVE_PLTE
                                                           : PNG_AFTER_IDAT;
        in.unknowns.push_back(u);
    }
    WriteContext ctx;
    ctx.limit = limit;
    ctx.bytes = bytes;
    ctx.keepIdat = keepIdat;
    ctx.stop = stop;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png)
        return kTrialTooBig;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return kTrialTooBig;
    }
    png_set_write_fn(png, &ctx, WriteData, Flush);
    if (stop)
        png_set_write_status_fn(png, RowWritten);
    const bool ok = Encode(png, info, in);
    png_destroy_write_struct(&png, &info);
    if (!ok || ctx.idatSize >= kTrialTooBig) {
        if (bytes)
            *bytes = TrialBytes{};
        return kTrialTooBig;
    }
    return ctx.idatSize;
}

} // namespace

std::uint64_t TrialWrite(const PngImage& image, const TrialParams& params, int windowBits,
                         const std::atomic<std::uint64_t>* limit, TrialBytes* bytes,
                         const TrialStop* stop) {
    std::vector<png_bytep> rows(image.height);
    for (std::uint32_t y = 0; y < image.height; ++y)
        rows[y] = const_cast<png_bytep>(image.row(y));
    return WriteRows(image, std::move(rows), params, windowBits, limit, bytes, true, stop);
}

std::uint64_t TrialDeflate(const std::vector<std::uint8_t>& filtered, const TrialParams& params,
                           int windowBits, const std::atomic<std::uint64_t>* limit,
                           TrialBytes* bytes, const TrialStop* stop) {
    // The stream libpng would set up for these parameters on image data of this size.
    const int bits = params.zs >= 2 ? 9 : windowBits > 0 ? windowBits : 15;
    z_stream z{};
    if (deflateInit2(&z, params.zc, Z_DEFLATED, bits, params.zm, params.zs) != Z_OK)
        return kTrialTooBig;
    std::uint8_t out[16384];
    std::uint64_t total = 0;
    std::size_t fed = 0;
    int ret = Z_OK;
    bool over = false;
    try {
        while (ret != Z_STREAM_END) {
            if (z.avail_in == 0 && fed < filtered.size()) {
                // Fed in pieces so that a stop is seen at least every piece, however well the
                // data compress; the stream does not depend on how the input is split.
                const std::size_t piece =
                    std::min<std::size_t>(filtered.size() - fed, kDeflatePiece);
                z.next_in = const_cast<Bytef*>(filtered.data() + fed);
                z.avail_in = uInt(piece);
                fed += piece;
            }
            z.next_out = out;
            z.avail_out = sizeof out;
            ret = deflate(&z, fed == filtered.size() ? Z_FINISH : Z_NO_FLUSH);
            if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR)
                break;
            const std::size_t made = sizeof out - z.avail_out;
            total += made;
            if (total > limit->load(std::memory_order_relaxed) || total >= kTrialTooBig ||
                (stop && stop->requested())) {
                over = true;
                break;
            }
            if (bytes)
                bytes->idat.insert(bytes->idat.end(), out, out + made);
        }
    } catch (...) {
        deflateEnd(&z);
        throw;
    }
    deflateEnd(&z);
    if (over || ret != Z_STREAM_END) {
        if (bytes)
            *bytes = TrialBytes{};
        return kTrialTooBig;
    }
    return total;
}

bool TrialFrame(const PngImage& image, TrialBytes& frame) {
    // The rows do not change the chunks around the image data: write zeros, quickly.
    const std::vector<std::uint8_t> zero(image.rowBytes, 0);
    const std::vector<png_bytep> rows(image.height, const_cast<png_bytep>(zero.data()));
    const std::atomic<std::uint64_t> unlimited(kTrialTooBig - 1);
    frame = TrialBytes{};
    return WriteRows(image, rows, TrialParams{1, 8, 0, 0}, 0, &unlimited, &frame, false, nullptr) <
               kTrialTooBig &&
           frame.head.size() >= 8;
}

TrialRunner::TrialRunner(const PngImage& image, int windowBits, unsigned threads)
    : image_(image), windowBits_(windowBits),
      threads_(threads ? threads : std::max(1u, std::thread::hardware_concurrency())) {}

void TrialRunner::run(const std::vector<TrialParams>& trials, std::uint64_t limit, bool full,
                      const std::function<void(std::size_t, std::uint64_t)>& report,
                      std::size_t first) {
    const std::size_t n = trials.size();
    kept_.clear();
    kept_.resize(n);
    // The bytes of a large image's trials are not kept: take() makes those of the winner again.
    keepBytes_ = FilteredSize(image_) <= keepLimit_;
    trials_ = trials;
    sizes_.assign(n, kTrialTooBig);
    smallest_ = kTrialTooBig;
    std::vector<std::uint64_t>& sizes = sizes_;
    std::vector<char> done(n, 0);
    std::atomic<std::uint64_t> sharedLimit(limit);
    std::atomic<std::size_t> next(0);
    std::atomic<bool> stop(false);
    std::uint64_t& smallest = smallest_; // guarded by `mutex`
    std::mutex mutex;
    std::condition_variable changed;

    // Keeps the bytes of a trial only while it may still be the smallest.
    auto record = [&](std::size_t i, std::uint64_t size, std::unique_ptr<TrialBytes> bytes) {
        if (size < kTrialTooBig && !full) {
            std::uint64_t cur = sharedLimit.load();
            while (size < cur && !sharedLimit.compare_exchange_weak(cur, size)) {
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        sizes[i] = size;
        done[i] = 1;
        if (size < kTrialTooBig && size <= smallest) {
            if (size < smallest) {
                smallest = size;
                for (std::size_t j = 0; j < n; ++j)
                    if (kept_[j] && sizes[j] > smallest)
                        kept_[j].reset();
            }
            kept_[i] = std::move(bytes);
        }
        changed.notify_all();
    };
    // Trials with the same filter (1 to 5) share its filtered image data: made by the first
    // trial that needs them, dropped after the last. Only when the copies fit in the budget;
    // otherwise, and for small or interlaced images, every trial goes through libpng.
    struct SharedFilter {
        std::once_flag made;
        std::shared_ptr<const std::vector<std::uint8_t>> data;
        std::size_t left = 0; // trials still to run, guarded by `mutex`
    };
    SharedFilter shared[6];
    std::size_t filters = 0;
    for (const TrialParams& t : trials)
        if (t.f >= 1 && t.f <= 5 && shared[t.f].left++ == 0)
            ++filters;
    const std::size_t dataSize = FilteredSize(image_);
    const bool direct = shareFiltering_ && image_.interlace == 0 &&
                        dataSize > kTrialDeflateMinimum &&
                        dataSize <= kFilterBudget / std::max<std::size_t>(filters, 1);
    auto filtered = [&](int f) -> std::shared_ptr<const std::vector<std::uint8_t>> {
        SharedFilter& sf = shared[f];
        std::call_once(sf.made, [&] {
            std::shared_ptr<const std::vector<std::uint8_t>> data;
            try {
                data = std::make_shared<const std::vector<std::uint8_t>>(FilterImage(image_, f));
            } catch (const std::bad_alloc&) {
            }
            std::lock_guard<std::mutex> lock(mutex);
            sf.data = std::move(data);
        });
        std::lock_guard<std::mutex> lock(mutex);
        return sf.data;
    };
    auto runOne = [&](std::size_t i) {
        const TrialParams& t = trials[i];
        const bool filterShared = direct && t.f >= 1 && t.f <= 5;
        auto bytes = keepBytes_ ? std::make_unique<TrialBytes>() : nullptr;
        std::uint64_t size = kTrialTooBig;
        try {
            std::shared_ptr<const std::vector<std::uint8_t>> data;
            if (filterShared)
                data = filtered(t.f);
            size = data ? TrialDeflate(*data, t, windowBits_, &sharedLimit, bytes.get(), stop_)
                        : TrialWrite(image_, t, windowBits_, &sharedLimit, bytes.get(), stop_);
        } catch (const std::bad_alloc&) {
            bytes.reset();
        }
        if (filterShared) {
            std::lock_guard<std::mutex> lock(mutex);
            if (--shared[t.f].left == 0)
                shared[t.f].data.reset();
        }
        record(i, size, std::move(bytes));
    };

    const unsigned workers = unsigned(std::min<std::size_t>(threads_, n));
    // The likely winner runs first so that the others can stop as soon as they exceed it. Then
    // the longest trials first: full searches (strategies 0 and 1 above level 3), run-length,
    // and last Huffman only and the fast levels, which fill the gaps at the end and mostly stop
    // early since a limit is known by then. The order of running changes nothing in the
    // result, which is decided in list order.
    const std::size_t lead = first < n ? first : 0;
    std::vector<std::size_t> order{lead};
    order.reserve(n);
    const auto cost = [&](std::size_t i) {
        const TrialParams& t = trials[i];
        return t.zs == 3 ? 1 : (t.zs == 2 || t.zc <= 3) ? 2 : 0;
    };
    // With more than one shared filtering, the trials run filter by filter (the lead's first),
    // each filter's longest first, so that only the filterings in use are held.
    const bool grouped = direct && filters > 1;
    std::vector<int> filterOrder{trials[lead].f};
    for (int f = 0; f <= 5; ++f)
        if (f != trials[lead].f)
            filterOrder.push_back(f);
    for (std::size_t g = 0; g < (grouped ? filterOrder.size() : 1); ++g)
        for (int pass = 0; pass < 3; ++pass)
            for (std::size_t i = 0; i < n; ++i)
                if (i != lead && cost(i) == pass && (!grouped || trials[i].f == filterOrder[g]))
                    order.push_back(i);
    auto trialAt = [&](std::size_t k) { return order[k]; };
    const auto stopRequested = [&] { return stop_ && stop_->requested(); };
    if (workers <= 1) {
        std::size_t reported = 0;
        for (std::size_t k = 0; k < n; ++k) {
            runOne(trialAt(k));
            if (stopRequested())
                throw TrialsStopped();
            while (reported < n && done[reported]) {
                report(reported, sizes[reported]);
                ++reported;
            }
        }
        return;
    }
    auto work = [&] {
        for (;;) {
            const std::size_t k = next.fetch_add(1);
            if (k >= n || stop.load())
                return;
            runOne(trialAt(k));
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(workers);
    for (unsigned t = 0; t < workers; ++t)
        pool.emplace_back(work);
    std::exception_ptr failure;
    try {
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t size = 0;
            {
                // Waits in short steps, asking meanwhile whether the caller wants to stop.
                std::unique_lock<std::mutex> lock(mutex);
                while (!changed.wait_for(lock, std::chrono::milliseconds(10),
                                         [&] { return done[i] != 0; }))
                    if (stopRequested())
                        throw TrialsStopped();
                size = sizes[i];
            }
            report(i, size);
        }
    } catch (...) {
        failure = std::current_exception();
        stop.store(true);
        sharedLimit.store(0); // running trials stop at their next chunk
    }
    for (std::thread& t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
}

TrialBytes TrialRunner::take(std::size_t index) {
    if (index >= kept_.size())
        return {};
    if (!kept_[index]) {
        if (keepBytes_ || sizes_[index] >= kTrialTooBig || sizes_[index] != smallest_)
            return {};
        // Run again through libpng, whose image data are those of either kind of trial, into a
        // block of the size known, with the head and tail chunks made at the same time.
        TrialBytes bytes;
        bytes.idat.reserve(std::size_t(sizes_[index]));
        const std::atomic<std::uint64_t> limit(sizes_[index]);
        const std::uint64_t size =
            TrialWrite(image_, trials_[index], windowBits_, &limit, &bytes, stop_);
        if (stop_ && stop_->requested())
            throw TrialsStopped();
        if (size != sizes_[index])
            return {};
        return bytes;
    }
    TrialBytes bytes = std::move(*kept_[index]);
    kept_[index].reset();
    if (bytes.head.empty()) { // a trial straight through zlib: libpng writes the other chunks
        TrialBytes frame;
        if (!TrialFrame(image_, frame))
            return {};
        bytes.head = std::move(frame.head);
        bytes.tail = std::move(frame.tail);
    }
    return bytes;
}

} // namespace rx::png
