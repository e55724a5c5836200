#include "ui/CRXProgressCtrl.h"

#include "ui/SkinResources.h"

#include <QPainter>
#include <QPainterPath>

namespace rx {

CRXProgressCtrl::CRXProgressCtrl(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setValue(0);
}

QRectF CRXProgressCtrl::BarRect() const {
    // A reset bar reports minimum - 1; that and 0 both mean "no progress".
    const int position = value() < minimum() ? 0 : value();
    if (position == 0 || maximum() == minimum())
        return {};
    // The bar runs from x 5 to 6 px before the right edge of the track as it is drawn,
    // which is the control's width (the track image is stretched over the control).
    const double full = width() - 11;
    const double right = 5 + double(position) * full / double(maximum() - minimum());
    return QRectF(QPointF(5, 6), QPointF(right, height() - 6));
}

void CRXProgressCtrl::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (!m_track.isNull())
        DrawImageIn(g, m_track, QRectF(rect()));
    const QRectF bar = BarRect();
    if (bar.isEmpty())
        return;
    QLinearGradient gradient(0, 0, width() - 6, 0);
    gradient.setColorAt(0.0, QColor::fromRgba(0xFFD7F394));
    gradient.setColorAt(0.1, QColor::fromRgba(0xFFD7F394));
    gradient.setColorAt(0.5, QColor::fromRgba(0xFFC3F93E));
    gradient.setColorAt(0.55, QColor::fromRgba(0xFFBAEF38));
    gradient.setColorAt(1.0, QColor::fromRgba(0xFFBAEF38));
    QPainterPath path;
    path.addRoundedRect(bar, 4, 3);
    g.fillPath(path, gradient);
}

} // namespace rx
