// Pieces of CRXMainWnd shared by its source files: the drop target of the drop zone and the
// bridge that brings the worker's reports onto the window's thread.
#pragma once

#include "app/CRXMainWnd.h"

#include <atomic>

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

// Receives the worker's calls on its thread and hands them to the window's thread in order.
// Each job has a generation; reports of a job that was cancelled or replaced are dropped.
class CRXMainWnd::JobEventsBridge : public WorkerNotifyTarget {
public:
    explicit JobEventsBridge(CRXMainWnd& owner) : m_owner(owner) {}
    void Attach(RXWorker& job) { job.setNotifyTarget(this); }
    // A new job starts, or the running one was cancelled: earlier reports are void.
    void NextGeneration() { ++m_generation; }

    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void WakeOwner() override;

private:
    CRXMainWnd& m_owner;
    std::atomic<unsigned> m_generation{0};
};

} // namespace rx
