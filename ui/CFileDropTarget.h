// A reusable drop target for lists of local files: registered on a window, it accepts a
// drag that carries only local file paths (copy), refuses anything else, and hands every
// dropped path to OnDropFile. The main window and the image picker derive from it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QMimeData;

namespace rx {

class CFileDropTarget : public QObject {
public:
    CFileDropTarget() = default;
    ~CFileDropTarget() override;

    // Makes the window accept drops through this target.
    bool Register(QWidget* window);
    void Revoke();
    QWidget* Window() const { return m_window; }

    // The local file paths a drag carries; empty when it carries anything else.
    static QStringList LocalFiles(const QMimeData* data);

    // Copy when the data is a list of local files, otherwise no drop.
    virtual Qt::DropAction OnDragEnter(QWidget* window, const QMimeData* data,
                                       Qt::KeyboardModifiers keys, const QPoint& point);
    virtual Qt::DropAction OnDragOver(QWidget* window, const QMimeData* data,
                                      Qt::KeyboardModifiers keys, const QPoint& point);
    virtual void OnDragLeave(QWidget* window);
    // Hands the paths to OnDropFiles; false when the data holds no file list.
    virtual bool OnDrop(QWidget* window, const QMimeData* data, Qt::DropAction effect,
                        const QPoint& point);
    // Calls OnDropFile for every path in order; true when one of them was taken.
    virtual bool OnDropFiles(QWidget* window, const QStringList& paths);
    virtual bool OnDropFile(QWidget* window, const QString& path) = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
};

} // namespace rx
