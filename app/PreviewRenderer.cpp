#include "app/PreviewRenderer.h"

#include <exception>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/ScaleImage.h"

namespace rx {
std::unique_ptr<Bitmap> PreviewRenderer::RenderFile(const FileEntry& entry,
                                                    const OperationList& ops) {
    ImageFile file(entry.file, -1);
    RunOperations(ops, file);
    return file.GetImage();
}

PreviewRenderer::PreviewRenderer(ResultHandler onRendered, RenderFunction render,
                                 RenderPriority priority)
    : onRendered_(std::move(onRendered)), render_(std::move(render)), thread_(priority) {}

PreviewRenderer::~PreviewRenderer() = default;

bool PreviewRenderer::Request(PreviewStep step, PreviewFiles files, OperationSnapshot operations,
                              QSize screen) {
    if (!files || files->empty())
        return false;
    ++requested_;
    auto copies = std::make_shared<OperationSnapshot>(std::move(operations));
    thread_.Post([this, step, files = std::move(files), copies = std::move(copies), screen] {
        Render(step, files, *copies, screen);
    });
    return true;
}

void PreviewRenderer::Render(PreviewStep step, const PreviewFiles& files,
                             OperationSnapshot& operations, QSize screen) {
    const int n = static_cast<int>(files->size());
    if (n == 0)
        return;
    int index = index_ >= 0 && index_ < n ? index_ : 0;
    if (step == PreviewStep::Next)
        index = (index + 1) % n;
    else if (step == PreviewStep::Previous)
        index = (index + n - 1) % n;
    index_ = index;

    // The Resize cache is keyed by source and size, so it is valid for any settings.
    operations.AdoptCachesFrom(last_);

    PreviewResult result;
    result.index = index;
    result.count = n;
    try {
        const FileEntry& entry = (*files)[static_cast<size_t>(index)];
        if (!render_) {
            PreviewPipeline::Result rendered = pipeline_.Render(entry, operations.list(), screen);
            last_ = std::move(operations);
            result.width = rendered.width;
            result.height = rendered.height;
            result.image = std::move(rendered.pixels);
        } else {
            std::unique_ptr<Bitmap> bitmap = render_(entry, operations.list());
            last_ = std::move(operations);
            // Decoded here, not on the window's thread.
            const QImage* pixels = bitmap && bitmap->IsValid() ? bitmap->Pixels() : nullptr;
            if (pixels && !pixels->isNull()) {
                result.width = pixels->width();
                result.height = pixels->height();
                const QSize shown = ScreenSize(result.width, result.height, screen);
                result.image =
                    shown == pixels->size()
                        ? *pixels
                        : pixels->scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            }
        }
    } catch (const boost::thread_interrupted&) {
        throw;
    } catch (const std::exception& e) {
        DebugLog(L"Preview: rendering failed: %S\n", e.what());
        result = PreviewResult{index, n, 0, 0, {}};
    } catch (...) {
        DebugLog(L"Preview: rendering failed\n");
        result = PreviewResult{index, n, 0, 0, {}};
    }
    ++results_;
    QMetaObject::invokeMethod(
        this,
        [this, result = std::move(result)] {
            ++delivered_;
            if (onRendered_)
                onRendered_(result);
        },
        Qt::QueuedConnection);
}

} // namespace rx
