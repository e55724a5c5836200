// The preview window: one file of the list as the job would produce it with the current
// settings, rendered on the renderer thread and drawn scaled to fit. A resizable frameless
// top-level window with a 32-px title band (file counter, image size, PREV, NEXT, the
// "Save watermark proportions" lock, fit and close). UI thread only.
//
// The main window drives it (all on the UI thread):
//   open (preview toggle 1119 checked):  auto* p = new CRXPreviewWnd(settings, source);
//                                        p->Create(); p->Refresh();
//   an image-changing settings change:   p->Post(PreviewStep::Current);
//   files added:                         p->Refresh();
//   lock visibility (files, Watermark):  p->UpdateLockVisibility(files > 1 && watermarkOn);
//   close (toggle off, leaving FilesAdded, main window closing):  p->close();
// Closing stores the placement, stops the renderer (no result reaches a closed window) and
// calls source.PreviewClosed(), where the main window unchecks its toggle and deletes the
// window (deleteLater). The proportions lock belongs to the Watermark panel: the window makes
// it its child while it exists and hands it back when it goes.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

#include "app/PreviewRenderer.h"
#include "app/PreviewTimer.h"
#include "ui/CImageCheckbox.h"
#include "ui/CSimpleImageButton.h"

namespace rx {

class SettingsStore;
class WatermarkOp;

// What the preview renders, asked on the UI thread whenever a render is requested.
class PreviewSource {
public:
    virtual ~PreviewSource() = default;
    // The job's file list as it is now (a snapshot the renderer may keep).
    virtual PreviewFiles PreviewFileList() = 0;
    // Copies of the switched-on, ready operation records (RXWorker::CopyReadyOperations),
    // taken for each render.
    virtual OperationSnapshot PreviewOperations() = 0;
    // The Watermark panel's record, whose reference size the proportions lock sets (may be null).
    virtual WatermarkOp* PreviewWatermark() = 0;
    // The Watermark panel's proportions lock, which the window creates as its child and gives
    // back (unparented, hidden) when it goes; null for a window without the lock.
    virtual CImageCheckbox* PreviewLock() { return nullptr; }
    // The window was closed by its own button or otherwise.
    virtual void PreviewClosed() {}
    // The window was restored or maximized (the main window shows itself again if minimized).
    virtual void PreviewRestored() {}
};

class CRXPreviewWnd : public QWidget {
public:
    static constexpr int kPrevId = 1300;
    static constexpr int kNextId = 1301;
    static constexpr int kLockId = 1302;
    static constexpr int kFitId = 1303;
    static constexpr int kCloseId = 1304;
    static constexpr int kSpinnerTimerId = 2245; // the busy spinner's timer, every 100 ms
    static constexpr int kSpinnerPeriodMs = 100;
    static constexpr int kTitleHeight = 32;
    static constexpr int kBorder = 5;
    static constexpr QSize kMinimumSize{320, 200};
    static constexpr QRect kDefaultRect{300, 300, 350, 300};
    static inline const QString kLockTip = QStringLiteral("Save watermark proportions");

    // Where a point of the window lies, for moving and resizing.
    enum class Area {
        Client,
        Caption,
        Left,
        Right,
        Top,
        Bottom,
        TopLeft,
        TopRight,
        BottomLeft,
        BottomRight
    };
    // Area of a point in a client rectangle of the given size.
    static Area HitTest(const QPoint& point, const QSize& client, int inset = 0);
    // The window rectangle after dragging `area` of a window at `start` by `delta`: the band
    // moves it, a border or corner moves that edge (the opposite one stays), never below
    // `minimum`.
    static QRect DraggedRect(const QRect& start, Area area, const QPoint& delta,
                             const QSize& minimum);
    // The window rectangle of the fit command: the image at 1:1 when it fits the work area,
    // else as large as fits; moved left and up only as far as needed to stay inside.
    static QRect FitRect(const QRect& window, const QSize& image, const QRect& work);

    // render: how a file is rendered (tests replace the loading and processing of the job);
    // none: the renderer's own pipeline.
    CRXPreviewWnd(SettingsStore& settings, PreviewSource& source,
                  PreviewRenderer::RenderFunction render = {},
                  RenderPriority priority = RenderPriority::Lowest);
    ~CRXPreviewWnd() override;

    // Loads the skin images and creates the title controls, places the window (the stored
    // placement or the default rectangle), shows it and asks for the first render. False when
    // an image or a control is missing.
    bool Create();
    // Shows PREV and NEXT with two files or more and renders the current file again.
    void Refresh();
    // Asks for a render (replacing one that has not started); starts the spinner's timer.
    void Post(PreviewStep step);
    // Shows or hides the proportions lock.
    void UpdateLockVisibility(bool visible);
    // Every command of the title controls.
    void OnCommand(int id);
    // A tick of a timer of the window; kSpinnerTimerId turns the spinner, other ids are ignored.
    void OnTimer(int id);
    // Replaces the spinner's Qt timer (tests drive one with a clock of their own). Before Create.
    void SetSpinnerTimer(std::unique_ptr<PreviewTimer> timer);

    // Read access for the main window and the tests.
    bool IsBusy() const { return busy_; }
    int SpinnerAngle() const { return angle_; }
    bool SpinnerRunning() const { return spinner_->IsActive(); }
    // "2 of 3" and "4000 x 3000" (empty without a result) as the band shows them.
    QString CounterText() const;
    QString SizeText() const;
    QSize ImageSize() const { return QSize(imageWidth_, imageHeight_); }
    const QImage& ShownImage() const { return shown_; }
    // How often the shown image was scaled for the window (once per result and size).
    int ScaleCount() const { return scaleCount_; }
    // Results that reached the window (closing stops the renderer, so none come after it).
    int Deliveries() const { return deliveries_; }
    CSimpleImageButton& PrevButton() { return prev_; }
    CSimpleImageButton& NextButton() { return next_; }
    // The proportions lock while the window holds it (null without one).
    CImageCheckbox* ProportionsLock() const { return lock_; }
    // The renderer; null once the window was closed.
    PreviewRenderer* Renderer() { return renderer_.get(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    void OnRendered(const PreviewResult& result);
    void LayoutTitle();
    void UpdateRegion();
    // The image area (below the band) and the box the image is fitted into.
    QRect ImageArea() const;
    QRect SpinnerRect() const;
    void RescaleShown();
    void StorePlacement();
    int Inset() const;

    SettingsStore& settings_;
    PreviewSource& source_;
    QImage shown_;  // the result, reduced for the screen
    QImage scaled_; // shown_ scaled for the window's box
    QSize scaledFor_;
    int scaleCount_ = 0;
    int deliveries_ = 0;
    int imageWidth_ = 0, imageHeight_ = 0;
    int index_ = 0, count_ = 0;
    CSimpleImageButton close_, fit_, next_, prev_;
    QPointer<CImageCheckbox> lock_; // the Watermark panel's
    QImage title_, spinnerImage_;
    bool busy_ = false;
    int angle_ = 0;
    std::unique_ptr<PreviewTimer> spinner_;
    bool closed_ = false;
    // A move or resize the window makes itself where the platform makes none (no window
    // manager that takes it over, offscreen): what was pressed, where, and the geometry then.
    struct Drag {
        Area area = Area::Client;
        QPoint start;
        QRect geometry;
    };
    std::optional<Drag> drag_;
    // Last: its thread stops before the members its results reach.
    std::unique_ptr<PreviewRenderer> renderer_;
};

} // namespace rx
