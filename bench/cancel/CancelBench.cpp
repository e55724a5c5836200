// How long Cancel takes to return while the worker is deep inside one long operation: a
// level-5 PNG optimisation of a 4-megapixel picture, the resize of a 24-megapixel JPEG and the
// lossless optimisation of a 24-megapixel JPEG. Each case is cancelled several times at
// different moments into the work; a cancel that comes after the file was done does not count.
// After every cancel the run folder must hold no file, the temporary folder no "RX" file and no
// ".bak", and the source must be unchanged.
// Usage: rx_bench_cancel <work folder> [rounds]
// Prints one TABLE line per case: task, rounds, median and longest Cancel time (s).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/Imaging.h"
#include "engine/RXWorker.h"
#include "engine/Stream.h"
#include "presets/OperationSet.h"

namespace fs = boost::filesystem;
using Clock = std::chrono::steady_clock;
using vips::VImage;

namespace {

class Listener final : public rx::JobListener {
public:
    std::atomic<bool> started{false}, finished{false};
    void jobStarted(unsigned, unsigned) override { started = true; }
    void progressStep(unsigned) override {}
    void fileDone(unsigned) override {}
    void jobFinished(unsigned, fs::path) override { finished = true; }
};

// A photo-like picture: smooth gradients with noise, so that it neither compresses to nothing
// nor is pure noise.
VImage Picture(int w, int h) {
    VImage x = VImage::xyz(w, h);
    VImage r = (x[0] * (255.0 / w));
    VImage g = (x[1] * (255.0 / h));
    VImage b = ((x[0] + x[1]) * (127.0 / (w + h)));
    VImage noise = VImage::gaussnoise(w, h, VImage::option()->set("sigma", 6.0));
    VImage rgb = r.bandjoin(g).bandjoin(b) + noise;
    return rgb.cast(VIPS_FORMAT_UCHAR);
}

std::vector<std::uint8_t> Read(const fs::path& p) {
    const rx::StreamPtr s = rx::OpenFileStream(p, false);
    const rx::SharedBytes b = s ? s->Contents() : nullptr;
    return b ? *b : std::vector<std::uint8_t>{};
}

bool LeftoversIn(const fs::path& folder) {
    for (fs::directory_iterator it(folder), end; it != end; ++it) {
        const std::string name = it->path().filename().string();
        if (name.rfind("RX", 0) == 0 || it->path().extension() == ".bak")
            return true;
    }
    return false;
}

struct Case {
    const char* task;
    fs::path source;
    rx::OperationSet ops;
    double maxDelay; // cancels come between 10% and 100% of this into the operation
};

void Measure(Case& c, const fs::path& work, const fs::path& temp, int rounds) {
    const std::vector<std::uint8_t> original = Read(c.source);
    // How long the whole operation takes, to place the cancels inside it.
    double full = 0;
    {
        rx::RXWorker job(&c.ops);
        job.AddEntry(c.source, c.source.parent_path());
        job.setOutputFolder(work / "full");
        Listener l;
        job.setListener(&l);
        const auto t0 = Clock::now();
        job.Start();
        job.Wait();
        full = std::chrono::duration<double>(Clock::now() - t0).count();
        fs::remove_all(work / "full");
    }
    std::vector<double> times;
    int late = 0, dirty = 0;
    for (int r = 0; r < rounds; ++r) {
        rx::RXWorker job(&c.ops);
        job.AddEntry(c.source, c.source.parent_path());
        const fs::path out = work / ("out" + std::to_string(r));
        job.setOutputFolder(out);
        Listener l;
        job.setListener(&l);
        const double into = full * std::min(c.maxDelay, 0.1 + 0.8 * (r + 0.5) / rounds);
        job.Start();
        while (!l.started)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::sleep_for(std::chrono::duration<double>(into));
        const auto t0 = Clock::now();
        job.Cancel();
        const double took = std::chrono::duration<double>(Clock::now() - t0).count();
        if (l.finished) {
            ++late;
        } else {
            times.push_back(took);
            bool files = false;
            for (fs::recursive_directory_iterator it(out), end; it != end; ++it)
                files = files || fs::is_regular_file(it->path());
            if (files || LeftoversIn(temp) || Read(c.source) != original)
                ++dirty;
        }
        fs::remove_all(out);
    }
    std::sort(times.begin(), times.end());
    const double median = times.empty() ? 0 : times[times.size() / 2];
    const double longest = times.empty() ? 0 : times.back();
    std::fprintf(stderr,
                 "%s: operation %.2f s; %zu cancels, median %.3f s, longest %.3f s; "
                 "%d came too late; %d left something behind\n",
                 c.task, full, times.size(), median, longest, late, dirty);
    std::printf("TABLE\t%s\t%.2f\t%zu\t%.3f\t%.3f\t%d\n", c.task, full, times.size(), median,
                longest, dirty);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rx_bench_cancel <work folder> [rounds]\n");
        return 2;
    }
    const fs::path work = fs::absolute(argv[1]);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    fs::remove_all(work);
    fs::create_directories(work / "in");
    fs::create_directories(work / "tmp");
    // The operations' temporary files go here, where the benchmark can look for leftovers.
    setenv("TMPDIR", (work / "tmp").c_str(), 1);
    rx::EnsureImagingStarted();

    const fs::path png = work / "in" / "picture-4mp.png";
    const fs::path jpeg = work / "in" / "photo-24mp.jpg";
    Picture(2400, 1700).write_to_file(png.c_str());
    Picture(6000, 4000).write_to_file(jpeg.c_str(), VImage::option()->set("Q", 92));

    std::vector<Case> cases(3);
    cases[0].task = "Cancel during PNG level 5, 4 MP";
    cases[0].source = png;
    cases[0].ops.on[rx::KindOptimize] = true;
    cases[0].ops.optimize.mode = static_cast<int>(rx::OptimizeMode::OnlyPng);
    cases[0].ops.optimize.quality = 5;
    cases[0].maxDelay = 0.9;
    cases[1].task = "Cancel during resize of a 24 MP JPEG";
    cases[1].source = jpeg;
    cases[1].ops.on[rx::KindResize] = true;
    cases[1].ops.resize.mode = rx::ResizeOp::Width;
    cases[1].ops.resize.width = 5000;
    cases[1].maxDelay = 0.9;
    cases[2].task = "Cancel during lossless optimisation of a 24 MP JPEG";
    cases[2].source = jpeg;
    cases[2].ops.on[rx::KindOptimize] = true;
    cases[2].ops.optimize.mode = static_cast<int>(rx::OptimizeMode::OnlyJpeg);
    cases[2].ops.optimize.quality = 1;
    cases[2].maxDelay = 0.9;
    for (Case& c : cases)
        Measure(c, work, work / "tmp", rounds);
    return 0;
}
