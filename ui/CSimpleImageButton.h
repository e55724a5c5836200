// A push button made of state images with its caption centred on it in white (grey when
// disabled): the main window's coloured buttons, its title buttons and the preview's buttons.
#pragma once

#include "ui/ImageButton.h"
#include "ui/OwnerDrawButton.h"

namespace rx {

class CSimpleImageButton : public ImageButton<BS_OWNERDRAW, OwnerDrawButton> {
public:
    CSimpleImageButton();

    // Loads the images, sizes the button like its up image and sets the caption.
    bool CreateSimpleImageButton(const QString& caption, QWidget* parent, const QPoint& point,
                                 const QString& baseName, bool visible, int id);

protected:
    void Paint(QPainter& g, const DrawItem& item) override;
};

} // namespace rx
