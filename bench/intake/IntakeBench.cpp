// Intake cost: folders of 2,500, 5,000 and 10,000 small PNG files taken in with FileIntake.
// Prints, per size, the CPU time of the whole intake (walk, input test with its header read,
// duplicate check) and of the duplicate check alone (every path added again), so that growth
// faster than linear shows in the ratio between sizes.
//   rx_bench_intake FOLDER   (the files are made there once and kept)
#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <string>

#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/FileIntake.h"
#include "engine/Imaging.h"
#include "engine/RXWorker.h"
#include "engine/VipsBridge.h"

namespace fs = boost::filesystem;

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void MakeFiles(const fs::path& folder, int count) {
    if (fs::exists(folder / "made.txt"))
        return;
    fs::create_directories(folder);
    vips::VImage image = vips::VImage::black(8, 8, vips::VImage::option()->set("bands", 3));
    const rx::Bytes png =
        rx::vipsbridge::Save(image.cast(VIPS_FORMAT_UCHAR), rx::OutputFormat::Png);
    for (int i = 0; i < count; ++i) {
        // Sub-folders of 500, as photo collections are kept.
        const fs::path sub = folder / ("d" + std::to_string(i / 500));
        fs::create_directories(sub);
        FILE* f = std::fopen((sub / ("f" + std::to_string(i) + ".png")).c_str(), "wb");
        std::fwrite(png.data(), 1, png.size(), f);
        std::fclose(f);
    }
    std::fclose(std::fopen((folder / "made.txt").c_str(), "wb"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rx_bench_intake FOLDER\n");
        return 2;
    }
    rx::EnsureImagingStarted();
    std::printf("files\tintake_cpu_s\tduplicate_check_cpu_s\tlisted\n");
    for (int count : {2500, 5000, 10000}) {
        const fs::path folder = fs::path(argv[1]) / std::to_string(count);
        MakeFiles(folder, count);
        rx::RXWorker job;
        rx::FileIntake intake(job);
        intake.Begin();
        const double t0 = CpuSeconds();
        intake.AddPath(folder);
        const double t1 = CpuSeconds();
        for (const rx::FileEntry& e : std::vector<rx::FileEntry>(job.files()))
            job.AddEntry(e.file, e.base);
        const double t2 = CpuSeconds();
        std::printf("%d\t%.3f\t%.4f\t%zu\n", count, t1 - t0, t2 - t1, job.files().size());
    }
    return 0;
}
