// Text watermark benchmark driver.
//   rx_watermark_bench generate DIR   writes ten photo-like JPEGs of 2 to 18 MP (once)
//   rx_watermark_bench mark OUT FILE... watermarks each file through RunOperations and Save
// Prints the wall time of the marking in seconds on one line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QGuiApplication>
#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/Operation.h"
#include "ops/WatermarkOp.h"

namespace fs = boost::filesystem;

namespace {

// Smooth colour fields (blown-up coarse noise), a light gradient and fine grain: compresses and
// decodes like a camera photo rather than like flat colour or pure noise.
void Generate(const fs::path& dir) {
    rx::EnsureImagingStarted();
    fs::create_directories(dir);
    const struct {
        int w, h;
    } sizes[] = {{1728, 1152}, {2048, 1536}, {2592, 1728}, {3000, 2000}, {3264, 2448},
                 {3456, 2304}, {4000, 3000}, {4272, 2848}, {4608, 3456}, {5184, 3456}};
    int i = 0;
    for (const auto& s : sizes) {
        const fs::path target = dir / ("photo-" + std::to_string(i++) + ".jpg");
        if (fs::exists(target))
            continue;
        const int cw = s.w / 32 + 1, ch = s.h / 32 + 1;
        std::vector<vips::VImage> bands;
        for (int b = 0; b < 3; ++b)
            bands.push_back(vips::VImage::gaussnoise(
                cw, ch, vips::VImage::option()->set("mean", 110.0 + 20 * b)->set("sigma", 45.0)));
        vips::VImage coarse = vips::VImage::bandjoin(bands).gaussblur(1.2);
        vips::VImage field = coarse.resize(32.0, vips::VImage::option()->set("kernel", "cubic"))
                                 .crop(0, 0, s.w, s.h);
        vips::VImage ramp = vips::VImage::xyz(s.w, s.h)[1] * (60.0 / s.h) - 30.0;
        vips::VImage grain = vips::VImage::gaussnoise(
            s.w, s.h, vips::VImage::option()->set("mean", 0.0)->set("sigma", 6.0));
        vips::VImage photo =
            (field + ramp + grain)
                .cast(VIPS_FORMAT_UCHAR)
                .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        photo.set("exif-ifd0-Model", "Bench Camera");
        photo.set("exif-ifd0-DateTime", "2024:06:01 10:20:30");
        photo.jpegsave(target.string().c_str(), vips::VImage::option()->set("Q", 90));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "generate") {
        if (VIPS_INIT(argv[0]))
            return 1;
        Generate(argv[2]);
        return 0;
    }
    if (argc < 4 || std::string(argv[1]) != "mark") {
        std::fprintf(stderr, "usage: %s generate DIR | mark OUT FILE...\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const fs::path out = argv[2];
    fs::create_directories(out);

    rx::WatermarkOp op;
    op.text = L"Rexmill watermark";
    op.fontName = L"Liberation Sans";
    op.fontSize = 48;
    op.positionX = 0.02f;
    op.positionY = 0.02f;
    rx::OperationList list{};
    list[rx::KindWatermark] = &op;

    const auto start = std::chrono::steady_clock::now();
    int saved = 0;
    for (int i = 3; i < argc; ++i) {
        rx::ImageFile file(argv[i], i - 3);
        rx::RunOperations(list, file);
        saved += file.Save(out) ? 1 : 0;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.3f %d\n", took.count(), saved);
    return saved == argc - 3 ? 0 : 1;
}
