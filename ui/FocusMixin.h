// FocusMixin<T>: FocusGained and FocusLost, called when the control gains or loses the
// keyboard focus; by default they run the base handling and repaint, so Paint can mark focus.
#pragma once

#include <QFocusEvent>

namespace rx {

template <class T> class FocusMixin : public T {
public:
    using T::T;

protected:
    virtual void FocusGained(QFocusEvent* e) {
        T::focusInEvent(e);
        this->update();
    }
    virtual void FocusLost(QFocusEvent* e) {
        T::focusOutEvent(e);
        this->update();
    }

    void focusInEvent(QFocusEvent* e) override { FocusGained(e); }
    void focusOutEvent(QFocusEvent* e) override { FocusLost(e); }
};

} // namespace rx
