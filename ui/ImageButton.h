// The image button family: a button that shows one of its state images (U, D, X) at its
// natural size at the top-left corner. Style is what the creation adds to the button's
// style: 11 owner-drawn push button, 4099 push-like auto check box, 0 menu button.
#pragma once

#include "ui/ButtonStateImages.h"
#include "ui/FocusMixin.h"
#include "ui/OwnerDrawMixin.h"
#include "ui/SkinResources.h"

#include <QPainter>

namespace rx {

constexpr int BS_OWNERDRAW = 11;
constexpr int BS_AUTOCHECKBOX = 3;
constexpr int BS_PUSHLIKE = 0x1000;

// The state bits of a button: disabled, pressed, checked and focused.
inline unsigned ButtonItemState(const QAbstractButton& b) {
    unsigned state = 0;
    if (!b.isEnabled())
        state |= ODS_DISABLED;
    if (b.isDown())
        state |= ODS_SELECTED;
    if (b.isCheckable() && b.isChecked())
        state |= ODS_CHECKED;
    if (b.hasFocus())
        state |= ODS_FOCUS;
    return state;
}

template <int Style, class Base>
class ImageButton : public FocusMixin<Base>, public ButtonStateImages {
public:
    static constexpr int kStyle = Style;

    // Loads the state images and places the button at the point, sized like the up image.
    bool CreateImageButton(QWidget* parent, const QPoint& point, const QString& baseName, int id) {
        if (!Load(baseName))
            return false;
        this->SetControlId(id);
        if constexpr ((Style & 0xF) == BS_AUTOCHECKBOX)
            this->setCheckable(true);
        this->setParent(parent);
        this->setGeometry(QRect(point, Up().size()));
        return true;
    }

protected:
    virtual void Paint(QPainter& g, const DrawItem& item) {
        DrawImageAt(g, ImageFor(item.state), item.rect.left(), item.rect.top());
    }
    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        g.setRenderHint(QPainter::Antialiasing, true);
        g.setRenderHint(QPainter::SmoothPixmapTransform, true);
        Paint(g, DrawItem{this->rect(), ButtonItemState(*this)});
    }
};

// The framework-button variant: the parent's background, no border, no focus rectangle,
// the state image as the content.
template <int Style, class Base> class ImageMFCButton : public ImageButton<Style, Base> {};

} // namespace rx
