// The preview window with a 24-megapixel photo and a text watermark, offscreen: how long the
// first picture takes after the window opens, and how long a re-render takes after the
// watermark moves. Prints one line per measure and TABLE lines for bench/run.
//   rx_bench_preview DATA_DIR   (the photo is generated there once)
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSettings>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include <boost/filesystem/operations.hpp>

#include "app/CRXPreviewWnd.h"
#include "engine/Imaging.h"
#include "ops/WatermarkOp.h"
#include "settings/SettingsStore.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

// A photo-like 6000 x 4000 JPEG: smooth colour fields with grain, so the codec works as hard
// as on a camera picture.
fs::path MakePhoto(const fs::path& dir) {
    const fs::path file = dir / "photo-24mp.jpg";
    if (fs::exists(file))
        return file;
    fs::create_directories(dir);
    QImage image(6000, 4000, QImage::Format_RGB888);
    std::uint32_t seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27) - 16;
            row[3 * x] = uchar(std::clamp(x * 255 / 6000 + grain, 0, 255));
            row[3 * x + 1] = uchar(std::clamp(y * 255 / 4000 + grain, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(((x + y) / 40) % 256 + grain, 0, 255));
        }
    }
    Bytes bytes;
    if (!Bitmap::FromImage(image)->EncodeTo(OutputFormat::Jpeg, &bytes))
        return {};
    std::ofstream(file.string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file;
}

class Source : public PreviewSource {
public:
    PreviewFiles files;
    WatermarkOp watermark;
    PreviewFiles PreviewFileList() override { return files; }
    OperationSnapshot PreviewOperations() override {
        return OperationSnapshot(std::array<const Operation*, kOperationCount>{&watermark});
    }
    WatermarkOp* PreviewWatermark() override { return &watermark; }
};

// Seconds until the window holds a result of a render after the given count.
double WaitForResult(CRXPreviewWnd& window, long done, const QElapsedTimer& clock) {
    while (window.Renderer()->completed() <= done || window.SpinnerRunning()) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return clock.nsecsElapsed() / 1e9;
}

// Processor seconds of the whole process so far (all threads).
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rx_bench_preview DATA_DIR\n");
        return 2;
    }
    // Offscreen unless a display is chosen (QT_QPA_PLATFORM=xcb under Xvfb gives its screen).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    EnsureImagingStarted();
    const fs::path photo = MakePhoto(argv[1]);
    if (photo.empty())
        return 1;
    const fs::path settingsDir = fs::temp_directory_path() / fs::unique_path("RX%%%%%%%%");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir.string()));
    SettingsStore settings(QStringLiteral("rexmill"));

    Source source;
    source.files = std::make_shared<std::vector<FileEntry>>(
        std::vector<FileEntry>{{photo.parent_path(), photo}});
    source.watermark.mode = static_cast<int>(WatermarkKind::Text);
    source.watermark.text = L"Rexmill preview";
    source.watermark.fontSize = 96;
    source.watermark.positionX = 0.5f;
    source.watermark.positionY = 0.8f;

    std::vector<double> first, moves, firstCpu, moveCpu;
    for (int round = 0; round < 3; ++round) {
        CRXPreviewWnd window(settings, source);
        QElapsedTimer clock;
        clock.start();
        double cpu = CpuSeconds();
        if (!window.Create())
            return 1;
        first.push_back(WaitForResult(window, 0, clock));
        firstCpu.push_back(CpuSeconds() - cpu);
        for (int move = 0; move < 3; ++move) {
            source.watermark.positionX = 0.2f + 0.2f * float(move);
            const long done = window.Renderer()->completed();
            clock.restart();
            cpu = CpuSeconds();
            window.Post(PreviewStep::Current);
            moves.push_back(WaitForResult(window, done, clock));
            moveCpu.push_back(CpuSeconds() - cpu);
        }
        if (window.SizeText() != QStringLiteral("6000 x 4000")) {
            std::fprintf(stderr, "unexpected result %s\n", qPrintable(window.SizeText()));
            return 1;
        }
        window.close();
    }
    fs::remove_all(settingsDir);
    const double bestFirst = *std::min_element(first.begin(), first.end());
    const double worstFirst = *std::max_element(first.begin(), first.end());
    const double bestMove = *std::min_element(moves.begin(), moves.end());
    const double worstMove = *std::max_element(moves.begin(), moves.end());
    const double cpuFirst = *std::min_element(firstCpu.begin(), firstCpu.end());
    const double cpuMove = *std::min_element(moveCpu.begin(), moveCpu.end());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    std::printf("preview: 24 MP JPEG with a text watermark on a %d x %d screen: first picture "
                "%.2fs (worst %.2fs, target <= 1), after a watermark move %.2fs (worst %.2fs, "
                "target <= 0.5)\n",
                screen.width(), screen.height(), bestFirst, worstFirst, bestMove, worstMove);
    std::printf("preview: processor time (all threads): first picture %.2fs, after a move %.2fs; "
                "load average when run: see uptime\n",
                cpuFirst, cpuMove);
    std::printf(
        "TABLE\tpreview first picture, 24 MP + text watermark\t%.3f\ttarget\t1\t%ld\t-\t-\t-\n",
        bestFirst, usage.ru_maxrss);
    std::printf("TABLE\tpreview after a watermark move, 24 MP\t%.3f\ttarget\t0.5\t%ld\t-\t-\t-\n",
                bestMove, usage.ru_maxrss);
    return 0;
}
