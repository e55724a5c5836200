// The rotation dial: a disc whose radius line points where the pointer was, with a number
// box in its middle. Angles grow clockwise from the left (0 left, 90 up, 180 right).
#pragma once

#include "ui/MouseMixin.h"
#include "ui/NumberMixin.h"
#include "ui/OwnerDrawButton.h"

#include <QImage>
#include <QLineEdit>

namespace rx {

class CRXAngleCtrl : public MouseMixin<OwnerDrawButton> {
public:
    static constexpr int kControlId = 1211;
    static constexpr int kEditId = 1000;

    CRXAngleCtrl();

    // Creates the dial in the rectangle of the parent; fails when its image is missing.
    bool CreateAngle(const QRect& rect, QWidget* parent);

    // Writes value mod 360 into the number box, which stores it and notifies.
    void SetAngle(int value);
    int Angle() const { return m_angle; }
    NumberMixin<QLineEdit>& Edit() { return m_edit; }

    int CenterX() const { return m_cx; }
    int CenterY() const { return m_cy; }
    int Radius() const { return m_radius; }

protected:
    void DragTo(int x, int y) override;
    void Paint(QPainter& g, const DrawItem& item) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool HandleKey(int key);
    void OnEditChanged(const QString& text);

    int m_cx = 0;
    int m_cy = 0;
    int m_radius = 0;
    int m_angle = 0;
    QImage m_texture;
    NumberMixin<QLineEdit> m_edit;
};

} // namespace rx
