#include "ui/CFileDropTarget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace rx {

CFileDropTarget::~CFileDropTarget() {
    Revoke();
}

bool CFileDropTarget::Register(QWidget* window) {
    if (!window)
        return false;
    Revoke();
    m_window = window;
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    return true;
}

void CFileDropTarget::Revoke() {
    if (m_window) {
        m_window->removeEventFilter(this);
        m_window->setAcceptDrops(false);
    }
    m_window = nullptr;
}

QStringList CFileDropTarget::LocalFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

Qt::DropAction CFileDropTarget::OnDragEnter(QWidget*, const QMimeData* data, Qt::KeyboardModifiers,
                                            const QPoint&) {
    return LocalFiles(data).isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
}

Qt::DropAction CFileDropTarget::OnDragOver(QWidget* window, const QMimeData* data,
                                           Qt::KeyboardModifiers keys, const QPoint& point) {
    return CFileDropTarget::OnDragEnter(window, data, keys, point);
}

void CFileDropTarget::OnDragLeave(QWidget*) {}

bool CFileDropTarget::OnDrop(QWidget* window, const QMimeData* data, Qt::DropAction,
                             const QPoint&) {
    const QStringList paths = LocalFiles(data);
    return !paths.isEmpty() && OnDropFiles(window, paths);
}

bool CFileDropTarget::OnDropFiles(QWidget* window, const QStringList& paths) {
    bool taken = false;
    for (const QString& path : paths)
        taken = OnDropFile(window, path) || taken;
    return taken;
}

bool CFileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        const QPoint point = e->position().toPoint();
        const Qt::DropAction effect =
            event->type() == QEvent::DragEnter
                ? OnDragEnter(m_window, e->mimeData(), e->modifiers(), point)
                : OnDragOver(m_window, e->mimeData(), e->modifiers(), point);
        if (effect == Qt::IgnoreAction) {
            e->ignore();
        } else {
            e->setDropAction(effect);
            e->accept();
        }
        return true;
    }
    case QEvent::DragLeave:
        OnDragLeave(m_window);
        return true;
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        if (OnDrop(m_window, e->mimeData(), e->dropAction(), e->position().toPoint())) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace rx
