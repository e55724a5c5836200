#include "ui/CRXSliderCtrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace rx {

CRXSliderCtrl::CRXSliderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void CRXSliderCtrl::SetTicksBelow(bool below) {
    m_ticksBelow = below;
    setTickPosition(below ? QSlider::TicksBelow : QSlider::NoTicks);
    update();
}

QRect CRXSliderCtrl::ChannelRect() const {
    const QRect t = ThumbRect();
    const int cy = t.center().y();
    return QRect(QPoint(kChannelMargin, cy - 2), QPoint(width() - 1 - kChannelMargin, cy + 2));
}

QRect CRXSliderCtrl::ThumbRect() const {
    const int h = qMin(18, height() - (m_ticksBelow ? 8 : 2));
    const int top = m_ticksBelow ? 2 : (height() - h) / 2;
    return QRect(ThumbLeftFor(sliderPosition()), top, kThumbLength, h);
}

int CRXSliderCtrl::ThumbLeftFor(int value) const {
    const int range = maximum() - minimum();
    const int travel = (width() - 2 * kChannelMargin) - kThumbLength;
    if (range <= 0 || travel <= 0)
        return kChannelMargin;
    return kChannelMargin + int((qint64(value - minimum()) * travel + range / 2) / range);
}

int CRXSliderCtrl::ValueAtThumbLeft(int left) const {
    const int range = maximum() - minimum();
    const int travel = (width() - 2 * kChannelMargin) - kThumbLength;
    if (range <= 0 || travel <= 0)
        return minimum();
    const qint64 v = minimum() + (qint64(left - kChannelMargin) * range + travel / 2) / travel;
    return int(qBound(qint64(minimum()), v, qint64(maximum())));
}

int CRXSliderCtrl::GetTicPos(int value) const {
    return ThumbLeftFor(value) + kThumbLength / 2;
}

void CRXSliderCtrl::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint p = e->position().toPoint();
    if (!ThumbRect().contains(p)) {
        // Jump: the position under the pointer, on the channel less half a thumb.
        const QRect channel = ChannelRect();
        const int half = kThumbLength / 2;
        const int span = channel.width() - half;
        int position = minimum();
        if (span > 0)
            position = minimum() + int(qint64(p.x() - channel.left() - rect().left()) *
                                       (maximum() - minimum()) / span);
        position = qBound(minimum(), position, maximum());
        setSliderPosition(position);
        setValue(position);
        Q_EMIT HScroll(TB_THUMBPOSITION, position);
    }
    // Dragging starts from the thumb now under the pointer.
    const QRect thumb = ThumbRect();
    m_dragOffset = thumb.contains(p) ? p.x() - thumb.left() : kThumbLength / 2;
    m_dragging = true;
    setSliderDown(true);
    update();
}

void CRXSliderCtrl::mouseMoveEvent(QMouseEvent* e) {
    if (!m_dragging)
        return;
    const int v = ValueAtThumbLeft(int(e->position().x()) - m_dragOffset);
    if (v != value()) {
        setSliderPosition(v);
        setValue(v);
        Q_EMIT HScroll(TB_THUMBTRACK, v);
    }
}

void CRXSliderCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_dragging || e->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    setSliderDown(false);
    Q_EMIT HScroll(TB_THUMBPOSITION, value());
    Q_EMIT HScroll(TB_ENDTRACK, value());
    update();
}

void CRXSliderCtrl::keyPressEvent(QKeyEvent* e) {
    int code = -1, target = value();
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        code = TB_LINEUP;
        target -= singleStep();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        code = TB_LINEDOWN;
        target += singleStep();
        break;
    case Qt::Key_PageUp:
        code = TB_PAGEUP;
        target -= pageStep();
        break;
    case Qt::Key_PageDown:
        code = TB_PAGEDOWN;
        target += pageStep();
        break;
    case Qt::Key_Home:
        code = TB_TOP;
        target = minimum();
        break;
    case Qt::Key_End:
        code = TB_BOTTOM;
        target = maximum();
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    setValue(qBound(minimum(), target, maximum()));
    Q_EMIT HScroll(code, value());
}

void CRXSliderCtrl::keyReleaseEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!e->isAutoRepeat())
            Q_EMIT HScroll(TB_ENDTRACK, value());
        break;
    default:
        QWidget::keyReleaseEvent(e);
    }
}

void CRXSliderCtrl::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing, true);
    const bool enabled = isEnabled();
    const QColor accent = enabled ? QColor(0x4F, 0x6B, 0xED) : QColor(0xB4, 0xB9, 0xC4);
    const QRectF channel = QRectF(ChannelRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QRect thumb = ThumbRect();
    g.setPen(QPen(QColor(0x9A, 0xA1, 0xAF), 1));
    g.setBrush(QColor(0xDD, 0xE0, 0xE7));
    g.drawRoundedRect(channel, 2, 2);
    QRectF filled = channel;
    filled.setRight(thumb.center().x());
    g.setPen(Qt::NoPen);
    g.setBrush(accent);
    g.drawRoundedRect(filled, 2, 2);
    if (m_ticksBelow && maximum() > minimum()) {
        g.setPen(QPen(QColor(0x77, 0x7D, 0x8A), 1));
        const int step = tickInterval() > 0 ? tickInterval() : qMax(1, singleStep());
        const int y = thumb.bottom() + 3;
        for (int v = minimum(); v <= maximum(); v += step) {
            const qreal x = GetTicPos(v) + 0.5;
            g.drawLine(QPointF(x, y), QPointF(x, y + 3));
        }
    }
    const QRectF t = QRectF(thumb).adjusted(0.5, 0.5, -0.5, -0.5);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(0, 0, 0, 35));
    g.drawRoundedRect(t.translated(0, 1), 3, 3);
    QLinearGradient face(0, t.top(), 0, t.bottom());
    face.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    face.setColorAt(1, isSliderDown() ? QColor(0xD5, 0xDA, 0xE6) : QColor(0xE8, 0xEA, 0xF0));
    g.setBrush(face);
    g.setPen(QPen(hasFocus() ? accent : QColor(0x80, 0x87, 0x96), 1));
    g.drawRoundedRect(t, 3, 3);
    g.setPen(QPen(accent, 1));
    g.drawLine(QPointF(t.center().x(), t.top() + 4), QPointF(t.center().x(), t.bottom() - 4));
}

} // namespace rx
