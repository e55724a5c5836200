// The least time any schedule of the level-2 trials can take when its result must equal the
// sequential one. Every losing trial runs until its image data exceed the winner's size (it can
// never be stopped sooner without risking a different result) and the winner runs to the end;
// here each trial gets that final limit from the start, so the sum of their CPU times is the
// least work possible. Reading and reducing are measured too, as they come before any trial.
// Usage: rx_png_bound CORES FILE...
// Prints: bound-seconds read-seconds trial-cpu-seconds, where a file's bound is its reading time
// plus the larger of its trial time spread over CORES and its longest trial.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "ops/png/PngFilter.h"
#include "ops/png/PngTrials.h"
#include "ops/png/pngreader.h"
#include "ops/png/pngreduc.h"

using namespace rx::png;

namespace {

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The level-2 list: filters 0 and 5 by strategies 0, 1 (level 9), 2 (level 1), 3 (level 9).
std::vector<TrialParams> LevelTwoTrials() {
    std::vector<TrialParams> trials;
    for (int f : {0, 5})
        for (int zs = 0; zs <= 3; ++zs)
            trials.push_back(TrialParams{zs == 2 ? 1 : 9, 8, zs, f});
    return trials;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CORES FILE...\n", argv[0]);
        return 2;
    }
    const double cores = std::max(1, std::atoi(argv[1]));
    double bound = 0, readSeconds = 0, trialSeconds = 0;
    const auto ignore = [](const char*) {};
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
        const double start = ThreadSeconds();
        const DatastreamScan scan = ScanDatastream(data.data(), data.size(), ignore);
        PngImage image;
        ReadImage(data.data(), scan, image, ignore, [](const ChunkInfo&) { return false; });
        ReduceImage(image, ReduceAll, ignore);
        const double read = ThreadSeconds() - start;
        readSeconds += read;

        // As the engine runs them: filters 1 to 5 filtered once and deflated straight, unless
        // the image is small or interlaced. The filtering counts as work of its first trial.
        const bool direct = image.interlace == 0 && FilteredSize(image) > kTrialDeflateMinimum;
        std::vector<std::uint8_t> filtered[6];
        double filtering = 0;
        const std::vector<TrialParams> trials = LevelTwoTrials();
        auto run = [&](const TrialParams& p, const std::atomic<std::uint64_t>& limit) {
            if (!direct || p.f == 0)
                return TrialWrite(image, p, 0, &limit, nullptr);
            if (filtered[p.f].empty()) {
                const double t0 = ThreadSeconds();
                filtered[p.f] = FilterImage(image, p.f);
                filtering += ThreadSeconds() - t0;
            }
            return TrialDeflate(filtered[p.f], p, 0, &limit, nullptr);
        };
        std::uint64_t best = scan.idatSize + scan.plteTrnsSize;
        for (const TrialParams& p : trials) {
            const std::atomic<std::uint64_t> unlimited(kTrialTooBig - 1);
            best = std::min(best, run(p, unlimited));
        }
        double sum = filtering, longest = 0;
        for (const TrialParams& p : trials) {
            const std::atomic<std::uint64_t> limit(best);
            const double t0 = ThreadSeconds();
            run(p, limit);
            const double spent = ThreadSeconds() - t0;
            sum += spent;
            longest = std::max(longest, spent);
        }
        trialSeconds += sum;
        bound += read + std::max(sum / cores, longest);
    }
    std::printf("%.3f %.3f %.3f\n", bound, readSeconds, trialSeconds);
    return 0;
}
