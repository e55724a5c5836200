// A static picture: one skin image drawn at (0, 0).
#pragma once

#include "ui/OwnerDrawMixin.h"
#include "ui/SkinResources.h"

#include <QWidget>

namespace rx {

class CImageStatic : public OwnerDrawMixin<QWidget> {
public:
    bool Create(const QString& imageName, const QRect& rect, QWidget* parent) {
        if (!LoadPngResource(imageName, m_image))
            return false;
        setParent(parent);
        setGeometry(rect);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        show();
        return true;
    }
    const QImage& Image() const { return m_image; }

protected:
    void Paint(QPainter& g, const DrawItem&) override { DrawImageAt(g, m_image, 0, 0); }

private:
    QImage m_image;
};

} // namespace rx
