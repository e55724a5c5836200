// Renders the preview's file on the renderer thread (preview_thread) and hands the result back
// to the window's thread. Requests are made on the window's thread with everything the render
// reads: a snapshot of the file list and copies of the operation records, so the list and the
// panels may change while a render runs. The renderer keeps its own index into the list and
// returns it with every result. A result reaches the window's thread by a queued call, which is
// dropped when the renderer has gone; destroying the renderer never waits for the window.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/PreviewPipeline.h"
#include "app/preview_thread.h"
#include "engine/Bitmap.h"
#include "engine/Operation.h"
#include "engine/OperationSnapshot.h"
#include "engine/OutputLocations.h"

namespace rx {

enum class PreviewStep {
    Current,  // the file at the renderer's index
    Next,     // index + 1, wrapping to the first file
    Previous, // index - 1, wrapping to the last file
};

// One finished render. A failed render has size 0 x 0 and no image.
struct PreviewResult {
    int index = 0; // the file rendered
    int count = 0; // files in the list the render saw
    int width = 0; // the result's size before it was reduced for the screen
    int height = 0;
    QImage image; // at most the screen's size
};

using PreviewFiles = std::shared_ptr<const std::vector<FileEntry>>;

class PreviewRenderer : public QObject {
public:
    // A full-size rendering in place of the renderer's own (tests): loads the entry's file and
    // runs the operations on it; the result is then reduced for the screen.
    using RenderFunction =
        std::function<std::unique_ptr<Bitmap>(const FileEntry& entry, const OperationList& ops)>;
    // Receives each result on the window's thread.
    using ResultHandler = std::function<void(const PreviewResult& result)>;

    // Loads and processes the file as the job does, without saving.
    static std::unique_ptr<Bitmap> RenderFile(const FileEntry& entry, const OperationList& ops);
    // The size an image of width x height is shown at on a screen of the given size: first
    // narrowed to the screen's width, then lowered to its height, keeping the proportions.
    static QSize ScreenSize(int width, int height, const QSize& screen) {
        return PreviewPipeline::ScreenSize(width, height, screen);
    }

    // Without a render function the renderer renders with its PreviewPipeline, which makes
    // what is shown at the screen's size rather than reducing a full-size result.
    explicit PreviewRenderer(ResultHandler onRendered, RenderFunction render = {},
                             RenderPriority priority = RenderPriority::Lowest);
    // Stops the renderer thread (a running render ends at its next interruption point);
    // results not yet delivered are dropped.
    ~PreviewRenderer() override;

    // Window's thread. Posts a render, replacing one that has not started. Nothing is posted for
    // an empty list (false). screen: the virtual screen's size, read on the window's thread.
    // operations: copies of the records taken now (RXWorker::CopyReadyOperations).
    bool Request(PreviewStep step, PreviewFiles files, OperationSnapshot operations, QSize screen);

    // Renders that ran to the end (delivered or not).
    long completed() const { return thread_.completed(); }
    // Requests posted so far (window's thread).
    long requested() const { return requested_; }
    // Window's thread: nothing waits, runs or is on its way to the handler.
    bool idle() const { return thread_.idle() && delivered_ == results_.load(); }

private:
    void Render(PreviewStep step, const PreviewFiles& files, OperationSnapshot& operations,
                QSize screen);

    ResultHandler onRendered_;
    RenderFunction render_;
    long requested_ = 0; // window's thread only
    long delivered_ = 0; // window's thread only
    std::atomic<long> results_{0};
    // Renderer thread only: the index into the list, and the copies of the last render, whose
    // caches (the Resize result) the next render takes over, so that a change elsewhere does
    // not rescale the picture again.
    int index_ = 0;
    OperationSnapshot last_;
    PreviewPipeline pipeline_;
    // Last, so it stops first, while everything its tasks use still exists.
    preview_thread thread_;
};

} // namespace rx
