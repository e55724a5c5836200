// The skinned dialog base: a borderless dialog whose whole client area is the tiled
// "SETTINGS" texture inside a one-pixel frame, dragged by any point that is not a control.
// Controls are placed in dialog units of the dialog's font, the regular interface font unless
// set otherwise. UI thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace rx {

class CRXDialog : public QDialog {
    Q_OBJECT

public:
    // templateName names the layout (it becomes the object name); the texture is loaded here.
    // A subclass that changes the font places its controls afterwards.
    CRXDialog(const QString& templateName, QWidget* parent);

    const QString& templateName() const { return m_template; }
    bool hasBackground() const { return !m_background.isNull(); }

    // Dialog units of the current font to pixels of the client area: a horizontal unit is a
    // quarter of the font's average character width, a vertical unit an eighth of its height.
    QRect DialogRect(int x, int y, int width, int height) const;
    QSize DialogSize(int width, int height) const;
    // The average character width and the height that dialog units are measured in.
    QSize BaseUnits() const;

    // Width of the frame around the client area.
    static constexpr int kFrame = 1;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QString m_template;
    QImage m_background;
    bool m_dragging = false;
    QPoint m_dragOffset; // pointer position minus the dialog's position, while dragging by hand
};

} // namespace rx
