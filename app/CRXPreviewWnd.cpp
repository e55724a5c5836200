#include "app/CRXPreviewWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include <vector>

#include "ops/WatermarkOp.h"
#include "settings/SettingsStore.h"
#include "ui/SkinResources.h"
#include "ui/TextPainter.h"

namespace rx {
namespace {
constexpr QRgb kImageAreaColour = 0xFF444347;
constexpr QRgb kTitleTextColour = 0xFFFFFFFF;
constexpr int kSwShowMinimized = 2;
constexpr int kSwShowMaximized = 3;
constexpr int kSwShowNormal = 1;

// The virtual screen's size, read on the window's thread for the renderer.
QSize VirtualScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualSize() : QSize();
}

Qt::Edges EdgesOf(CRXPreviewWnd::Area area) {
    using A = CRXPreviewWnd::Area;
    switch (area) {
    case A::Left:
        return Qt::LeftEdge;
    case A::Right:
        return Qt::RightEdge;
    case A::Top:
        return Qt::TopEdge;
    case A::Bottom:
        return Qt::BottomEdge;
    case A::TopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case A::TopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case A::BottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case A::BottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    default:
        return {};
    }
}

Qt::CursorShape CursorOf(CRXPreviewWnd::Area area) {
    using A = CRXPreviewWnd::Area;
    switch (area) {
    case A::Left:
    case A::Right:
        return Qt::SizeHorCursor;
    case A::Top:
    case A::Bottom:
        return Qt::SizeVerCursor;
    case A::TopLeft:
    case A::BottomRight:
        return Qt::SizeFDiagCursor;
    case A::TopRight:
    case A::BottomLeft:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}
} // namespace

CRXPreviewWnd::Area CRXPreviewWnd::HitTest(const QPoint& p, const QSize& client, int i) {
    const int w = client.width(), h = client.height();
    if (p.x() < kBorder)
        return p.y() <= 4 ? Area::TopLeft : p.y() > h - kBorder ? Area::BottomLeft : Area::Left;
    if (p.x() > w - kBorder)
        return p.y() <= 4 ? Area::TopRight : p.y() > h - kBorder ? Area::BottomRight : Area::Right;
    if (p.y() < kBorder)
        return Area::Top;
    if (p.y() > h - kBorder)
        return Area::Bottom;
    if (p.x() >= i && p.x() < w - i && p.y() >= i && p.y() < i + kTitleHeight)
        return Area::Caption;
    return Area::Client;
}

QRect CRXPreviewWnd::DraggedRect(const QRect& start, Area area, const QPoint& delta,
                                 const QSize& minimum) {
    if (area == Area::Caption)
        return start.translated(delta);
    int left = start.left(), top = start.top();
    int right = left + start.width(), bottom = top + start.height();
    const bool l = area == Area::Left || area == Area::TopLeft || area == Area::BottomLeft;
    const bool r = area == Area::Right || area == Area::TopRight || area == Area::BottomRight;
    const bool t = area == Area::Top || area == Area::TopLeft || area == Area::TopRight;
    const bool b = area == Area::Bottom || area == Area::BottomLeft || area == Area::BottomRight;
    if (l)
        left = std::min(left + delta.x(), right - minimum.width());
    if (r)
        right = std::max(right + delta.x(), left + minimum.width());
    if (t)
        top = std::min(top + delta.y(), bottom - minimum.height());
    if (b)
        bottom = std::max(bottom + delta.y(), top + minimum.height());
    return QRect(left, top, right - left, bottom - top);
}

QRect CRXPreviewWnd::FitRect(const QRect& window, const QSize& image, const QRect& work) {
    if (image.isEmpty())
        return window;
    long long w = image.width(), h = image.height();
    if (w + 10 > work.width()) {
        w = work.width() - 10;
        h = static_cast<long long>(image.height()) * w / image.width();
    }
    if (h + 42 > work.height()) {
        h = work.height() - 42;
        w = static_cast<long long>(image.width()) * h / image.height();
    }
    const int width = static_cast<int>(w) + 10, height = static_cast<int>(h) + 42;
    const int workRight = work.x() + work.width(), workBottom = work.y() + work.height();
    const int left = std::min(window.x(), std::max(work.x(), workRight - width));
    const int top = std::min(window.y(), std::max(work.y(), workBottom - height));
    return QRect(left, top, width, height);
}

CRXPreviewWnd::CRXPreviewWnd(SettingsStore& settings, PreviewSource& source,
                             PreviewRenderer::RenderFunction render, RenderPriority priority)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), settings_(settings), source_(source),
      spinner_(std::make_unique<QtPreviewTimer>()),
      renderer_(std::make_unique<PreviewRenderer>(
          [this](const PreviewResult& result) { OnRendered(result); }, std::move(render),
          priority)) {
    setWindowTitle(QStringLiteral("Preview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(kMinimumSize);
    setFocusPolicy(Qt::StrongFocus);
}

CRXPreviewWnd::~CRXPreviewWnd() {
    spinner_->Stop();
    busy_ = false;
    // The renderer's thread ends before anything its results would reach goes.
    renderer_.reset();
    // The lock's window goes with this one; the check box stays with its panel.
    if (lock_) {
        lock_->disconnect(this);
        lock_->hide();
        lock_->setParent(nullptr);
    }
}

void CRXPreviewWnd::SetSpinnerTimer(std::unique_ptr<PreviewTimer> timer) {
    if (!timer)
        return;
    spinner_->Stop();
    spinner_ = std::move(timer);
}

bool CRXPreviewWnd::Create() {
    setWindowIcon(LoadAppIcon());
    if (!LoadPngResource(QStringLiteral("PREVIEWTOP"), title_) ||
        !LoadPngResource(QStringLiteral("PRPROGRESS"), spinnerImage_))
        return false;
    if (!prev_.CreateSimpleImageButton(QString(), this, QPoint(5, 5), QStringLiteral("PREV"), false,
                                       kPrevId) ||
        !next_.CreateSimpleImageButton(QString(), this, QPoint(5 + prev_.width(), 5),
                                       QStringLiteral("NEXT"), false, kNextId))
        return false;
    lock_ = source_.PreviewLock();
    if (lock_) {
        if (!lock_->CreateImageCheckbox(this, QPoint(5 + prev_.width() + next_.width() + 6, 11),
                                        QStringLiteral("LOCK"), kLockId))
            return false;
        lock_->setToolTip(kLockTip);
        const WatermarkOp* watermark = source_.PreviewWatermark();
        lock_->setChecked(watermark && watermark->referenceWidth != 0 &&
                          watermark->referenceHeight != 0);
        lock_->hide();
    }
    if (!close_.CreateSimpleImageButton(QString(), this, QPoint(0, 10), QStringLiteral("PRCLOSE"),
                                        true, kCloseId) ||
        !fit_.CreateSimpleImageButton(QString(), this, QPoint(0, 10), QStringLiteral("PRMIN"), true,
                                      kFitId))
        return false;
    std::vector<CommandButton*> buttons = {&prev_, &next_, &close_, &fit_};
    if (lock_)
        buttons.push_back(lock_);
    for (CommandButton* b : buttons) {
        // The arrow keys belong to the window.
        b->setFocusPolicy(Qt::NoFocus);
        QObject::connect(b, &CommandButton::Command, this, [this](int id) { OnCommand(id); });
    }

    const std::optional<WindowPlacement> placement = settings_.previewPlacement();
    QRect rect = kDefaultRect;
    if (placement && placement->right > placement->left && placement->bottom > placement->top)
        rect = QRect(placement->left, placement->top, placement->right - placement->left,
                     placement->bottom - placement->top);
    setGeometry(rect);
    if (placement && placement->showCmd == kSwShowMaximized)
        showMaximized();
    else
        show();
    LayoutTitle();
    UpdateRegion();
    update();
    Post(PreviewStep::Current);
    return true;
}

void CRXPreviewWnd::Refresh() {
    const PreviewFiles files = source_.PreviewFileList();
    const bool several = files && files->size() >= 2;
    prev_.setVisible(several);
    next_.setVisible(several);
    Post(PreviewStep::Current);
}

void CRXPreviewWnd::Post(PreviewStep step) {
    if (!renderer_)
        return;
    PreviewFiles files = source_.PreviewFileList();
    if (!files || files->empty())
        return;
    spinner_->Start(kSpinnerTimerId, kSpinnerPeriodMs, [this](int id) { OnTimer(id); });
    renderer_->Request(step, std::move(files), source_.PreviewOperations(), VirtualScreenSize());
}

void CRXPreviewWnd::UpdateLockVisibility(bool visible) {
    if (lock_)
        lock_->setVisible(visible);
}

void CRXPreviewWnd::OnCommand(int id) {
    switch (id) {
    case kPrevId:
        Post(PreviewStep::Previous);
        break;
    case kNextId:
        Post(PreviewStep::Next);
        break;
    case kLockId:
        if (WatermarkOp* watermark = source_.PreviewWatermark()) {
            const bool locked = lock_ && lock_->isChecked();
            watermark->referenceWidth = locked ? imageWidth_ : 0;
            watermark->referenceHeight = locked ? imageHeight_ : 0;
        }
        Post(PreviewStep::Current);
        break;
    case kFitId: {
        if (shown_.isNull())
            break;
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QRect work =
            screen ? screen->availableGeometry() : QRect(QPoint(), VirtualScreenSize());
        const QRect target = FitRect(geometry(), shown_.size(), work);
        showNormal();
        setGeometry(target);
        break;
    }
    case kCloseId:
        close();
        break;
    default:
        break;
    }
}

void CRXPreviewWnd::OnRendered(const PreviewResult& result) {
    ++deliveries_;
    if (closed_)
        return;
    spinner_->Stop();
    imageWidth_ = result.width;
    imageHeight_ = result.height;
    index_ = result.index;
    count_ = result.count;
    shown_ = result.image;
    scaledFor_ = QSize();
    busy_ = false;
    RescaleShown();
    update();
}

void CRXPreviewWnd::OnTimer(int id) {
    if (id != kSpinnerTimerId)
        return;
    if (busy_) {
        angle_ += 30;
    } else {
        angle_ = 0;
        busy_ = true;
    }
    update(SpinnerRect());
}

QString CRXPreviewWnd::CounterText() const {
    return QStringLiteral("%1 of %2").arg(index_ + 1).arg(count_);
}

QString CRXPreviewWnd::SizeText() const {
    if (imageWidth_ == 0 || imageHeight_ == 0)
        return QString();
    return QStringLiteral("%1 x %2").arg(imageWidth_).arg(imageHeight_);
}

int CRXPreviewWnd::Inset() const {
    // The frameless window's client area is the whole window in every state here.
    return 0;
}

void CRXPreviewWnd::LayoutTitle() {
    const int cx = width(), i = Inset();
    close_.move(cx - close_.width() - 10, i + 10);
    fit_.move(cx - close_.width() - fit_.width() - 15, i + 10);
    prev_.move(i + 5, i + 5);
    next_.move(i + 5 + prev_.width(), i + 5);
    if (lock_)
        lock_->move(i + 5 + prev_.width() + next_.width() + 6, i + 11);
}

void CRXPreviewWnd::UpdateRegion() {
    if (isMaximized() || isFullScreen()) {
        clearMask();
        return;
    }
    // Corners rounded by an ellipse of 3 x 3: one pixel off each corner.
    const int w = width(), h = height();
    QRegion region(0, 0, w, h);
    for (const QPoint& c : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        region -= QRegion(c.x(), c.y(), 1, 1);
    setMask(region);
}

QRect CRXPreviewWnd::ImageArea() const {
    const int i = Inset();
    return QRect(QPoint(i, i + kTitleHeight), QPoint(width() - i - 1, height() - i - 1));
}

QRect CRXPreviewWnd::SpinnerRect() const {
    QRect r(QPoint(), spinnerImage_.size());
    r.moveCenter(rect().center());
    return r.adjusted(-20, -20, 20, 20);
}

void CRXPreviewWnd::RescaleShown() {
    if (shown_.isNull()) {
        scaled_ = QImage();
        scaledFor_ = QSize();
        return;
    }
    const QSize box = ImageArea().adjusted(5, 5, -5, -5).size();
    QSize target = shown_.size();
    if (target.width() >= box.width() || target.height() >= box.height())
        target = shown_.size().scaled(box.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
    target = target.expandedTo(QSize(1, 1));
    if (target == scaledFor_ && !scaled_.isNull())
        return;
    scaled_ = target == shown_.size()
                  ? shown_
                  : shown_.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaledFor_ = target;
    ++scaleCount_;
}

void CRXPreviewWnd::paintEvent(QPaintEvent*) {
    QPainter g(this);
    const int i = Inset(), w = width();
    const QRect band(i, i, w - 2 * i, kTitleHeight);
    DrawImageIn(g, title_, band);

    TextPainter counter(kTitleTextColour);
    counter.SetFamilyName(QApplication::font().family());
    counter.Draw(g, CounterText(), 20, band);
    const QString size = SizeText();
    if (!size.isEmpty()) {
        TextPainter sizeText(kTitleTextColour);
        sizeText.SetFamilyName(QApplication::font().family());
        sizeText.SetHorizontalAlignment(StringAlignment::Far);
        sizeText.Draw(g, size, 12,
                      TextPainter::FromEdges(i, i + 2, fit_.x() - 5, i + kTitleHeight));
    }

    const QRect area = ImageArea();
    g.fillRect(area, QColor::fromRgba(kImageAreaColour));
    if (!scaled_.isNull()) {
        const QRect box = area.adjusted(5, 5, -5, -5);
        QRect target(QPoint(), scaled_.size());
        target.moveCenter(box.center());
        g.drawImage(target.topLeft(), scaled_);
    }
    if (busy_) {
        g.setRenderHint(QPainter::SmoothPixmapTransform);
        g.translate(area.x() + area.width() / 2, area.y() + area.height() / 2);
        g.rotate(angle_);
        g.drawImage(QPoint(-spinnerImage_.width() / 2, -spinnerImage_.height() / 2), spinnerImage_);
    }
}

void CRXPreviewWnd::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    LayoutTitle();
    UpdateRegion();
    RescaleShown();
}

void CRXPreviewWnd::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) {
        UpdateRegion();
        if (!isMinimized())
            source_.PreviewRestored();
    }
}

void CRXPreviewWnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Left)
        Post(PreviewStep::Previous);
    else if (e->key() == Qt::Key_Right)
        Post(PreviewStep::Next);
    QWidget::keyPressEvent(e);
}

void CRXPreviewWnd::mousePressEvent(QMouseEvent* e) {
    drag_.reset();
    if (e->button() != Qt::LeftButton || !windowHandle())
        return QWidget::mousePressEvent(e);
    const Area area = HitTest(e->position().toPoint(), size(), Inset());
    bool system = true;
    if (area == Area::Caption)
        system = windowHandle()->startSystemMove();
    else if (area != Area::Client)
        system = windowHandle()->startSystemResize(EdgesOf(area));
    if (!system && !isMaximized())
        drag_ = Drag{area, e->globalPosition().toPoint(), geometry()};
    QWidget::mousePressEvent(e);
}

void CRXPreviewWnd::mouseMoveEvent(QMouseEvent* e) {
    if (drag_ && (e->buttons() & Qt::LeftButton))
        setGeometry(DraggedRect(drag_->geometry, drag_->area,
                                e->globalPosition().toPoint() - drag_->start, minimumSize()));
    else if (e->buttons() == Qt::NoButton)
        setCursor(CursorOf(HitTest(e->position().toPoint(), size(), Inset())));
    QWidget::mouseMoveEvent(e);
}

void CRXPreviewWnd::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        drag_.reset();
    QWidget::mouseReleaseEvent(e);
}

void CRXPreviewWnd::StorePlacement() {
    WindowPlacement p;
    p.showCmd = isMaximized() ? kSwShowMaximized : isMinimized() ? kSwShowMinimized : kSwShowNormal;
    const QRect normal = p.showCmd == kSwShowNormal ? geometry() : normalGeometry();
    p.left = normal.x();
    p.top = normal.y();
    p.right = normal.x() + normal.width();
    p.bottom = normal.y() + normal.height();
    settings_.setPreviewPlacement(p);
}

void CRXPreviewWnd::closeEvent(QCloseEvent* e) {
    if (!closed_) {
        closed_ = true;
        StorePlacement();
        spinner_->Stop();
        busy_ = false;
        // Waits for a running render to reach its next interruption point; what it would have
        // delivered is dropped with the renderer.
        renderer_.reset();
        source_.PreviewClosed();
    }
    e->accept();
}

} // namespace rx
