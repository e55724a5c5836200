// OwnerDrawMixin<T>: the control paints itself through the virtual Paint with its rectangle
// and state bits. Nothing is erased first, so the parent's background shows through.
#pragma once

#include "ui/ButtonStateImages.h"

#include <QAbstractButton>
#include <QPainter>
#include <QRect>
#include <type_traits>

namespace rx {

struct DrawItem {
    QRect rect;
    unsigned state = 0; // ODS_* bits
};

template <class T> class OwnerDrawMixin : public T {
public:
    using T::T;

protected:
    virtual void Paint(QPainter& g, const DrawItem& item) = 0;

    virtual unsigned ItemState() const {
        unsigned state = 0;
        if (!this->isEnabled())
            state |= ODS_DISABLED;
        if (this->hasFocus())
            state |= ODS_FOCUS;
        if constexpr (std::is_base_of_v<QAbstractButton, T>) {
            if (this->isDown())
                state |= ODS_SELECTED;
            if (this->isCheckable() && this->isChecked())
                state |= ODS_CHECKED;
        }
        return state;
    }

    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        g.setRenderHint(QPainter::Antialiasing, true);
        g.setRenderHint(QPainter::SmoothPixmapTransform, true);
        Paint(g, DrawItem{this->rect(), ItemState()});
    }
};

} // namespace rx
