#include "ui/CToggleButton.h"

#include "ui/SkinResources.h"

#include <QKeyEvent>
#include <QTimerEvent>
#include <stdexcept>

namespace rx {

CToggleButton::CToggleButton() {
    setFocusPolicy(Qt::StrongFocus);
}

void CToggleButton::CreateSwitch(const QRect& rect, QWidget* parent, int id) {
    if (!LoadPngResource(QStringLiteral("TOGGLEBG"), m_track) ||
        !LoadPngResource(QStringLiteral("TOGGLESL"), m_knob))
        throw std::runtime_error("switch images missing");
    m_knobX = 0;
    SetControlId(id);
    setParent(parent);
    setGeometry(rect);
    show();
}

void CToggleButton::LoadState(bool on) {
    m_state = on;
    m_knobX = on ? 1000 : 0;
    StartAnimation();
}

void CToggleButton::StartAnimation() {
    m_timer.start(kAnimationMs, this);
}

bool CToggleButton::PressAt(int x, int y) {
    if (x >= m_knobX && x < m_knobX + m_knob.width() && y >= 0 && y < height()) {
        m_dragOffset = x - m_knobX;
        m_timer.stop();
        return true;
    }
    m_state = x > width() / 2;
    StartAnimation();
    return false;
}

void CToggleButton::DragTo(int x, int) {
    m_knobX = qBound(0, x - m_dragOffset, qMax(0, width() - m_knob.width()));
    update();
}

void CToggleButton::ReleaseAt(int, int) {
    m_state = width() / 2 < m_knobX + m_knob.width() / 2;
    StartAnimation();
}

void CToggleButton::timerEvent(QTimerEvent* e) {
    if (e->timerId() != m_timer.timerId()) {
        MouseMixin<OwnerDrawButton>::timerEvent(e);
        return;
    }
    Tick();
}

void CToggleButton::Tick() {
    const int last = qMax(0, width() - m_knob.width());
    m_knobX += m_state ? kStep : -kStep;
    if (m_knobX < 0 || m_knobX > last) {
        m_knobX = m_knobX < 0 ? 0 : last;
        m_timer.stop();
        NotifyParent();
    }
    update();
}

void CToggleButton::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space && !e->isAutoRepeat()) {
        m_state = !m_state;
        StartAnimation();
    }
    MouseMixin<OwnerDrawButton>::keyPressEvent(e);
}

void CToggleButton::Paint(QPainter& g, const DrawItem&) {
    DrawImageAt(g, m_track, 0, 0);
    DrawImageAt(g, m_knob, m_knobX, 0);
}

} // namespace rx
