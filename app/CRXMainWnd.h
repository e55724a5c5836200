// The program's main window: a frameless, fixed-width frame painted from the skin, with the
// drop zone that reports the state in "Pacifico" lettering, the operation toggles and their
// stacked panels, and the buttons that start, follow and cancel the job. It owns the job, the
// operation panels and the preset menu. UI thread only; the worker reaches it through queued
// job events.
#pragma once

#include "app/CRXPreviewWnd.h"
#include "app/MainMenu.h"
#include "app/MainWindowState.h"
#include "engine/FileIntake.h"
#include "engine/JobEvents.h"
#include "engine/RXWorker.h"
#include "presets/PanelSetTarget.h"
#include "presets/PresetManager.h"
#include "ui/CFileDropTarget.h"
#include "ui/CImageCheckbox.h"
#include "ui/CImageMenuButton.h"
#include "ui/CRXProgressCtrl.h"
#include "ui/CSimpleImageButton.h"
#include "ui/OperationPanelSet.h"
#include "ui/RXLinkCtrl.h"

#include <QBasicTimer>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <memory>

namespace rx {

class PrivateFontCollection;
class SettingsStore;
class UpdateComponent;

class CRXMainWnd : public QWidget, private PreviewSource {
public:
    static constexpr int kWidth = 395;
    static constexpr int kDotsTimerId = 1583; // the "Processing" dots
    static constexpr int kDotsPeriodMs = 500;

    // The fonts are the application's private collection (may be null: the lettering then
    // falls back to a system family).
    CRXMainWnd(SettingsStore& settings, const PrivateFontCollection* fonts);
    ~CRXMainWnd() override;

    // Builds the window: skin, controls, menu, stored settings and position, layout, drop
    // target. False when a skin image or a control is missing.
    bool Create();

    // Every command of the buttons and the menu, as the window routes them.
    void OnCommand(int id);

    // Where "Check for &updates" goes (may be null: the command then does nothing).
    void SetUpdateComponent(UpdateComponent* update) { m_update = update; }

    // Files and folders from the command line, taken in as one drop.
    void OpenPaths(const QStringList& paths);

    // The job's reports, delivered on this thread.
    void OnJobStarted(int files, int range);
    void OnProgressStep(int position);
    void OnFileDone(int done);
    void OnJobFinished(int saved, const QString& runFolder);

    // Read access for the application and its tests.
    MainWindowState State() const { return m_state; }
    RXWorker& Job() { return m_job; }
    int Total() const { return m_total; }
    int Processed() const { return m_processed; }
    int DotCount() const { return m_dotCount; }
    // The Qt id of the running dots timer, 0 or less when it is stopped.
    int DotsTimer() const { return m_dotsTimer.timerId(); }
    const CRXProgressCtrl& ProgressBar() const { return m_progress; }
    const RXLinkCtrl& ShowInFolderLink() const { return m_link; }
    CSimpleImageButton& Button(int id);
    CImageCheckbox& PreviewToggle() { return m_previewToggle; }
    CImageMenuButton& MenuButton() { return m_menuButton; }
    OperationPanelSet& Panels() { return m_panels; }
    PresetManager& Presets() { return *m_presets; }
    // The open preview window, or null.
    CRXPreviewWnd* Preview() const { return m_preview; }
    MainMenu& Menu() { return m_menu; }
    // The drop zone: below the title strip, as high as the basket image.
    QRect DropZone() const { return m_dropZone; }
    // The text the drop zone shows now ("Drop images here", "3 files added", ...).
    QStringList ZoneTexts() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void timerEvent(QTimerEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void changeEvent(QEvent*) override;

private:
    class DropTarget;

    bool LoadBackground();
    bool CreateControls();
    void Relayout();
    void SetState(MainWindowState state);
    void LayoutStateControls(MainWindowState state, bool show);
    void UpdateCommands();
    void UpdateProportionsLock();
    void RedrawAll();
    void RedrawBand();

    void Start();
    void Cancel();
    void Clear();
    void ImportImages();
    void Help();
    void TogglePreview();
    void ClosePreview();

    // PreviewSource
    PreviewFiles PreviewFileList() override;
    OperationSnapshot PreviewOperations() override;
    WatermarkOp* PreviewWatermark() override;
    CImageCheckbox* PreviewLock() override;
    void PreviewClosed() override;
    void PreviewRestored() override;
    bool AddPath(const QString& path);
    void ReportIntake(bool anyAdded);
    bool DropAllowedAt(const QPoint& point) const;

    SettingsStore& m_settings;
    const PrivateFontCollection* m_fonts;
    OperationPanelSet m_panels;
    RXWorker m_job;
    PanelSetTarget m_presetTarget{m_panels};
    std::unique_ptr<PresetManager> m_presets; // offered every command first
    FileIntake m_intake;
    QImage m_bgTop, m_bgButtons, m_bgCenter, m_bgBasket, m_bgBottom;
    MainMenu m_menu;
    CImageMenuButton m_menuButton;
    CSimpleImageButton m_minimize, m_close;
    CSimpleImageButton m_clear, m_start, m_cancel, m_savePreset;
    CImageCheckbox m_previewToggle;
    MainWindowState m_state = MainWindowState::Empty;
    CRXProgressCtrl m_progress;
    RXLinkCtrl m_link;
    std::unique_ptr<DropTarget> m_dropTarget;
    std::unique_ptr<JobEvents> m_events; // the job's reports as queued signals
    int m_total = 0;
    int m_processed = 0;
    unsigned char m_dotCount = 0;
    QBasicTimer m_dotsTimer;
    QRect m_dropZone;
    int m_buttonY = 0, m_rightX = 0, m_leftX = 0;
    // A drag by the window's own area where the platform cannot move the window itself.
    bool m_dragging = false;
    QPoint m_dragOffset;
    UpdateComponent* m_update = nullptr;
    CRXPreviewWnd* m_preview = nullptr;
    // The preview was maximized when the main window was minimized.
    bool m_previewWasMaximized = false;
};

} // namespace rx
