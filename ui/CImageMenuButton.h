// The main menu button: the "MAINMENU" images, pops up its menu on press and reports the
// chosen entry with Command(1100); the owner reads MenuResult().
#pragma once

#include "ui/FrameworkButton.h"
#include "ui/ImageButton.h"

namespace rx {

class CImageMenuButton : public ImageMFCButton<0, FrameworkMenuButton> {
public:
    static constexpr int kControlId = 1100;

    bool CreateMenuButton(QWidget* parent, const QPoint& point) {
        if (!CreateImageButton(parent, point, QStringLiteral("MAINMENU"), kControlId))
            return false;
        show();
        return true;
    }
};

} // namespace rx
