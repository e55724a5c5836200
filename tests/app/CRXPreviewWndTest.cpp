// The preview window offscreen: placement, stepping, the spinner on a clock of the test's, the
// size label, the display scaling, the Resize cache, the lock, fitting, hit-testing and
// open/close rounds.
#include "app/CRXPreviewWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <boost/filesystem/path.hpp>

#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"
#include "settings/SettingsStore.h"
#include "tests/support/SettingsLocation.h"
#include "tests/support/TestImages.h"
#include "tests/ui/QtTestApp.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {

class FakeSource : public PreviewSource {
public:
    // The lock is the source's, as it is the Watermark panel's in the program; should a window
    // delete it, the pointer says so instead of a second deletion.
    ~FakeSource() override { delete lock.data(); }
    void SetFiles(int n) {
        auto list = std::make_shared<std::vector<FileEntry>>();
        for (int i = 0; i < n; ++i)
            list->push_back({"base", std::to_string(i)});
        files = list;
    }
    PreviewFiles PreviewFileList() override { return files; }
    OperationSnapshot PreviewOperations() override { return OperationSnapshot(operations); }
    WatermarkOp* PreviewWatermark() override { return &watermark; }
    CImageCheckbox* PreviewLock() override { return lock; }
    void PreviewClosed() override { ++closed; }

    PreviewFiles files = std::make_shared<std::vector<FileEntry>>();
    std::array<const Operation*, kOperationCount> operations{};
    WatermarkOp watermark;
    QPointer<CImageCheckbox> lock = new CImageCheckbox;
    int closed = 0;
};

// Lets renders through one at a time, as the test says.
class Gate {
public:
    void Pass() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return passes_ > 0; });
        --passes_;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_);
        ++passes_;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int passes_ = 0;
};

// The spinner's timer on a clock the test moves: a tick falls due every period after the
// latest start, and only while the timer runs.
class ClockTimer : public PreviewTimer {
public:
    void Start(int id, int periodMs, TickHandler onTick) override {
        id_ = id;
        period_ = periodMs;
        due_ = now_ + periodMs;
        onTick_ = std::move(onTick);
        active_ = true;
    }
    void Stop() override { active_ = false; }
    bool IsActive() const override { return active_; }

    // Moves the clock on to `ms`, ticking at every due time passed on the way.
    void AdvanceTo(int ms) {
        while (active_ && due_ <= ms) {
            now_ = due_;
            due_ += period_;
            onTick_(id_);
        }
        now_ = std::max(now_, ms);
    }
    int now() const { return now_; }
    int id() const { return id_; }
    int period() const { return period_; }

private:
    int now_ = 0, due_ = 0, id_ = 0, period_ = 0;
    bool active_ = false;
    TickHandler onTick_;
};

// A 10 x 10 image whose red level is the entry's number, or the given size.
std::unique_ptr<Bitmap> Numbered(const FileEntry& entry, const OperationList&) {
    QImage image(10, 10, QImage::Format_RGB888);
    image.fill(QColor(std::stoi(entry.file.string()), 0, 0));
    return Bitmap::FromImage(image);
}

class PreviewWindowTest : public ::testing::Test {
protected:
    // Opens the window with its spinner on the test's clock, or on its real timer. The renderer
    // keeps the test's priority: at the lowest one it could wait for minutes on a machine whose
    // cores other programs keep busy.
    bool Open(PreviewRenderer::RenderFunction render = &Numbered, bool realTimer = false) {
        window = std::make_unique<CRXPreviewWnd>(*settings, source, std::move(render),
                                                 RenderPriority::Inherited);
        clock = nullptr;
        if (!realTimer) {
            clock = new ClockTimer;
            window->SetSpinnerTimer(std::unique_ptr<PreviewTimer>(clock));
        }
        return window->Create();
    }
    // Waits until the window holds a result delivered after `seen` earlier ones.
    bool WaitRendered(int seen) {
        return QTest::qWaitFor(
            [&] {
                return window->Deliveries() > seen && !window->SpinnerRunning() &&
                       !window->IsBusy() && window->ImageSize() != QSize();
            },
            20000);
    }
    bool WaitDelivered(int n) {
        return QTest::qWaitFor([&] { return window->Deliveries() >= n; }, 20000);
    }
    // Pixels inside a square of the given half side around a point that differ.
    static int Differing(const QImage& a, const QImage& b, QPoint centre, int half) {
        int n = 0;
        for (int dy = -half; dy <= half; ++dy)
            for (int dx = -half; dx <= half; ++dx)
                n += a.pixel(centre + QPoint(dx, dy)) != b.pixel(centre + QPoint(dx, dy));
        return n;
    }

    TestAppGuard app_;
    rxtest::SettingsLocation where_;
    std::unique_ptr<SettingsStore> settings = std::make_unique<SettingsStore>("rexmill");
    FakeSource source;
    std::unique_ptr<CRXPreviewWnd> window;
    ClockTimer* clock = nullptr; // owned by the window
};

TEST_F(PreviewWindowTest, AStoredPlacementOfAnotherSizeIsIgnored) {
    {
        QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Mornsby Software", "Rexmill");
        raw.setValue("1.0/rexmill/Preview/WindowPlacement", QByteArray(40, 'x'));
    }
    source.SetFiles(1);
    ASSERT_TRUE(Open());
    EXPECT_EQ(window->geometry(), QRect(300, 300, 350, 300));
    EXPECT_EQ(window->minimumSize(), QSize(320, 200));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->windowTitle(), "Preview");
}

TEST_F(PreviewWindowTest, ClosingStoresThePlacementTheNextWindowOpensAt) {
    source.SetFiles(1);
    ASSERT_TRUE(Open());
    window->setGeometry(100, 120, 500, 400);
    window->close();
    EXPECT_EQ(source.closed, 1);
    const auto placement = settings->previewPlacement();
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->showCmd, 1u);
    EXPECT_EQ(QRect(placement->left, placement->top, placement->right - placement->left,
                    placement->bottom - placement->top),
              QRect(100, 120, 500, 400));
    window.reset();
    ASSERT_TRUE(Open());
    EXPECT_EQ(window->geometry(), QRect(100, 120, 500, 400));
}

TEST_F(PreviewWindowTest, WithOneFileStepsAreHiddenAndArrowsRenderTheSameFile) {
    source.SetFiles(1);
    ASSERT_TRUE(Open());
    window->Refresh();
    EXPECT_FALSE(window->PrevButton().isVisible());
    EXPECT_FALSE(window->NextButton().isVisible());
    ASSERT_TRUE(WaitRendered(0));
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
        const int done = window->Deliveries();
        QTest::keyClick(window.get(), key);
        ASSERT_TRUE(WaitRendered(done));
        EXPECT_EQ(window->CounterText(), "1 of 1");
    }
}

TEST_F(PreviewWindowTest, WithThreeFilesNextAndPreviousWrapAround) {
    source.SetFiles(3);
    ASSERT_TRUE(Open());
    window->Refresh();
    EXPECT_TRUE(window->PrevButton().isVisible());
    EXPECT_TRUE(window->NextButton().isVisible());
    ASSERT_TRUE(WaitRendered(0));
    EXPECT_EQ(window->CounterText(), "1 of 3");
    const struct {
        CSimpleImageButton* button;
        const char* counter;
    } steps[] = {{&window->PrevButton(), "3 of 3"},
                 {&window->NextButton(), "1 of 3"},
                 {&window->NextButton(), "2 of 3"}};
    for (const auto& step : steps) {
        const int done = window->Deliveries();
        QTest::mouseClick(step.button, Qt::LeftButton, {}, step.button->rect().center());
        ASSERT_TRUE(WaitRendered(done));
        EXPECT_EQ(window->CounterText(), step.counter);
    }
    // The file rendered is the one counted.
    EXPECT_EQ(qRed(window->ShownImage().pixel(0, 0)), 1);
}

TEST_F(PreviewWindowTest, TheSpinnerShowsFromTheFirstTickOnlyWhenARenderOutlastsIt) {
    source.SetFiles(1);
    Gate gate;
    ASSERT_TRUE(Open([&gate](const FileEntry& e, const OperationList& ops) {
        gate.Pass();
        return Numbered(e, ops);
    }));
    // Opening asked for a render and started the spinner's timer, 2245 every 100 ms.
    ASSERT_TRUE(window->SpinnerRunning());
    EXPECT_EQ(clock->id(), CRXPreviewWnd::kSpinnerTimerId);
    EXPECT_EQ(clock->period(), 100);

    // A render of 50 ms: its result stops the timer before the first tick, so the spinner
    // never shows, however long the clock runs on.
    clock->AdvanceTo(50);
    EXPECT_FALSE(window->IsBusy());
    gate.Release();
    ASSERT_TRUE(WaitDelivered(1));
    EXPECT_FALSE(window->SpinnerRunning());
    clock->AdvanceTo(1000);
    EXPECT_FALSE(window->IsBusy());
    const QImage idle = window->grab().toImage();

    // A render of 350 ms, asked for at 1000 ms: nothing until 1100, then the spinner at 0, 30
    // and 60 degrees at 1100, 1200 and 1300.
    window->Post(PreviewStep::Current);
    clock->AdvanceTo(1099);
    EXPECT_FALSE(window->IsBusy());
    const struct { int at, angle; } ticks[] = {{1100, 0}, {1200, 30}, {1300, 60}};
    for (const auto& tick : ticks) {
        clock->AdvanceTo(tick.at);
        EXPECT_TRUE(window->IsBusy()) << tick.at;
        EXPECT_EQ(window->SpinnerAngle(), tick.angle) << tick.at;
    }
    const QPoint centre(window->width() / 2, 32 + (window->height() - 32) / 2);
    EXPECT_GT(Differing(idle, window->grab().toImage(), centre, 25), 50)
        << "the spinner is drawn in the middle of the image area";
    // Ticks of other timers are not the spinner's.
    window->OnTimer(CRXPreviewWnd::kSpinnerTimerId + 1);
    EXPECT_EQ(window->SpinnerAngle(), 60);
    clock->AdvanceTo(1350);
    EXPECT_TRUE(window->IsBusy());
    gate.Release();
    ASSERT_TRUE(WaitDelivered(2));
    EXPECT_FALSE(window->IsBusy());
    EXPECT_FALSE(window->SpinnerRunning());
    clock->AdvanceTo(3000);
    EXPECT_FALSE(window->IsBusy());
    EXPECT_EQ(Differing(idle, window->grab().toImage(), centre, 25), 0) << "the spinner is gone";
}

TEST_F(PreviewWindowTest, TheSizeLabelShowsTheResultsFullSizeWhenTheShownCopyIsReduced) {
    source.SetFiles(1);
    ASSERT_TRUE(Open([](const FileEntry&, const OperationList&) {
        QImage big(4000, 3000, QImage::Format_RGB888);
        big.fill(Qt::darkCyan);
        return Bitmap::FromImage(big);
    }));
    ASSERT_TRUE(WaitRendered(0));
    EXPECT_EQ(window->SizeText(), "4000 x 3000");
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    EXPECT_LE(window->ShownImage().width(), screen.width());
    EXPECT_LE(window->ShownImage().height(), screen.height());
    EXPECT_LT(window->ShownImage().width(), 4000);
}

TEST_F(PreviewWindowTest, TheImageIsScaledOncePerResultAndSizeNotPerPaint) {
    source.SetFiles(1);
    ASSERT_TRUE(Open([](const FileEntry&, const OperationList&) {
        QImage image(1000, 800, QImage::Format_RGB888);
        image.fill(Qt::yellow);
        return Bitmap::FromImage(image);
    }));
    ASSERT_TRUE(WaitRendered(0));
    const int scaled = window->ScaleCount();
    window->grab();
    window->repaint();
    EXPECT_EQ(window->ScaleCount(), scaled);
    window->resize(600, 500);
    EXPECT_EQ(window->ScaleCount(), scaled + 1);
    const QImage shot = window->grab().toImage();
    // Fitted into the box: 590 wide at most, centred, yellow in the middle.
    EXPECT_EQ(QColor(shot.pixel(300, 32 + (500 - 32) / 2)), QColor(Qt::yellow));
    EXPECT_EQ(QColor(shot.pixel(2, 100)), QColor::fromRgba(0xFF444347));
    const int done = window->Deliveries();
    window->Post(PreviewStep::Current);
    ASSERT_TRUE(WaitRendered(done));
    EXPECT_EQ(window->ScaleCount(), scaled + 2);
}

TEST_F(PreviewWindowTest, TheProportionsLockSetsTheWatermarksReferenceSize) {
    source.SetFiles(2);
    source.watermark.referenceWidth = 5;
    source.watermark.referenceHeight = 7;
    ASSERT_TRUE(Open());
    CImageCheckbox* lock = window->ProportionsLock();
    ASSERT_EQ(lock, source.lock.data());
    EXPECT_EQ(lock->parentWidget(), window.get());
    EXPECT_EQ(lock->pos(), QPoint(5 + 29 + 29 + 6, 11));
    EXPECT_TRUE(lock->isChecked()) << "saved proportions show as locked";
    EXPECT_FALSE(lock->isVisible());
    window->UpdateLockVisibility(true);
    EXPECT_TRUE(lock->isVisible());
    EXPECT_EQ(lock->toolTip(), "Save watermark proportions");
    ASSERT_TRUE(WaitRendered(0));
    // A click unchecks it: no saved proportions, and the picture is rendered again.
    int done = window->Deliveries();
    QTest::mouseClick(lock, Qt::LeftButton, {}, lock->rect().center());
    EXPECT_FALSE(lock->isChecked());
    EXPECT_EQ(source.watermark.referenceWidth, 0);
    EXPECT_EQ(source.watermark.referenceHeight, 0);
    ASSERT_TRUE(WaitRendered(done)) << "the lock renders again";
    // Checked again: the shown result's size is kept.
    QTest::mouseClick(lock, Qt::LeftButton, {}, lock->rect().center());
    EXPECT_TRUE(lock->isChecked());
    EXPECT_EQ(source.watermark.referenceWidth, 10);
    EXPECT_EQ(source.watermark.referenceHeight, 10);
    window->UpdateLockVisibility(false);
    EXPECT_FALSE(lock->isVisible());
}

TEST_F(PreviewWindowTest, ClosingHandsTheLockBackAndTheNextWindowTakesItChecked) {
    source.SetFiles(2);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitRendered(0));
    source.lock->setChecked(true);
    window->OnCommand(CRXPreviewWnd::kLockId);
    ASSERT_EQ(source.watermark.referenceWidth, 10);
    window->UpdateLockVisibility(true);
    window->close();
    window.reset();
    ASSERT_FALSE(source.lock.isNull()) << "the window deleted the panel's lock";
    EXPECT_EQ(source.lock->parentWidget(), nullptr);
    EXPECT_FALSE(source.lock->isVisible());
    EXPECT_TRUE(source.lock->isChecked());

    ASSERT_TRUE(Open());
    EXPECT_EQ(window->ProportionsLock(), source.lock.data());
    EXPECT_EQ(source.lock->parentWidget(), window.get());
    EXPECT_TRUE(source.lock->isChecked());
    EXPECT_FALSE(source.lock->isVisible()) << "hidden until the main window shows it";
    // Its clicks reach the new window.
    QTest::mouseClick(source.lock, Qt::LeftButton, {}, source.lock->rect().center());
    EXPECT_EQ(source.watermark.referenceWidth, 0);

    // A source without a lock gives a window without one.
    window.reset();
    delete source.lock.data();
    ASSERT_TRUE(Open());
    EXPECT_EQ(window->ProportionsLock(), nullptr);
    window->UpdateLockVisibility(true);
    window->OnCommand(CRXPreviewWnd::kLockId);
    EXPECT_EQ(source.watermark.referenceWidth, 0);
}

TEST_F(PreviewWindowTest, MovingTheWatermarkRendersAgainWithoutRescalingThePicture) {
    rxtest::TempDir dir;
    rxtest::ImageSpec spec;
    spec.width = 400;
    spec.height = 300;
    spec.pattern = false;
    rxtest::WriteFile(dir / "photo.jpg", rxtest::MakeImage(OutputFormat::Jpeg, spec));
    source.files = std::make_shared<std::vector<FileEntry>>(
        std::vector<FileEntry>{{dir.path(), dir / "photo.jpg"}});
    ResizeOp resize;
    resize.mode = ResizeOp::Width;
    resize.width = 200;
    source.watermark.text = L"MMMM";
    source.watermark.fontSize = 40;
    source.watermark.fontColor = 0x0000FF; // red
    source.operations = {&source.watermark, &resize};

    const std::uint64_t rescales = ResizeOp::RescaleCount();
    // The renderer's own rendering, as the program has it.
    ASSERT_TRUE(Open(PreviewRenderer::RenderFunction{}));
    ASSERT_TRUE(WaitRendered(0));
    EXPECT_EQ(window->ImageSize(), QSize(200, 150));
    EXPECT_EQ(ResizeOp::RescaleCount(), rescales + 1);
    const QImage before = window->ShownImage().convertToFormat(QImage::Format_RGB32);

    // The watermark goes from the top-left corner to the bottom-right one.
    source.watermark.positionX = 1.0f;
    source.watermark.positionY = 1.0f;
    int done = window->Deliveries();
    window->Post(PreviewStep::Current);
    ASSERT_TRUE(WaitRendered(done));
    EXPECT_EQ(window->Deliveries(), done + 1);
    EXPECT_EQ(ResizeOp::RescaleCount(), rescales + 1) << "the move rescaled the picture again";
    const QImage after = window->ShownImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(after.size(), QSize(200, 150));
    EXPECT_GT(Differing(before, after, QPoint(20, 15), 10), 40) << "the text left the corner";
    EXPECT_GT(Differing(before, after, QPoint(180, 135), 10), 40) << "the text came here";

    // Another size is rescaled.
    resize.width = 100;
    done = window->Deliveries();
    window->Post(PreviewStep::Current);
    ASSERT_TRUE(WaitRendered(done));
    EXPECT_EQ(window->ImageSize(), QSize(100, 75));
    EXPECT_EQ(ResizeOp::RescaleCount(), rescales + 2);
}

TEST_F(PreviewWindowTest, APictureLargerThanTheScreenIsDecodedOnceAtTheScreensSize) {
    const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
    rxtest::TempDir dir;
    rxtest::ImageSpec spec;
    spec.width = screen.width() * 3;
    spec.height = screen.width() * 2;
    spec.pattern = false;
    rxtest::WriteFile(dir / "photo.jpg", rxtest::MakeImage(rx::OutputFormat::Jpeg, spec));
    source.files = std::make_shared<std::vector<FileEntry>>(
        std::vector<FileEntry>{{dir.path(), dir / "photo.jpg"}});
    source.watermark.text = L"MMMM";
    source.watermark.fontSize = static_cast<std::uint32_t>(screen.width() / 2);
    source.watermark.fontColor = 0x0000FF; // red
    source.operations = {&source.watermark};

    const std::uint64_t decodes = PreviewPipeline::ReducedDecodes();
    ASSERT_TRUE(Open(PreviewRenderer::RenderFunction{}));
    ASSERT_TRUE(WaitRendered(0));
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 1);
    EXPECT_EQ(window->ImageSize(), QSize(spec.width, spec.height)) << "the size label's";
    const QImage before = window->ShownImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(before.size(), PreviewRenderer::ScreenSize(spec.width, spec.height, screen));

    source.watermark.positionX = 1.0f;
    source.watermark.positionY = 1.0f;
    const int done = window->Deliveries();
    window->Post(PreviewStep::Current);
    ASSERT_TRUE(WaitRendered(done));
    EXPECT_EQ(PreviewPipeline::ReducedDecodes(), decodes + 1) << "the move decoded again";
    const QImage after = window->ShownImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(after.size(), before.size());
    // Inside the text's box, a sixth of the picture wide and a twelfth high, in each corner.
    const QPoint topLeft(before.width() / 6, before.height() / 16);
    const QPoint bottomRight(before.width() - topLeft.x(), before.height() - topLeft.y());
    const int half = before.height() / 24;
    EXPECT_GT(Differing(before, after, topLeft, half), half * half) << "the text left the corner";
    EXPECT_GT(Differing(before, after, bottomRight, half), half * half) << "the text came here";
}

TEST_F(PreviewWindowTest, TheBordersResizeTheBandMovesTheRestIsClient) {
    using A = CRXPreviewWnd::Area;
    const QSize c(400, 300);
    EXPECT_EQ(CRXPreviewWnd::HitTest({2, 2}, c), A::TopLeft);
    EXPECT_EQ(CRXPreviewWnd::HitTest({2, 150}, c), A::Left);
    EXPECT_EQ(CRXPreviewWnd::HitTest({2, 297}, c), A::BottomLeft);
    EXPECT_EQ(CRXPreviewWnd::HitTest({398, 4}, c), A::TopRight);
    EXPECT_EQ(CRXPreviewWnd::HitTest({398, 150}, c), A::Right);
    EXPECT_EQ(CRXPreviewWnd::HitTest({398, 296}, c), A::BottomRight);
    EXPECT_EQ(CRXPreviewWnd::HitTest({200, 4}, c), A::Top);
    EXPECT_EQ(CRXPreviewWnd::HitTest({200, 296}, c), A::Bottom);
    EXPECT_EQ(CRXPreviewWnd::HitTest({200, 5}, c), A::Caption);
    EXPECT_EQ(CRXPreviewWnd::HitTest({200, 31}, c), A::Caption);
    EXPECT_EQ(CRXPreviewWnd::HitTest({200, 32}, c), A::Client);
    EXPECT_EQ(CRXPreviewWnd::HitTest({5, 150}, c), A::Client);
    EXPECT_EQ(CRXPreviewWnd::HitTest({394, 150}, c), A::Client);
}

TEST_F(PreviewWindowTest, DraggingTheBandMovesTheWindowAndTheBordersResizeItDownToTheMinimum) {
    using A = CRXPreviewWnd::Area;
    const QRect start(100, 100, 500, 400);
    const QSize minimum(320, 200);
    EXPECT_EQ(CRXPreviewWnd::DraggedRect(start, A::Caption, {-30, 40}, minimum),
              QRect(70, 140, 500, 400));
    EXPECT_EQ(CRXPreviewWnd::DraggedRect(start, A::Right, {50, 99}, minimum),
              QRect(100, 100, 550, 400));
    EXPECT_EQ(CRXPreviewWnd::DraggedRect(start, A::Left, {-20, 0}, minimum),
              QRect(80, 100, 520, 400));
    // Held at the minimum, the opposite edges in place.
    EXPECT_EQ(CRXPreviewWnd::DraggedRect(start, A::BottomRight, {-400, -400}, minimum),
              QRect(100, 100, 320, 200));
    EXPECT_EQ(CRXPreviewWnd::DraggedRect(start, A::TopLeft, {400, 400}, minimum),
              QRect(280, 300, 320, 200));
    EXPECT_EQ(CRXPreviewWnd::DraggedRect(start, A::TopRight, {10, -10}, minimum),
              QRect(100, 90, 510, 410));
    EXPECT_EQ(CRXPreviewWnd::DraggedRect(start, A::BottomLeft, {10, 10}, minimum),
              QRect(110, 100, 490, 410));

    // With the mouse, on a platform that leaves moving and resizing to the window.
    source.SetFiles(1);
    ASSERT_TRUE(Open());
    window->setGeometry(start);
    const auto drag = [this](QPoint local, QPoint delta) {
        const QPoint global = window->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(local), QPointF(global), Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &press);
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = global + delta * step / 4;
            QMouseEvent move(QEvent::MouseMove, QPointF(window->mapFromGlobal(at)), QPointF(at),
                             Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(window.get(), &move);
        }
        const QPoint end = global + delta;
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(window->mapFromGlobal(end)),
                            QPointF(end), Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(window.get(), &release);
    };
    drag({200, 16}, {-60, 30}); // the band, between the buttons
    EXPECT_EQ(window->geometry(), QRect(40, 130, 500, 400));
    drag({498, 200}, {-400, 0}); // the right border, far past the minimum
    EXPECT_EQ(window->geometry(), QRect(40, 130, 320, 400));
    drag({160, 398}, {0, -300}); // the bottom border
    EXPECT_EQ(window->geometry(), QRect(40, 130, 320, 200));
    drag({1, 1}, {-20, -10}); // the top-left corner
    EXPECT_EQ(window->geometry(), QRect(20, 120, 340, 210));
    // A press in the image area moves nothing.
    drag({170, 120}, {50, 50});
    EXPECT_EQ(window->geometry(), QRect(20, 120, 340, 210));
    // The close button follows the right edge: (width - 12 - 10, 10).
    const auto buttons = window->findChildren<CSimpleImageButton*>();
    EXPECT_TRUE(std::any_of(buttons.begin(), buttons.end(), [](const CSimpleImageButton* b) {
        return b->pos() == QPoint(340 - 12 - 10, 10) && b->isVisible();
    }));
}

TEST_F(PreviewWindowTest, FitShowsTheImageAtOneToOneOrAsLargeAsTheWorkAreaAllows) {
    const QRect work(0, 0, 1280, 1000);
    // Fits: 1:1 plus the frame, moved up just enough to stay inside.
    EXPECT_EQ(CRXPreviewWnd::FitRect({900, 900, 350, 300}, {300, 200}, work),
              QRect(900, 758, 310, 242));
    // Too wide: the width of the work area, the height by the proportions.
    EXPECT_EQ(CRXPreviewWnd::FitRect({50, 60, 350, 300}, {2000, 1000}, work),
              QRect(0, 60, 1280, 677));
    // Too tall: the height of the work area.
    EXPECT_EQ(CRXPreviewWnd::FitRect({50, 60, 350, 300}, {1000, 2000}, work),
              QRect(50, 0, 489, 1000));
    // A work area not at the origin.
    EXPECT_EQ(CRXPreviewWnd::FitRect({1500, 10, 350, 300}, {100, 100}, QRect(1280, 0, 1024, 768)),
              QRect(1500, 10, 110, 142));

    source.SetFiles(1);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(WaitRendered(0));
    window->OnCommand(CRXPreviewWnd::kFitId);
    EXPECT_EQ(window->size(), QSize(320, 200)) << "a 10 x 10 result fits, held at the minimum";
}

TEST_F(PreviewWindowTest, OpenAndCloseWhileRendersRunNeverHangsNorDeliversLate) {
    source.SetFiles(3);
    int late = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(Open(&Numbered, true));
        window->Post(PreviewStep::Next);
        if (round % 3 == 0)
            QCoreApplication::processEvents();
        window->close();
        // Closed but not yet deleted, as after the main window's deleteLater: renders that were
        // running must not reach it.
        const int delivered = window->Deliveries();
        if (round % 2 == 0)
            QTest::qWait(1);
        QCoreApplication::processEvents();
        late += window->Deliveries() - delivered;
        window.reset();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(source.closed, 200);
    EXPECT_EQ(late, 0);
}

TEST_F(PreviewWindowTest, ClosingOrDeletingWhileRealRendersRunOrDeliverNeverHangsNorDeliversLate) {
    // Real renders: small photos, decoded and watermarked by the renderer's own pipeline.
    rxtest::TempDir dir;
    rxtest::ImageSpec spec;
    spec.width = 320;
    spec.height = 240;
    auto files = std::make_shared<std::vector<FileEntry>>();
    for (int i = 0; i < 3; ++i) {
        const fs::path file = dir / ("photo" + std::to_string(i) + ".jpg");
        rxtest::WriteFile(file, rxtest::MakeImage(OutputFormat::Jpeg, spec));
        files->push_back({dir.path(), file});
    }
    source.files = files;
    source.watermark.text = L"Preview";
    source.watermark.fontSize = 48;
    source.operations = {&source.watermark};
    // Until the renderer has run `n` renders to their end; events are not processed meanwhile,
    // so their results are still on their way to the window.
    const auto waitRendered = [this](long n) {
        for (int i = 0; i < 20000 && window->Renderer()->completed() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return window->Renderer()->completed() >= n;
    };

    int late = 0, closedRounds = 0;
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(Open(PreviewRenderer::RenderFunction{}, true));
        const int phase = round % 4;
        if (phase == 0) {
            // Closed while a render runs (or has just begun).
            window->Post(PreviewStep::Next);
        } else if (phase == 1 || phase == 3) {
            // Closed (or deleted) while the finished render's result is being delivered.
            ASSERT_TRUE(waitRendered(1)) << round;
            ASSERT_EQ(window->Deliveries(), 0);
        } else {
            // One result shown, then closed while the next is asked for.
            ASSERT_TRUE(WaitRendered(0)) << round;
            window->Post(PreviewStep::Previous);
        }
        if (phase == 3) {
            // Deleted without being closed first: the renderer stops with the window.
            window.reset();
            QCoreApplication::processEvents();
            continue;
        }
        const int delivered = window->Deliveries();
        window->close();
        ++closedRounds;
        QCoreApplication::processEvents();
        late += window->Deliveries() - delivered;
        window.reset();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(source.closed, closedRounds);
    EXPECT_EQ(late, 0);
}

} // namespace
