// A push-like check box made of state images: the operation toggles, the preview toggle and
// the lock check boxes. Checked shows the D image.
#pragma once

#include "ui/FrameworkButton.h"
#include "ui/ImageButton.h"

namespace rx {

class CImageCheckbox : public ImageMFCButton<BS_PUSHLIKE | BS_AUTOCHECKBOX, FrameworkButton> {
public:
    CImageCheckbox() { SetTransparent(true); }

    // Loads the state images of the base name and places the check box at the point.
    bool CreateImageCheckbox(QWidget* parent, const QPoint& point, const QString& baseName,
                             int id) {
        if (!CreateImageButton(parent, point, baseName, id))
            return false;
        show();
        return true;
    }
};

} // namespace rx
