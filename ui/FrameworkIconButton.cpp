#include "ui/FrameworkIconButton.h"

#include "ui/SkinResources.h"

#include <QPainter>

namespace rx {

FrameworkIconButton::FrameworkIconButton() {
    setCheckable(true);
}

bool FrameworkIconButton::CreateIconButton(QWidget* parent, const QRect& rect,
                                           const QString& iconName, int id) {
    if (!LoadPngResource(iconName, m_icon))
        return false;
    SetControlId(id);
    setParent(parent);
    setGeometry(rect);
    show();
    return true;
}

void FrameworkIconButton::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing, true);
    const bool pressed = ShowsPressed();
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(0, face.top(), 0, face.bottom());
    if (!isEnabled()) {
        fill.setColorAt(0, QColor(0xF4, 0xF4, 0xF4));
        fill.setColorAt(1, QColor(0xF4, 0xF4, 0xF4));
    } else if (pressed) {
        fill.setColorAt(0, QColor(0xC4, 0xCB, 0xD9));
        fill.setColorAt(1, QColor(0xDD, 0xE2, 0xEC));
    } else {
        fill.setColorAt(0, QColor(0xFD, 0xFD, 0xFD));
        fill.setColorAt(1, QColor(0xE3, 0xE5, 0xEA));
    }
    g.setBrush(fill);
    g.setPen(QPen(isEnabled() ? (pressed ? QColor(0x5A, 0x66, 0x80) : QColor(0x8C, 0x92, 0x9E))
                              : QColor(0xC8, 0xC8, 0xC8),
                  1));
    g.drawRoundedRect(face, 3, 3);
    if (pressed) {
        // The inner shadow of a pressed face.
        g.setPen(QPen(QColor(0, 0, 0, 40), 1));
        g.drawLine(QPointF(face.left() + 2, face.top() + 1.5),
                   QPointF(face.right() - 2, face.top() + 1.5));
    }
    const int shift = pressed ? 1 : 0;
    const QPointF at((width() - m_icon.width()) / 2.0 + shift,
                     (height() - m_icon.height()) / 2.0 + shift);
    if (!isEnabled())
        g.setOpacity(0.4);
    DrawImageAt(g, m_icon, qRound(at.x()), qRound(at.y()));
    g.setOpacity(1.0);
    if (hasFocus()) {
        g.setRenderHint(QPainter::Antialiasing, false);
        g.setPen(QPen(QColor(0, 0, 0), 1, Qt::DotLine));
        g.setBrush(Qt::NoBrush);
        g.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

} // namespace rx
