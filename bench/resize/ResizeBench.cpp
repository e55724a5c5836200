// Resize benchmark program.
//   rx_bench_resize make <folder>         writes the batch of synthetic photos (JPEG, quality 90)
//   rx_bench_resize make-phone <folder>   writes 12 phone-sized photos (12 MP) as HEIC and as WebP,
//                                          each with its encoder's defaults
//   rx_bench_resize run <in> <out> [width] [ext]
//                                          resizes every file of <in> with the extension (.jpg)
//                                          to the width (1000) the way the job does
//                                          (RunOperations, then Save into <out>)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/Operation.h"
#include "ops/ResizeOp.h"

namespace fs = boost::filesystem;
using vips::VImage;

namespace {

// Smooth random structure at a coarse scale, enlarged to w x h.
VImage Blobs(int w, int h, int cell, double sigma, int seed) {
    const int cw = std::max(2, w / cell), ch = std::max(2, h / cell);
    std::vector<VImage> bands;
    for (int b = 0; b < 3; ++b)
        bands.push_back(VImage::gaussnoise(
            cw, ch,
            VImage::option()->set("mean", 0.0)->set("sigma", sigma)->set("seed", seed * 7 + b)));
    VImage noise = VImage::bandjoin(bands).gaussblur(1.2);
    return noise.resize(
        double(w) / cw,
        VImage::option()->set("vscale", double(h) / ch)->set("kernel", VIPS_KERNEL_CUBIC));
}

// A photo-like picture: a lit gradient, large soft shapes, mid-scale texture and sensor grain.
VImage Photo(int w, int h, int seed) {
    const VImage xyz = VImage::xyz(w, h);
    const VImage light = xyz.extract_band(0) * (70.0 / w) + xyz.extract_band(1) * (50.0 / h);
    const std::vector<double> tint = {90.0 + seed * 5 % 40, 100.0, 120.0 - seed * 3 % 30};
    VImage img = VImage::bandjoin(std::vector<VImage>{light, light, light}) + tint;
    img = img + Blobs(w, h, 48, 60, seed) + Blobs(w, h, 6, 25, seed + 100);
    img =
        img +
        VImage::gaussnoise(
            w, h, VImage::option()->set("mean", 0.0)->set("sigma", 5.0)->set("seed", seed + 1000));
    img = img.cast(VIPS_FORMAT_UCHAR)
              .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    img.set("exif-ifd0-Make", "Rexmill");
    img.set("exif-ifd0-Model", "Bench Camera");
    img.set("exif-ifd0-DateTime", "2024:05:17 12:30:00");
    if (seed % 5 == 3) // a camera held upright
        img.set(VIPS_META_ORIENTATION, 6);
    return img;
}

int Make(const fs::path& folder) {
    fs::create_directories(folder);
    // Megapixels from 2 to 18, in 4:3 and 3:2.
    const int sizes[][2] = {{1632, 1224}, {2048, 1536}, {2400, 1600}, {2816, 2112},
                            {3264, 2448}, {3648, 2432}, {4000, 3000}, {4272, 2848},
                            {4608, 3456}, {4800, 3200}, {4896, 3672}, {5184, 3456}};
    int i = 0;
    for (const auto& s : sizes) {
        char name[64];
        std::snprintf(name, sizeof name, "photo%02d_%dx%d.jpg", i, s[0], s[1]);
        const fs::path path = folder / name;
        if (!fs::exists(path)) {
            Photo(s[0], s[1], i).jpegsave(path.string().c_str(), VImage::option()->set("Q", 90));
            std::printf("made %s\n", path.string().c_str());
        }
        ++i;
    }
    return 0;
}

// What a phone saves: 12 MP in 4:3, landscape and portrait, as HEIC (libheif with x265) and as
// WebP, both at their encoders' defaults, with the camera's EXIF.
int MakePhone(const fs::path& folder) {
    fs::create_directories(folder);
    for (int i = 0; i < 12; ++i) {
        const bool portrait = i % 3 == 2;
        VImage photo = Photo(portrait ? 3024 : 4032, portrait ? 4032 : 3024, 40 + i);
        photo.remove(VIPS_META_ORIENTATION);
        char stem[32];
        std::snprintf(stem, sizeof stem, "phone%02d", i);
        const fs::path heic = folder / (std::string(stem) + ".heic");
        if (!fs::exists(heic)) {
            photo.heifsave(
                (heic.string() + ".part").c_str(),
                VImage::option()->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC));
            fs::rename(heic.string() + ".part", heic);
            std::printf("made %s\n", heic.string().c_str());
        }
        const fs::path webp = folder / (std::string(stem) + ".webp");
        if (!fs::exists(webp)) {
            photo.webpsave((webp.string() + ".part").c_str());
            fs::rename(webp.string() + ".part", webp);
            std::printf("made %s\n", webp.string().c_str());
        }
    }
    return 0;
}

int Run(const fs::path& in, const fs::path& out, int width, const std::string& ext) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(in))
        if (entry.path().extension() == ext)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    fs::create_directories(out);
    rx::ResizeOp op;
    op.mode = rx::ResizeOp::Width;
    op.width = static_cast<std::uint32_t>(width);
    rx::OperationList list{};
    list[rx::KindResize] = &op;
    const auto start = std::chrono::steady_clock::now();
    int saved = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        rx::ImageFile file(files[i], static_cast<int>(i));
        rx::RunOperations(list, file);
        file.ConvertFormat(rx::OutputFormat::DontChange);
        saved += file.Save(out) ? 1 : 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("rexmill: %d of %zu files resized to width %d in %.3f s\n", saved, files.size(),
                width, seconds);
    return saved == static_cast<int>(files.size()) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    rx::EnsureImagingStarted();
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc == 3)
        return Make(argv[2]);
    if (command == "make-phone" && argc == 3)
        return MakePhone(argv[2]);
    if (command == "run" && argc >= 4 && argc <= 6)
        return Run(argv[2], argv[3], argc >= 5 ? std::atoi(argv[4]) : 1000,
                   argc == 6 ? argv[5] : ".jpg");
    std::fprintf(stderr,
                 "usage: %s make <folder> | make-phone <folder> | run <in> <out> [width] [ext]\n",
                 argv[0]);
    return 2;
}
