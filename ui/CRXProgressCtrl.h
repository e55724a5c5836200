// The progress bar of the main window: the owner's track image stretched over the control
// and a rounded green gradient bar inside it.
#pragma once

#include <QImage>
#include <QProgressBar>

namespace rx {

class CRXProgressCtrl : public QProgressBar {
public:
    explicit CRXProgressCtrl(QWidget* parent = nullptr);

    void SetTrackImage(const QImage& track) { m_track = track; }
    // The bar's rectangle for the current position; empty when no bar is drawn.
    QRectF BarRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage m_track;
};

} // namespace rx
