#include "ui/CRXPositionCtrl.h"

#include "ui/SkinResources.h"

#include <QKeyEvent>

namespace rx {

CRXPositionCtrl::CRXPositionCtrl() {
    SetControlId(kControlId);
    setFocusPolicy(Qt::StrongFocus);
}

bool CRXPositionCtrl::CreatePad(const QRect& rect, QWidget* parent) {
    if (!LoadPngResource(QStringLiteral("DOTTED"), m_pad) ||
        !LoadPngResource(QStringLiteral("CIRCLE"), m_marker))
        return false;
    m_x = m_y = kMin;
    setParent(parent);
    setGeometry(rect);
    show();
    return true;
}

void CRXPositionCtrl::SetPoint(int x, int y) {
    m_x = qMax(qMin(x, kMax), kMin);
    m_y = qMax(qMin(y, kMax), kMin);
    update();
    NotifyParent();
}

void CRXPositionCtrl::keyPressEvent(QKeyEvent* e) {
    const int step = (e->modifiers() & Qt::ControlModifier) ? 5 : 1;
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_A:
    case Qt::Key_H:
        SetPoint(m_x - step, m_y);
        break;
    case Qt::Key_Up:
    case Qt::Key_K:
    case Qt::Key_W:
        SetPoint(m_x, m_y - step);
        break;
    case Qt::Key_Right:
    case Qt::Key_D:
    case Qt::Key_L:
        SetPoint(m_x + step, m_y);
        break;
    case Qt::Key_Down:
    case Qt::Key_J:
    case Qt::Key_S:
        SetPoint(m_x, m_y + step);
        break;
    default:
        MouseMixin<OwnerDrawButton>::keyPressEvent(e);
    }
}

void CRXPositionCtrl::Paint(QPainter& g, const DrawItem&) {
    DrawImageAt(g, m_pad, 0, 0);
    if (hasFocus()) {
        g.setRenderHint(QPainter::Antialiasing, false);
        g.setPen(QPen(Qt::black, 1));
        g.setBrush(Qt::NoBrush);
        g.drawRect(0, 0, 94 - 1, 94 - 1);
        g.setRenderHint(QPainter::Antialiasing, true);
    }
    DrawImageAt(g, m_marker, m_x - 11, m_y - 11);
}

} // namespace rx
