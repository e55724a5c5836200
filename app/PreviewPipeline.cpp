#include "app/PreviewPipeline.h"

#include <algorithm>
#include <atomic>

#include <boost/filesystem/operations.hpp>
#include <boost/thread/thread.hpp>

#include "engine/ImageFile.h"
#include "engine/ScaleImage.h"
#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"

namespace fs = boost::filesystem;

namespace rx {
namespace {
std::atomic<std::uint64_t> g_reducedDecodes{0};

// The pixels of a finished full-size render, decoded here on the renderer thread.
PreviewPipeline::Result FullResult(ImageFile& file) {
    std::unique_ptr<Bitmap> bitmap = file.GetImage();
    const QImage* pixels = bitmap->IsValid() ? bitmap->Pixels() : nullptr;
    if (!pixels || pixels->isNull())
        return {};
    return {pixels->width(), pixels->height(), *pixels};
}
} // namespace

QSize PreviewPipeline::ScreenSize(int width, int height, const QSize& screen) {
    double w = width, h = height;
    if (screen.width() > 0 && w > screen.width()) {
        h = h * screen.width() / w;
        w = screen.width();
    }
    if (screen.height() > 0 && h > screen.height()) {
        w = w * screen.height() / h;
        h = screen.height();
    }
    return QSize(std::max(1, RoundPixels(w)), std::max(1, RoundPixels(h)));
}

std::uint64_t PreviewPipeline::ReducedDecodes() {
    return g_reducedDecodes.load(std::memory_order_relaxed);
}

PreviewPipeline::Result PreviewPipeline::Render(const FileEntry& entry, const OperationList& ops,
                                                const QSize& screen) {
    const auto* resize = dynamic_cast<const ResizeOp*>(ops[KindResize]);
    const auto* watermark = dynamic_cast<const WatermarkOp*>(ops[KindWatermark]);
    // The size the job would write for a source of the given upright size.
    const auto outputSize = [resize](const QSize& source) {
        return resize ? resize->targetSize(static_cast<std::uint32_t>(source.width()),
                                           static_cast<std::uint32_t>(source.height()))
                      : source;
    };

    boost::system::error_code timeError, sizeError;
    const std::time_t time = fs::last_write_time(entry.file, timeError);
    const std::uintmax_t bytes = fs::file_size(entry.file, sizeError);
    const bool sameFile = !timeError && !sizeError && !kept_.pixels.isNull() &&
                          kept_.path == entry.file &&
                          kept_.modified == static_cast<std::int64_t>(time) && kept_.bytes == bytes;
    QSize output, shown;
    if (sameFile) {
        output = outputSize(kept_.source);
        shown = ScreenSize(output.width(), output.height(), screen);
    }
    if (!sameFile || shown != kept_.reduced) {
        ImageFile file(entry.file, -1);
        const std::unique_ptr<Bitmap> header = file.GetImage();
        if (!header->IsValid())
            return {};
        const QSize source(header->Width(), header->Height());
        output = outputSize(source);
        shown = ScreenSize(output.width(), output.height(), screen);
        if (shown == output) {
            // Shown at its own size: made exactly as the job makes it.
            RunOperations(ops, file);
            return FullResult(file);
        }
        boost::this_thread::interruption_point();
        const SharedBytes data = file.data() ? file.data()->Contents() : nullptr;
        QImage pixels = ScaleImagePixels(data, shown.width(), shown.height());
        g_reducedDecodes.fetch_add(1, std::memory_order_relaxed);
        if (pixels.isNull())
            return {};
        kept_ = {entry.file,       file.modified(), timeError || sizeError ? 0 : bytes,
                 source,           shown,           header->DateTime(),
                 std::move(pixels)};
    }
    boost::this_thread::interruption_point();

    Result result{output.width(), output.height(), kept_.pixels};
    if (watermark)
        watermark->draw(result.pixels, kept_.dateTime, kept_.modified, output);
    return result;
}

} // namespace rx
