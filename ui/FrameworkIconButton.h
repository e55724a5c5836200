// A push-like check button that shows an icon on a themed button face: raised while
// unchecked, pressed in while checked or held down (the watermark's underline button).
// Reports every click with Command(id); the owner reads the check state.
#pragma once

#include "ui/FocusMixin.h"
#include "ui/FrameworkButton.h"

#include <QImage>

namespace rx {

class FrameworkIconButton : public FocusMixin<FrameworkButton> {
public:
    FrameworkIconButton();

    // Places the button in the rectangle of the parent with the named skin image as its icon;
    // false when the image is missing.
    bool CreateIconButton(QWidget* parent, const QRect& rect, const QString& iconName, int id);
    const QImage& Icon() const { return m_icon; }
    // The face shows pressed in: checked or held down.
    bool ShowsPressed() const { return isChecked() || isDown(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage m_icon;
};

} // namespace rx
