// The preview window offscreen: placement, stepping, the spinner driven by timer events, the
// size label, the display scaling, the lock, fitting, hit-testing and open/close rounds.
#include "app/CRXPreviewWnd.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTest>
#include <QTimerEvent>

#include <condition_variable>
#include <mutex>

#include "ops/WatermarkOp.h"
#include "settings/SettingsStore.h"
#include "tests/support/SettingsLocation.h"
#include "tests/ui/QtTestApp.h"

using namespace rx;

namespace {

class FakeSource : public PreviewSource {
public:
    void SetFiles(int n) {
        auto list = std::make_shared<std::vector<FileEntry>>();
        for (int i = 0; i < n; ++i)
            list->push_back({"base", std::to_string(i)});
        files = list;
    }
    PreviewFiles PreviewFileList() override { return files; }
    OperationSnapshot PreviewOperations() override { return OperationSnapshot(); }
    WatermarkOp* PreviewWatermark() override { return &watermark; }
    void PreviewClosed() override { ++closed; }

    PreviewFiles files = std::make_shared<std::vector<FileEntry>>();
    WatermarkOp watermark;
    int closed = 0;
};

// Opens and closes for a render function that is waiting.
class Gate {
public:
    void Pass() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return open_; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_);
        open_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = false;
};

// A 10 x 10 image whose red level is the entry's number, or the given size.
std::unique_ptr<Bitmap> Numbered(const FileEntry& entry, const OperationList&) {
    QImage image(10, 10, QImage::Format_RGB888);
    image.fill(QColor(std::stoi(entry.file.string()), 0, 0));
    return Bitmap::FromImage(image);
}

class PreviewWindowTest : public ::testing::Test {
protected:
    // Opens the window; the spinner's real timer is kept quiet unless asked.
    bool Open(PreviewRenderer::RenderFunction render = &Numbered, bool quietSpinner = true) {
        window = std::make_unique<CRXPreviewWnd>(*settings, source, std::move(render));
        if (quietSpinner)
            window->SetSpinnerPeriod(3600 * 1000);
        return window->Create();
    }
    // Waits until the window holds a result of a render that ended after `done` earlier ones.
    bool WaitRendered(long done) {
        return QTest::qWaitFor(
            [&] {
                return window->Renderer().completed() > done && !window->SpinnerTimer() &&
                       !window->IsBusy() && window->ImageSize() != QSize();
            },
            20000);
    }
    bool WaitIdle() {
        return QTest::qWaitFor([&] { return window->SpinnerTimer() <= 0; }, 20000);
    }
    void Tick() {
        QTimerEvent tick(window->SpinnerTimer());
        QApplication::sendEvent(window.get(), &tick);
    }

    TestAppGuard app_;
    rxtest::SettingsLocation where_;
    std::unique_ptr<SettingsStore> settings = std::make_unique<SettingsStore>("rexmill");
    FakeSource source;
    std::unique_ptr<CRXPreviewWnd> window;
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
        const long done = window->Renderer().completed();
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
        const long done = window->Renderer().completed();
        QTest::mouseClick(step.button, Qt::LeftButton, {}, step.button->rect().center());
        ASSERT_TRUE(WaitRendered(done));
        EXPECT_EQ(window->CounterText(), step.counter);
    }
    // The file rendered is the one counted.
    EXPECT_EQ(qRed(window->ShownImage().pixel(0, 0)), 1);
}

TEST_F(PreviewWindowTest, TheSpinnerShowsOnlyWhenARenderOutlastsOneTick) {
    source.SetFiles(1);
    auto gate = std::make_shared<Gate>();
    ASSERT_TRUE(Open([&gate](const FileEntry& e, const OperationList& ops) {
        std::shared_ptr<Gate> g = gate;
        g->Pass();
        return Numbered(e, ops);
    }));
    // A short render: the result arrives before the first tick; no spinner ever shows.
    EXPECT_GT(window->SpinnerTimer(), 0);
    gate->Open();
    ASSERT_TRUE(WaitRendered(0));
    EXPECT_FALSE(window->IsBusy());
    EXPECT_LE(window->SpinnerTimer(), 0);

    // A long render: from the first tick (100 ms) on, at 0, then 30 and 60 degrees.
    gate = std::make_shared<Gate>();
    window->Post(PreviewStep::Current);
    ASSERT_GT(window->SpinnerTimer(), 0);
    const QImage before = window->grab().toImage();
    Tick();
    EXPECT_TRUE(window->IsBusy());
    EXPECT_EQ(window->SpinnerAngle(), 0);
    const QImage spinning = window->grab().toImage();
    const QPoint centre(window->width() / 2, 32 + (window->height() - 32) / 2);
    int changed = 0;
    for (int dy = -25; dy <= 25; ++dy)
        for (int dx = -25; dx <= 25; ++dx)
            changed +=
                before.pixel(centre + QPoint(dx, dy)) != spinning.pixel(centre + QPoint(dx, dy));
    EXPECT_GT(changed, 50) << "the spinner is drawn in the middle of the image area";
    Tick();
    EXPECT_EQ(window->SpinnerAngle(), 30);
    Tick();
    EXPECT_EQ(window->SpinnerAngle(), 60);
    gate->Open();
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(window->IsBusy());
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
    const long done = window->Renderer().completed();
    window->Post(PreviewStep::Current);
    ASSERT_TRUE(WaitRendered(done));
    EXPECT_EQ(window->ScaleCount(), scaled + 2);
}

TEST_F(PreviewWindowTest, TheProportionsLockSetsTheWatermarksReferenceSize) {
    source.SetFiles(2);
    source.watermark.referenceWidth = 5;
    source.watermark.referenceHeight = 7;
    ASSERT_TRUE(Open());
    EXPECT_TRUE(window->ProportionsLock().isChecked()) << "saved proportions show as locked";
    EXPECT_FALSE(window->ProportionsLock().isVisible());
    window->UpdateLockVisibility(true);
    EXPECT_EQ(window->ProportionsLock().toolTip(), "Save watermark proportions");
    ASSERT_TRUE(WaitRendered(0));
    window->ProportionsLock().setChecked(false);
    long done = window->Renderer().completed();
    window->OnCommand(CRXPreviewWnd::kLockId);
    EXPECT_EQ(source.watermark.referenceWidth, 0);
    EXPECT_EQ(source.watermark.referenceHeight, 0);
    ASSERT_TRUE(WaitRendered(done)) << "the lock renders again";
    window->ProportionsLock().setChecked(true);
    window->OnCommand(CRXPreviewWnd::kLockId);
    EXPECT_EQ(source.watermark.referenceWidth, 10);
    EXPECT_EQ(source.watermark.referenceHeight, 10);
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
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(Open(&Numbered, false));
        window->Post(PreviewStep::Next);
        if (round % 3 == 0)
            QCoreApplication::processEvents();
        window->close();
        window.reset();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(source.closed, 200);
}

} // namespace
