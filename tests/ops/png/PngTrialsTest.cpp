// Compression trials: the trials that share their filtering and go straight through zlib must
// give libpng's bytes, and the runner must give the same result with and without them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "PngTestFiles.h"
#include "ops/png/PngFilter.h"
#include "ops/png/PngTrials.h"

using namespace rx::png;
using namespace rxtest::png;

namespace {

// A PngImage of about `bytes` bytes of image data, rows from MakeRaw.
PngImage Sample(int colorType, int depth, std::size_t bytes = 90000, std::uint32_t seed = 7) {
    const std::uint32_t width = 300;
    const std::size_t rowBytes = PngImage::RowBytesFor(width,
                                                       colorType == 6   ? 4
                                                       : colorType == 2 ? 3
                                                       : colorType == 4 ? 2
                                                                        : 1,
                                                       depth);
    const auto height = std::uint32_t(bytes / (rowBytes + 1) + 1);
    const RawPng raw = MakeRaw(colorType, depth, width, height, 0, seed);
    PngImage im;
    im.width = width;
    im.height = height;
    im.bitDepth = depth;
    im.colorType = colorType;
    im.rowBytes = raw.rowBytes();
    im.pixels.reset(new std::uint8_t[raw.rows.size()]);
    std::memcpy(im.pixels.get(), raw.rows.data(), raw.rows.size());
    for (std::size_t i = 0; i + 2 < raw.palette.size(); i += 3)
        im.palette.push_back(PngColor{raw.palette[i], raw.palette[i + 1], raw.palette[i + 2]});
    im.hasPalette = colorType == 3;
    return im;
}

TrialBytes Libpng(const PngImage& im, const TrialParams& p, int windowBits = 0) {
    const std::atomic<std::uint64_t> unlimited(kTrialTooBig - 1);
    TrialBytes b;
    EXPECT_LT(TrialWrite(im, p, windowBits, &unlimited, &b), kTrialTooBig);
    return b;
}

std::vector<std::uint8_t> Direct(const PngImage& im, const TrialParams& p, int windowBits = 0) {
    const std::atomic<std::uint64_t> unlimited(kTrialTooBig - 1);
    TrialBytes b;
    const std::uint64_t size = TrialDeflate(FilterImage(im, p.f), p, windowBits, &unlimited, &b);
    EXPECT_EQ(size, b.idat.size());
    EXPECT_TRUE(b.head.empty() && b.tail.empty());
    return b.idat;
}

struct Format {
    int colorType, depth;
};
const Format kFormats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

} // namespace

TEST(PngTrials, SharedFilteringGivesLibpngBytesForEveryFormatAndFilter) {
    for (const Format& fmt : kFormats) {
        const PngImage im = Sample(fmt.colorType, fmt.depth);
        ASSERT_GT(FilteredSize(im), kTrialDeflateMinimum);
        for (int f = 1; f <= 5; ++f) {
            const TrialParams p{9, 8, 1, f};
            EXPECT_EQ(Direct(im, p), Libpng(im, p).idat)
                << "colour type " << fmt.colorType << ", depth " << fmt.depth << ", filter " << f;
        }
    }
}

TEST(PngTrials, SharedFilteringFollowsEveryZlibParameter) {
    const PngImage im = Sample(2, 8, 120000, 3);
    for (int zs = 0; zs <= 3; ++zs)
        for (const auto& [zc, zm] : {std::pair{1, 1}, std::pair{6, 9}, std::pair{9, 8}})
            for (int windowBits : {0, 10, 15}) {
                const TrialParams p{zc, zm, zs, 5};
                EXPECT_EQ(Direct(im, p, windowBits), Libpng(im, p, windowBits).idat)
                    << "zc " << zc << " zm " << zm << " zs " << zs << " window " << windowBits;
            }
}

TEST(PngTrials, AdaptiveFilteringPicksTheCheapestRowFilterEarliestOnATie) {
    // All-zero rows cost nothing under every filter, so None wins each tie. Rows of 200: on
    // the first row Sub and Paeth leave one nonzero byte (Sub comes first); below it Up and
    // Paeth leave none (Up comes first).
    PngImage im = Sample(0, 8, 3000);
    for (std::uint32_t y = 0; y < im.height; ++y)
        std::memset(im.row(y), 0, im.rowBytes);
    const std::vector<std::uint8_t> allZero = FilterImage(im, 5);
    for (std::uint32_t y = 0; y < im.height; ++y)
        EXPECT_EQ(allZero[y * (im.rowBytes + 1)], 0) << "row " << y;
    for (std::uint32_t y = 0; y < im.height; ++y)
        std::memset(im.row(y), 200, im.rowBytes);
    const std::vector<std::uint8_t> flat = FilterImage(im, 5);
    EXPECT_EQ(flat[0], 1);
    EXPECT_EQ(flat[1], 200);
    EXPECT_EQ(flat[2], 0);
    EXPECT_EQ(flat[im.rowBytes + 1], 2);
    EXPECT_EQ(flat[im.rowBytes + 2], 0);
}

TEST(PngTrials, FrameHoldsTheChunksAroundTheImageData) {
    PngImage im = Sample(3, 8);
    im.transAlpha = {0, 128, 255};
    im.hasTrns = true;
    im.background.index = 2;
    im.hasBackground = true;
    im.significantBits = PngSignificantBits{5, 6, 5, 0, 0};
    im.hasSignificantBits = true;
    im.histogram.assign(im.palette.size(), 3);
    im.hasHistogram = true;
    for (ChunkPlace place :
         {ChunkPlace::BeforePlte, ChunkPlace::BeforeIdat, ChunkPlace::AfterIdat}) {
        RawChunk c;
        std::memcpy(c.name, place == ChunkPlace::AfterIdat ? "tEXt" : "prVt", 5);
        c.data = {'k', 0, 'v', std::uint8_t(place)};
        c.place = place;
        im.otherChunks.push_back(c);
    }
    const TrialBytes written = Libpng(im, TrialParams{9, 8, 0, 5});
    TrialBytes frame;
    ASSERT_TRUE(TrialFrame(im, frame));
    EXPECT_EQ(frame.head, written.head);
    EXPECT_EQ(frame.tail, written.tail);
    EXPECT_TRUE(frame.idat.empty());
    EXPECT_GT(written.tail.size(), 12u); // the tEXt chunk and IEND
}

TEST(PngTrials, StraightTrialStopsOnlyAboveTheLimit) {
    const PngImage im = Sample(6, 8);
    const TrialParams p{9, 8, 0, 4};
    const std::vector<std::uint8_t> filtered = FilterImage(im, 4);
    const std::size_t size = Direct(im, p).size();
    const std::atomic<std::uint64_t> exact(size), below(size - 1);
    TrialBytes kept, stopped;
    EXPECT_EQ(TrialDeflate(filtered, p, 0, &exact, &kept), size);
    EXPECT_EQ(kept.idat.size(), size);
    EXPECT_EQ(TrialDeflate(filtered, p, 0, &below, &stopped), kTrialTooBig);
    EXPECT_TRUE(stopped.idat.empty());
}

TEST(PngTrials, RunnerGivesTheSameResultWithAndWithoutSharedFiltering) {
    std::vector<TrialParams> trials;
    for (int f : {0, 1, 5})
        for (int zs = 0; zs <= 3; ++zs)
            trials.push_back(TrialParams{zs == 2 ? 1 : 9, 8, zs, f});
    for (const Format& fmt : {Format{2, 8}, Format{3, 4}, Format{6, 16}}) {
        const PngImage im = Sample(fmt.colorType, fmt.depth, 150000, 5);
        std::vector<std::uint64_t> sizes[2];
        TrialBytes best[2];
        for (int share = 0; share < 2; ++share) {
            TrialRunner runner(im, 0, 2);
            runner.setShareFiltering(share != 0);
            std::size_t bestIndex = 0;
            runner.run(trials, kTrialTooBig - 1, true, [&](std::size_t i, std::uint64_t size) {
                sizes[share].push_back(size);
                if (size < sizes[share][bestIndex])
                    bestIndex = i;
            });
            best[share] = runner.take(bestIndex);
            ASSERT_FALSE(best[share].idat.empty());
        }
        EXPECT_EQ(sizes[0], sizes[1]) << "colour type " << fmt.colorType;
        EXPECT_EQ(best[0].head, best[1].head);
        EXPECT_EQ(best[0].idat, best[1].idat);
        EXPECT_EQ(best[0].tail, best[1].tail);
    }
}

TEST(PngTrials, TrialsKeepingOnlyTheirSizesGiveTheWinnersBytesAgain) {
    std::vector<TrialParams> trials;
    for (int f : {0, 1, 5})
        for (int zs = 0; zs <= 3; ++zs)
            trials.push_back(TrialParams{zs == 2 ? 1 : 9, 8, zs, f});
    for (const Format& fmt : {Format{2, 8}, Format{3, 4}, Format{6, 16}}) {
        const PngImage im = Sample(fmt.colorType, fmt.depth, 150000, 9);
        std::vector<std::uint64_t> sizes[2];
        TrialBytes best[2];
        std::size_t bestIndex[2] = {0, 0};
        for (int keep = 0; keep < 2; ++keep) {
            TrialRunner runner(im, 0, 2);
            if (!keep)
                runner.setKeepBytesLimit(FilteredSize(im) - 1);
            runner.run(trials, kTrialTooBig - 1, false, [&](std::size_t i, std::uint64_t size) {
                sizes[keep].push_back(size);
                if (size < sizes[keep][bestIndex[keep]])
                    bestIndex[keep] = i;
            });
            if (!keep) {
                // Only the smallest can be asked for: any other has nothing to give.
                const std::size_t other = bestIndex[keep] == 0 ? 1 : 0;
                if (sizes[keep][other] != sizes[keep][bestIndex[keep]]) {
                    EXPECT_TRUE(runner.take(other).idat.empty());
                }
            }
            best[keep] = runner.take(bestIndex[keep]);
            ASSERT_EQ(best[keep].idat.size(), sizes[keep][bestIndex[keep]]);
        }
        // Which losers stop early depends on timing; the winner does not.
        EXPECT_EQ(bestIndex[0], bestIndex[1]) << "colour type " << fmt.colorType;
        EXPECT_EQ(best[0].head, best[1].head);
        EXPECT_EQ(best[0].idat, best[1].idat);
        EXPECT_EQ(best[0].tail, best[1].tail);
        EXPECT_EQ(best[0].head, Libpng(im, trials[bestIndex[0]]).head);
    }
}
