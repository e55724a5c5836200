#include "ui/CSimpleImageButton.h"

#include "ui/TextPainter.h"

namespace rx {

CSimpleImageButton::CSimpleImageButton() {
    setFocusPolicy(Qt::StrongFocus);
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { EmitCommand(); });
}

bool CSimpleImageButton::CreateSimpleImageButton(const QString& caption, QWidget* parent,
                                                 const QPoint& point, const QString& baseName,
                                                 bool visible, int id) {
    if (!CreateImageButton(parent, point, baseName, id))
        return false;
    setText(caption);
    setVisible(visible);
    return true;
}

void CSimpleImageButton::Paint(QPainter& g, const DrawItem& item) {
    DrawImageAt(g, ImageFor(item.state), item.rect.left(), item.rect.top());
    if (text().isEmpty())
        return;
    TextPainter painter((item.state & ODS_DISABLED) ? 0xFF808080 : 0xFFFFFFFF);
    painter.SetFamilyName(font().family());
    painter.SetStyle(font().bold() ? FontStyleBold : FontStyleRegular);
    const qreal pixels =
        font().pixelSize() > 0 ? font().pixelSize() : font().pointSizeF() * logicalDpiY() / 72.0;
    // A pressed face sits one pixel lower; the caption follows it.
    const QRectF r = QRectF(item.rect).translated(0, (item.state & ODS_SELECTED) ? 1 : 0);
    painter.Draw(g, text(), pixels, r);
}

} // namespace rx
