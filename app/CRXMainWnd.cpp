#include "app/CRXMainWnd.h"

#include "app/CAboutDlg.h"
#include "app/CRXMainWndParts.h"
#include "app/UpdateComponent.h"
#include "settings/SettingsStore.h"
#include "ui/InterfaceFonts.h"
#include "ui/PrivateFontCollection.h"
#include "ui/SkinResources.h"
#include "ui/TextPainter.h"
#include "ui/UiHooks.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QWindow>

namespace rx {

namespace {

const char kTitle[] = "Rexmill";
const char kDropHere[] = "Drop images here";
const char kFilesAdded[] = "%1 files added";
const char kFilesOf[] = "%1 of %2 files";
const char kProcessing[] = "Processing%1";
const char kSuccess[] = "Success! %1 files processed.";
const char kShowInFolder[] = "Show in Folder";
const char kPreviewTip[] = "Preview";

// The fixed part of the window is 260 px high; the panels are stacked from y 252 down.
constexpr int kFixedHeight = 260;
constexpr int kRightEdge = 375;
constexpr int kButtonGap = 10;

// The rectangle (0, y - s, 395, y + s) in which lettering of size s is centred at y.
QRectF Centred(int y, int size) {
    return TextPainter::FromEdges(0, y - size, CRXMainWnd::kWidth, y + size);
}

} // namespace

CRXMainWnd::CRXMainWnd(SettingsStore& settings, const PrivateFontCollection* fonts)
    : m_settings(settings), m_fonts(fonts), m_job(&m_panels), m_intake(m_job),
      m_events(std::make_unique<JobEvents>(m_job)) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowIcon(LoadAppIcon());
    setFont(ui::RegularFont());
}

CRXMainWnd::~CRXMainWnd() {
    // The worker reports to this window: a job still running (only when the window goes
    // without being closed, as in tests) is stopped first.
    if (m_job.IsRunning())
        m_job.Cancel();
    // The preset store goes first: it remembers the current preset.
    m_presets.reset();
    delete m_preview;
    m_dropTarget.reset();
}

bool CRXMainWnd::LoadBackground() {
    return LoadPngResource(QStringLiteral("BGTOP"), m_bgTop) &&
           LoadPngResource(QStringLiteral("BGBUTTONS"), m_bgButtons) &&
           LoadPngResource(QStringLiteral("BGCENTER"), m_bgCenter) &&
           LoadPngResource(QStringLiteral("BGBASKET"), m_bgBasket) &&
           LoadPngResource(QStringLiteral("BGBOTTOM"), m_bgBottom);
}

bool CRXMainWnd::Create() {
    InitSkinResources();
    if (!LoadBackground())
        return false;
    const int top = m_bgTop.height();
    const int middle = m_bgBasket.height();
    m_dropZone = QRect(0, top, kWidth, middle);
    if (!CreateControls())
        return false;
    const int blueHeight = m_clear.Up().height();
    const int blueWidth = m_clear.Up().width();
    m_buttonY = top + middle - blueHeight - 20;
    m_rightX = kRightEdge - blueWidth;
    m_leftX = m_rightX - blueWidth - kButtonGap;

    m_job.setListChanged([this](size_t) { UpdateProportionsLock(); });
    QObject::connect(
        m_events.get(), &JobEvents::jobStarted, this,
        [this](unsigned files, unsigned range) { OnJobStarted(int(files), int(range)); });
    QObject::connect(m_events.get(), &JobEvents::progressStep, this,
                     [this](unsigned position) { OnProgressStep(int(position)); });
    QObject::connect(m_events.get(), &JobEvents::fileDone, this,
                     [this](unsigned done) { OnFileDone(int(done)); });
    QObject::connect(
        m_events.get(), &JobEvents::jobFinished, this,
        [this](unsigned saved, const QString& folder) { OnJobFinished(int(saved), folder); });

    // The settings in use when the program last ended.
    m_panels.ApplyPreset(m_settings.workingPreset().toStdWString());
    move(m_settings.mainWindowX(), m_settings.mainWindowY());
    resize(kWidth, kFixedHeight);
    Relayout();

    m_dropTarget = std::make_unique<DropTarget>(*this);
    m_dropTarget->Register(this);
    return true;
}

bool CRXMainWnd::CreateControls() {
    const auto route = [this](CommandButton& b) {
        QObject::connect(&b, &CommandButton::Command, this, [this](int id) { OnCommand(id); });
    };
    if (!m_close.CreateSimpleImageButton(QString(), this, QPoint(370, 12), QStringLiteral("CLOSE"),
                                         true, cmd::Exit) ||
        !m_minimize.CreateSimpleImageButton(QString(), this, QPoint(350, 12),
                                            QStringLiteral("MINIMIZE"), true, cmd::Minimize))
        return false;
    route(m_close);
    route(m_minimize);

    if (!m_panels.CreateAll(this, 12, 221))
        return false;
    QObject::connect(&m_panels, &OperationPanelSet::ToggleClicked, this, [this] {
        UpdateCommands();
        Relayout();
        UpdateProportionsLock();
    });
    QObject::connect(&m_panels, &OperationPanelSet::SettingsChanged, this,
                     [this](bool refreshPreview) {
                         UpdateCommands();
                         if (refreshPreview && m_preview)
                             m_preview->Post(PreviewStep::Current);
                     });

    if (!m_previewToggle.CreateImageCheckbox(this, QPoint(351, 220), QStringLiteral("PREVIEW"),
                                             cmd::PreviewToggle))
        return false;
    m_previewToggle.setEnabled(false);
    m_previewToggle.setToolTip(QString::fromLatin1(kPreviewTip));
    route(m_previewToggle);

    struct Coloured {
        CSimpleImageButton& button;
        const char* caption;
        const char* image;
        int id;
    };
    const Coloured coloured[] = {{m_clear, "Clear", "BLUE", cmd::Clear},
                                 {m_start, "START", "GREEN", cmd::Start},
                                 {m_cancel, "Cancel", "RED", cmd::Cancel},
                                 {m_savePreset, "Save preset", "GREEN", cmd::PresetSaveAs}};
    for (const Coloured& c : coloured) {
        if (!c.button.CreateSimpleImageButton(QString::fromLatin1(c.caption), this, QPoint(0, 0),
                                              QString::fromLatin1(c.image), false, c.id))
            return false;
        route(c.button);
    }

    QImage track;
    if (!LoadPngResource(QStringLiteral("PROGRESS"), track))
        return false;
    m_progress.setParent(this);
    m_progress.SetTrackImage(track);
    m_progress.setGeometry(QRect(QPoint(20, 115), QPoint(375, 152) - QPoint(1, 1)));
    m_progress.setRange(0, 100);
    m_progress.hide();

    m_link.setParent(this);
    m_link.setText(QString::fromLatin1(kShowInFolder));
    m_link.SetURLPrefix(QStringLiteral("file:"));
    m_link.SizeToContent(QRect(QPoint(100, 125), QPoint(295, 150) - QPoint(1, 1)));
    m_link.hide();

    if (!m_menuButton.CreateMenuButton(this, QPoint(0, 1)))
        return false;
    m_menuButton.SetMenu(m_menu.Popup());
    // The choice is handled after the pop-up has closed, like a posted command.
    QObject::connect(&m_menuButton, &CommandButton::Command, this, [this] {
        const int id = m_menuButton.MenuResult();
        if (id != 0)
            QMetaObject::invokeMethod(
                this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
    });
    // The "&Presets" sub-menu, filled from the store; it enables START from now on.
    m_presets = std::make_unique<PresetManager>(m_settings, m_presetTarget, this);
    m_presets->AttachStart(&m_start, m_menu.Action(cmd::Start));
    m_menu.SetPresetsMenu(m_presets->menu());
    QObject::connect(m_presets.get(), &PresetManager::PresetApplied, this, [this] {
        Relayout();
        UpdateProportionsLock();
        if (m_preview)
            m_preview->Post(PreviewStep::Current);
    });
    m_presets->Open();
    UpdateCommands();
    return true;
}

CSimpleImageButton& CRXMainWnd::Button(int id) {
    switch (id) {
    case cmd::Clear:
        return m_clear;
    case cmd::Start:
        return m_start;
    case cmd::Cancel:
        return m_cancel;
    case cmd::PresetSaveAs:
        return m_savePreset;
    case cmd::Minimize:
        return m_minimize;
    default:
        return m_close;
    }
}

void CRXMainWnd::Relayout() {
    const int panels = m_panels.Layout(kFixedHeight - m_bgBottom.height());
    setFixedSize(kWidth, kFixedHeight + panels);
    // A rounded rectangle with a 3 x 3 corner ellipse leaves out the outermost corner pixels.
    QRegion region(rect());
    const int r = width() - 1, b = height() - 1;
    for (const QPoint& p : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)})
        region -= QRegion(p.x(), p.y(), 1, 1);
    setMask(region);
    UpdateCommands();
}

void CRXMainWnd::SetState(MainWindowState state) {
    if (state == m_state)
        return;
    LayoutStateControls(m_state, false);
    m_state = state;
    LayoutStateControls(m_state, true);
}

void CRXMainWnd::LayoutStateControls(MainWindowState state, bool show) {
    const auto place = [&](QWidget& w, int x) {
        w.move(x, m_buttonY);
        w.setVisible(show);
    };
    switch (state) {
    case MainWindowState::Empty:
        break;
    case MainWindowState::FilesAdded:
        place(m_start, m_rightX);
        place(m_clear, m_leftX);
        m_previewToggle.setEnabled(show);
        if (!show)
            ClosePreview();
        break;
    case MainWindowState::Processing:
        place(m_cancel, m_rightX);
        m_progress.setVisible(show);
        m_progress.setValue(0);
        m_panels.SetJobRunning(show);
        if (m_presets)
            m_presets->SetJobRunning(show);
        m_menu.Action(cmd::ImportImages)->setEnabled(!show);
        break;
    case MainWindowState::Success:
        place(m_clear, m_rightX);
        place(m_savePreset, m_leftX);
        m_link.setVisible(show);
        break;
    }
}

void CRXMainWnd::UpdateCommands() {
    // START and "Start processing" need at least one switched-on operation that is ready.
    if (m_presets) {
        m_presets->UpdateCommands();
        return;
    }
    const bool ready = m_panels.AnyTakesPart();
    m_start.setEnabled(ready);
    m_menu.Action(cmd::Start)->setEnabled(ready && m_start.isVisible());
}

void CRXMainWnd::UpdateProportionsLock() {
    // The "Save watermark proportions" check box lives in the preview window.
    if (m_preview)
        m_preview->UpdateLockVisibility(m_job.files().size() > 1 && m_panels.IsSwitchedOn(0));
}

void CRXMainWnd::RedrawAll() {
    repaint();
}

void CRXMainWnd::RedrawBand() {
    repaint(QRect(0, m_bgTop.height(), kWidth, 70));
}

QStringList CRXMainWnd::ZoneTexts() const {
    switch (m_state) {
    case MainWindowState::Empty:
        return {QString::fromLatin1(kDropHere)};
    case MainWindowState::FilesAdded:
        return {QString::fromLatin1(kFilesAdded).arg(m_job.files().size())};
    case MainWindowState::Processing:
        return {QString::fromLatin1(kFilesOf).arg(m_processed).arg(m_total),
                QString::fromLatin1(kProcessing).arg(QString(m_dotCount, QLatin1Char('.')))};
    case MainWindowState::Success:
        return {QString::fromLatin1(kSuccess).arg(m_processed)};
    }
    return {};
}

void CRXMainWnd::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setRenderHint(QPainter::TextAntialiasing, true);
    const int top = m_bgTop.height();
    const int middle = m_bgBasket.height();
    DrawImageAt(g, m_bgTop, 0, 0);
    DrawImageAt(g, m_state == MainWindowState::Empty ? m_bgBasket : m_bgCenter, 0, top);

    TextPainter text(0xFFFFFFFF);
    text.SetFamilyName(QStringLiteral("Pacifico"));
    text.SetCollection(m_fonts);
    const QStringList lines = ZoneTexts();
    switch (m_state) {
    case MainWindowState::Empty:
        text.Draw(g, lines[0], 20, Centred(top + middle - 25, 20));
        break;
    case MainWindowState::FilesAdded:
    case MainWindowState::Success:
        text.Draw(g, lines[0], 30, Centred(top + 65, 30));
        break;
    case MainWindowState::Processing:
        text.Draw(g, lines[0], 20, Centred(top + 50, 20));
        // Left-aligned, so the word stays still while the dots change.
        text.SetHorizontalAlignment(StringAlignment::Near);
        text.Draw(g, lines[1], 20, TextPainter::FromEdges(140, top, kWidth, top + 40));
        break;
    }
    DrawImageAt(g, m_bgButtons, 0, top + middle);
    DrawImageAt(g, m_bgBottom, 0, height() - m_bgBottom.height());
}

void CRXMainWnd::mousePressEvent(QMouseEvent* e) {
    // Any point of the window that no control covers drags the window.
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CRXMainWnd::mouseMoveEvent(QMouseEvent* e) {
    if (m_dragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_dragOffset);
}

void CRXMainWnd::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(e);
}

void CRXMainWnd::timerEvent(QTimerEvent* e) {
    if (e->timerId() != m_dotsTimer.timerId())
        return QWidget::timerEvent(e);
    m_dotCount = static_cast<unsigned char>((m_dotCount + 1) % 4);
    RedrawBand();
}

void CRXMainWnd::OnCommand(int id) {
    // The preset store takes its own commands (1400 to 1403, 1409 to 1499) first.
    if (m_presets && m_presets->HandleCommand(id))
        return;
    switch (id) {
    case cmd::Start:
        return Start();
    case cmd::Cancel:
        return Cancel();
    case cmd::Clear:
        return Clear();
    case cmd::Minimize:
        return showMinimized();
    case cmd::Exit:
        close();
        return;
    case cmd::ImportImages:
        return ImportImages();
    case cmd::Help:
        return Help();
    case cmd::PreviewToggle:
        return TogglePreview();
    case cmd::About: {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    case cmd::CheckForUpdates:
        if (m_update)
            m_update->CheckManual();
        return;
    default:
        return;
    }
}

void CRXMainWnd::Help() {
    ui::OpenUrl(QUrl(QString::fromLatin1(kUserGuideUrl)));
}

} // namespace rx
