// The main window's side of the preview window: opening and closing it with the preview
// toggle, what it renders, and keeping it in step when the main window is minimized.
#include "app/CRXMainWndParts.h"
#include "ui/CRXWatermarkWnd.h"

#include <QEvent>
#include <QWindowStateChangeEvent>

namespace rx {

void CRXMainWnd::TogglePreview() {
    if (m_preview) {
        ClosePreview();
        return;
    }
    if (m_state != MainWindowState::FilesAdded)
        return;
    auto* preview = new CRXPreviewWnd(m_settings, *this);
    if (!preview->Create()) {
        delete preview;
        m_previewToggle.setChecked(false);
        return;
    }
    m_preview = preview;
    m_previewToggle.setChecked(true);
    UpdateProportionsLock();
    m_preview->Refresh();
}

void CRXMainWnd::ClosePreview() {
    // Closing reports back through PreviewClosed, which forgets the window.
    if (m_preview)
        m_preview->close();
}

PreviewFiles CRXMainWnd::PreviewFileList() {
    return std::make_shared<const std::vector<FileEntry>>(m_job.files());
}

OperationSnapshot CRXMainWnd::PreviewOperations() {
    // Copies of the operations a job would take now.
    return m_job.CopyReadyOperations();
}

WatermarkOp* CRXMainWnd::PreviewWatermark() {
    return &m_panels.Watermark().Op();
}

CImageCheckbox* CRXMainWnd::PreviewLock() {
    return &m_panels.Watermark().PreviewLock();
}

void CRXMainWnd::PreviewClosed() {
    if (!m_preview)
        return;
    m_preview->deleteLater();
    m_preview = nullptr;
    m_previewToggle.setChecked(false);
}

void CRXMainWnd::PreviewRestored() {
    if (isMinimized())
        showNormal();
}

void CRXMainWnd::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !m_preview)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(e);
    if (isMinimized() && !(change->oldState() & Qt::WindowMinimized)) {
        m_previewWasMaximized = m_preview->isMaximized();
        m_preview->showMinimized();
    } else if (!isMinimized() && (change->oldState() & Qt::WindowMinimized)) {
        if (m_previewWasMaximized)
            m_preview->showMaximized();
        else
            m_preview->showNormal();
        m_preview->raise();
    }
}

} // namespace rx
