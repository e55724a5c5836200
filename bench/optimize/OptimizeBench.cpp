// Lossless JPEG optimisation (quality 1) of a folder of photos through OptimizeOp::apply and
// ImageFile::Save, against "jpegtran -optimize -copy all" on each file, in the same run.
// Usage: rx_bench_optimize <photo folder> <work folder> [rounds]
// Prints per-file sizes, wall and CPU times of each tool, and the ratios.
// jpegtran always writes its transcode; the operation keeps the input when the transcode is not
// smaller (progressive photos), so only an excess over jpegtran's size counts against it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <boost/filesystem/operations.hpp>

#include "engine/ImageFile.h"
#include "ops/OptimizeOp.h"

extern char** environ;

namespace fs = boost::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool RunJpegtran(const fs::path& in, const fs::path& out) {
    const std::string input = in.string(), output = out.string();
    const char* argv[] = {"jpegtran", "-optimize",    "-copy",       "all",
                          "-outfile", output.c_str(), input.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "jpegtran", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Optimise(const rx::OptimizeOp& op, const fs::path& in, const fs::path& folder) {
    rx::ImageFile file(in, 0);
    const_cast<rx::OptimizeOp&>(op).apply(file);
    if (!file.Save(folder))
        std::fprintf(stderr, "cannot save %s\n", in.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <photo folder> <work folder> [rounds]\n", argv[0]);
        return 2;
    }
    const fs::path photos = argv[1], work = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    std::vector<fs::path> inputs;
    for (const auto& e : fs::directory_iterator(photos))
        if (e.path().extension() == ".jpg")
            inputs.push_back(e.path());
    std::sort(inputs.begin(), inputs.end());
    if (inputs.size() < 10) {
        std::fprintf(stderr, "need at least ten photos in %s\n", photos.c_str());
        return 2;
    }

    rx::OptimizeOp op; // OnlyJpeg, quality 1: the lossless transcode
    const fs::path oursDir = work / "ours", theirsDir = work / "jpegtran";
    // One untimed file starts the imaging library, as a running program has it started.
    fs::remove_all(work);
    fs::create_directories(oursDir);
    Optimise(op, inputs.front(), work);

    // The machine is shared, so each file is timed for both tools back to back (in alternating
    // order) and the best of the rounds is kept per file and tool; CPU times are summed too.
    std::vector<double> ours(inputs.size(), 1e9), theirs(inputs.size(), 1e9);
    double oursCpu = 0, theirsCpu = 0;
    for (int r = 0; r < rounds; ++r) {
        fs::remove_all(oursDir);
        fs::remove_all(theirsDir);
        fs::create_directories(oursDir);
        fs::create_directories(theirsDir);
        for (size_t i = 0; i < inputs.size(); ++i) {
            for (int pass = 0; pass < 2; ++pass) {
                const bool mine = (pass == 0) == ((r + i) % 2 == 0);
                const double cpu0 = CpuSeconds(mine ? RUSAGE_SELF : RUSAGE_CHILDREN);
                const auto start = Clock::now();
                if (mine) {
                    Optimise(op, inputs[i], oursDir);
                } else if (!RunJpegtran(inputs[i], theirsDir / inputs[i].filename())) {
                    std::fprintf(stderr, "jpegtran failed on %s\n", inputs[i].c_str());
                    return 1;
                }
                const double wall = Seconds(start);
                const double cpu = CpuSeconds(mine ? RUSAGE_SELF : RUSAGE_CHILDREN) - cpu0;
                (mine ? ours : theirs)[i] = std::min((mine ? ours : theirs)[i], wall);
                (mine ? oursCpu : theirsCpu) += cpu;
            }
        }
    }
    double bestOurs = 0, bestTheirs = 0;
    for (size_t i = 0; i < inputs.size(); ++i)
        bestOurs += ours[i], bestTheirs += theirs[i];

    std::uintmax_t totalIn = 0, totalOurs = 0, totalTheirs = 0;
    double worst = 0; // largest excess over jpegtran's size, in percent
    int kept = 0;     // files whose transcode was not smaller, so the input stayed
    std::printf("%-16s %12s %12s %12s %8s\n", "file", "input", "rexmill", "jpegtran", "diff %");
    for (const fs::path& in : inputs) {
        const std::uintmax_t a = fs::file_size(in), b = fs::file_size(oursDir / in.filename()),
                             c = fs::file_size(theirsDir / in.filename());
        const double diff = 100.0 * (double(b) - double(c)) / double(c);
        worst = std::max(worst, diff);
        kept += b == a;
        totalIn += a, totalOurs += b, totalTheirs += c;
        std::printf("%-16s %12ju %12ju %12ju %+8.3f\n", in.filename().c_str(), a, b, c, diff);
    }
    std::printf("%-16s %12ju %12ju %12ju %+8.3f\n", "total", totalIn, totalOurs, totalTheirs,
                100.0 * (double(totalOurs) - double(totalTheirs)) / double(totalTheirs));
    std::printf("files %zu, rounds %d, wall time (sum of per-file best): rexmill %.3f s, "
                "jpegtran %.3f s, ratio %.3f\n",
                inputs.size(), rounds, bestOurs, bestTheirs, bestOurs / bestTheirs);
    std::printf("CPU time per round (user + system): rexmill %.3f s, jpegtran %.3f s, ratio %.3f\n",
                oursCpu / rounds, theirsCpu / rounds, oursCpu / theirsCpu);
    std::printf("largest excess over jpegtran on one file: %.3f %%; inputs kept (the "
                "sequential transcode was larger): %d\n",
                worst, kept);
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    // A row for bench/run's table: task, ours s, peer, peer s, ours KiB, peer KiB, bytes. The
    // children's peak would be this process's own (it is copied at fork), so it is not given.
    std::printf("TABLE\tlossless JPEG optimisation, %zu photos\t%.3f\tjpegtran -optimize -copy "
                "all\t%.3f\t%ld\t-\t%ju\t%ju\n",
                inputs.size(), bestOurs, bestTheirs, self.ru_maxrss, totalOurs, totalTheirs);
    const bool ok = bestOurs <= bestTheirs && worst <= 0.5;
    std::printf("target (time ratio <= 1.0, sizes within 0.5 %%): %s\n", ok ? "met" : "MISSED");
    return 0;
}
