// The position pad: a marker moved over a 95 x 95 pad by pointer or keys; the point stays
// within 11 to 84 on each axis (owners convert with (coordinate - 11) / 73).
#pragma once

#include "ui/MouseMixin.h"
#include "ui/OwnerDrawButton.h"

#include <QImage>

namespace rx {

class CRXPositionCtrl : public MouseMixin<OwnerDrawButton> {
public:
    static constexpr int kControlId = 1210;
    static constexpr int kMin = 11;
    static constexpr int kMax = 84;

    CRXPositionCtrl();
    bool CreatePad(const QRect& rect, QWidget* parent);

    // Clamps into 11..84, repaints and notifies.
    void SetPoint(int x, int y);
    int X() const { return m_x; }
    int Y() const { return m_y; }

protected:
    void DragTo(int x, int y) override { SetPoint(x, y); }
    void Paint(QPainter& g, const DrawItem& item) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    int m_x = kMin;
    int m_y = kMin;
    QImage m_pad;
    QImage m_marker;
};

} // namespace rx
