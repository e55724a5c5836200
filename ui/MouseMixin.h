// MouseMixin<T>: press, drag and release as PressAt, DragTo and ReleaseAt, and NotifyParent.
// A press takes the focus; when PressAt accepts it, the control tracks the pointer (Qt keeps
// the mouse grabbed while the button is held) until the release or the loss of focus.
// The button's own click handling is bypassed: such a control reports only via NotifyParent.
#pragma once

#include "ui/CommandButton.h"
#include "ui/FocusMixin.h"

#include <QMouseEvent>
#include <QWidget>
#include <type_traits>

namespace rx {

template <class T> class MouseMixin : public FocusMixin<T> {
public:
    using FocusMixin<T>::FocusMixin;

    bool IsTracking() const { return m_tracking; }

protected:
    virtual bool PressAt(int x, int y) {
        DragTo(x, y);
        return true;
    }
    virtual void ReleaseAt(int, int) {}
    virtual void DragTo(int, int) {}
    virtual void NotifyParent() {
        if constexpr (std::is_base_of_v<CommandButton, T>)
            Q_EMIT this->Command(this->ControlId());
    }

    void mousePressEvent(QMouseEvent* e) override {
        QWidget::mousePressEvent(e);
        if (e->button() != Qt::LeftButton)
            return;
        this->setFocus(Qt::MouseFocusReason);
        const QPoint p = e->position().toPoint();
        if (PressAt(p.x(), p.y())) {
            m_tracking = true;
            this->repaint();
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        QWidget::mouseMoveEvent(e);
        if (m_tracking) {
            const QPoint p = e->position().toPoint();
            DragTo(p.x(), p.y());
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QWidget::mouseReleaseEvent(e);
        if (m_tracking && e->button() == Qt::LeftButton) {
            const QPoint p = e->position().toPoint();
            ReleaseAt(p.x(), p.y());
            m_tracking = false;
        }
    }
    void FocusLost(QFocusEvent* e) override {
        m_tracking = false;
        FocusMixin<T>::FocusLost(e);
    }

private:
    bool m_tracking = false;
};

} // namespace rx
