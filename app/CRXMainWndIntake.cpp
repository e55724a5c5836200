// File intake of the main window: drops on the drop zone, "Import images" and paths from the
// command line, all through the engine's FileIntake.
#include "app/AppDialogs.h"
#include "app/CRXMainWndParts.h"
#include "engine/Text.h"
#include "ui/UiHooks.h"

namespace rx {

Qt::DropAction CRXMainWnd::DropTarget::OnDragEnter(QWidget* window, const QMimeData* data,
                                                   Qt::KeyboardModifiers keys,
                                                   const QPoint& point) {
    if (!m_owner.DropAllowedAt(point))
        return Qt::IgnoreAction;
    return CFileDropTarget::OnDragEnter(window, data, keys, point);
}

Qt::DropAction CRXMainWnd::DropTarget::OnDragOver(QWidget* window, const QMimeData* data,
                                                  Qt::KeyboardModifiers keys, const QPoint& point) {
    if (!m_owner.DropAllowedAt(point))
        return Qt::IgnoreAction;
    return CFileDropTarget::OnDragOver(window, data, keys, point);
}

bool CRXMainWnd::DropTarget::OnDrop(QWidget* window, const QMimeData* data, Qt::DropAction effect,
                                    const QPoint& point) {
    // A drop is refused where the drag was, whatever the source made of the refusal.
    return m_owner.DropAllowedAt(point) && CFileDropTarget::OnDrop(window, data, effect, point);
}

bool CRXMainWnd::DropTarget::OnDropFiles(QWidget* window, const QStringList& paths) {
    m_owner.m_intake.Begin();
    const bool any = CFileDropTarget::OnDropFiles(window, paths);
    m_owner.ReportIntake(any);
    return any;
}

bool CRXMainWnd::DropTarget::OnDropFile(QWidget*, const QString& path) {
    return m_owner.AddPath(path);
}

bool CRXMainWnd::DropAllowedAt(const QPoint& point) const {
    return m_state != MainWindowState::Processing && m_dropZone.contains(point);
}

bool CRXMainWnd::AddPath(const QString& path) {
    return m_intake.AddPath(PathFromText(path.toStdWString()));
}

void CRXMainWnd::ReportIntake(bool anyAdded) {
    if (!m_intake.ReportIntake(anyAdded))
        return;
    // A message box may have run a job's reports meanwhile; files never join a running job.
    if (m_state == MainWindowState::Processing)
        return;
    SetState(MainWindowState::FilesAdded);
    UpdateCommands();
    RedrawAll();
    if (m_preview)
        m_preview->Refresh();
}

void CRXMainWnd::ImportImages() {
    // The list must not change under a running job.
    if (m_state == MainWindowState::Processing) {
        ui::Beep();
        return;
    }
    m_intake.Begin();
    const QStringList paths = ChooseImportFiles(this);
    if (paths.isEmpty() || m_state == MainWindowState::Processing)
        return;
    bool any = false;
    for (const QString& p : paths)
        any = AddPath(p) || any;
    ReportIntake(any);
}

void CRXMainWnd::OpenPaths(const QStringList& paths) {
    if (paths.isEmpty() || m_state == MainWindowState::Processing)
        return;
    m_intake.Begin();
    bool any = false;
    for (const QString& p : paths)
        any = AddPath(p) || any;
    ReportIntake(any);
}

} // namespace rx
