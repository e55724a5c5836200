// Pieces of CRXMainWnd shared by its source files: the drop target of the drop zone.
#pragma once

#include "app/CRXMainWnd.h"

namespace rx {

// The online user guide ("&Help").
inline constexpr char kUserGuideUrl[] = "https://www.mornsby.com/rexmill/user-guide";

// Accepts file drops on the drop zone only, and none while a job runs.
class CRXMainWnd::DropTarget : public CFileDropTarget {
public:
    explicit DropTarget(CRXMainWnd& owner) : m_owner(owner) {}

    Qt::DropAction OnDragEnter(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys,
                               const QPoint& point) override;
    Qt::DropAction OnDragOver(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys,
                              const QPoint& point) override;
    bool OnDrop(QWidget* window, const QMimeData* data, Qt::DropAction effect,
                const QPoint& point) override;
    bool OnDropFiles(QWidget* window, const QStringList& paths) override;
    bool OnDropFile(QWidget* window, const QString& path) override;

private:
    CRXMainWnd& m_owner;
};

} // namespace rx
