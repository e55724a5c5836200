#include "ui/CRXAngleCtrl.h"

#include "ui/SkinResources.h"
#include "ui/UiHooks.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QtMath>

namespace rx {

CRXAngleCtrl::CRXAngleCtrl() {
    SetControlId(kControlId);
    setFocusPolicy(Qt::StrongFocus);
}

bool CRXAngleCtrl::CreateAngle(const QRect& rect, QWidget* parent) {
    const int w = rect.width(), h = rect.height();
    m_cx = w / 2;
    m_cy = h / 2;
    m_radius = qMin(m_cx, m_cy) - 1;
    setParent(parent);
    setGeometry(rect);
    setText(QStringLiteral("0"));

    m_edit.setParent(this);
    m_edit.setGeometry(QRect(QPoint(m_cx - 12, m_cy - 7), QPoint(m_cx + 12 - 1, m_cy + 8 - 1)));
    m_edit.setFrame(false);
    m_edit.setAlignment(Qt::AlignCenter);
    m_edit.setMaxLength(3);
    m_edit.setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), &m_edit));
    m_edit.setAttribute(Qt::WA_TranslucentBackground);
    m_edit.setStyleSheet(QStringLiteral("background: transparent;"));
    m_edit.setText(QStringLiteral("0"));
    m_edit.installEventFilter(this);
    QObject::connect(&m_edit, &QLineEdit::textChanged, this,
                     [this](const QString& text) { OnEditChanged(text); });
    setFocusProxy(&m_edit);
    show();
    return LoadPngResource(QStringLiteral("SETTINGS"), m_texture);
}

void CRXAngleCtrl::SetAngle(int value) {
    m_edit.setText(QString::number(((value % 360) + 360) % 360));
}

void CRXAngleCtrl::OnEditChanged(const QString& text) {
    if (text.size() > 1 && text.startsWith(QLatin1Char('0'))) {
        // A leading zero is refused: back to "0" with the caret after it, and a beep.
        m_edit.setText(QStringLiteral("0"));
        m_edit.setCursorPosition(1);
        ui::Beep();
        return;
    }
    m_angle = LeadingDecimal(text);
    NotifyParent();
    update();
}

void CRXAngleCtrl::DragTo(int x, int y) {
    const double degrees = std::atan2(double(y - m_cy), double(x - m_cx)) * 180.0 / M_PI + 180.0;
    SetAngle(int(degrees));
}

bool CRXAngleCtrl::HandleKey(int key) {
    switch (key) {
    case Qt::Key_PageUp:
        SetAngle((m_angle + 45) / 45 * 45);
        return true;
    case Qt::Key_PageDown:
        SetAngle((m_angle + 359) / 45 * 45);
        return true;
    case Qt::Key_Up:
        SetAngle(m_angle + 1);
        return true;
    case Qt::Key_Down:
        SetAngle(m_angle + 359);
        return true;
    default:
        return false;
    }
}

void CRXAngleCtrl::keyPressEvent(QKeyEvent* e) {
    if (!HandleKey(e->key()))
        MouseMixin<OwnerDrawButton>::keyPressEvent(e);
}

bool CRXAngleCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_edit && event->type() == QEvent::KeyPress &&
        HandleKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    if (watched == &m_edit &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return MouseMixin<OwnerDrawButton>::eventFilter(watched, event);
}

void CRXAngleCtrl::Paint(QPainter& g, const DrawItem&) {
    const QPen pen(QColor::fromRgba(0xFF909292), 1);
    const QPointF c(m_cx, m_cy);
    g.setPen(pen);
    g.setBrush(QColor::fromRgba(0xFFC8C6C6));
    g.drawEllipse(c, m_radius, m_radius);
    // The radius line, a pie of almost no sweep starting at angle + 180 (clockwise from +x).
    const double a = qDegreesToRadians(double(m_angle + 180));
    g.drawLine(c, c + QPointF(m_radius * std::cos(a), m_radius * std::sin(a)));
    if (!m_texture.isNull())
        g.setBrush(QBrush(m_texture));
    g.drawEllipse(c, 22, 22);
    g.setBrush(QColor::fromRgba(0xFFFFFFFF));
    g.setPen(m_edit.hasFocus() ? QPen(QColor(0x4F, 0x6B, 0xED), 1.5) : pen);
    g.drawEllipse(c, 15, 15);
}

} // namespace rx
