#include "ui/CRXDialog.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/InterfaceFonts.h"
#include "ui/SkinResources.h"

namespace rx {

CRXDialog::CRXDialog(const QString& templateName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_template(templateName) {
    setObjectName(templateName);
    // Dialog units are measured in the interface font, which the controls inherit.
    setFont(ui::RegularFont());
    LoadPngResource(QStringLiteral("SETTINGS"), m_background);
    // The texture covers everything; nothing needs to be erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize CRXDialog::BaseUnits() const {
    // The average width of the Latin letters, rounded, as dialog units have always been
    // measured.
    const QFontMetrics fm(font());
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QSize((letters / 26 + 1) / 2, fm.height());
}

QRect CRXDialog::DialogRect(int x, int y, int width, int height) const {
    const QSize base = BaseUnits();
    // Position and size are converted each on its own, as dialog templates always were, so
    // controls of the same size in units have the same size in pixels.
    return QRect(x * base.width() / 4 + kFrame, y * base.height() / 8 + kFrame,
                 width * base.width() / 4, height * base.height() / 8);
}

QSize CRXDialog::DialogSize(int width, int height) const {
    const QSize base = BaseUnits();
    return QSize(width * base.width() / 4 + 2 * kFrame, height * base.height() / 8 + 2 * kFrame);
}

void CRXDialog::paintEvent(QPaintEvent*) {
    QPainter g(this);
    const QRect client = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
    if (m_background.isNull()) {
        g.fillRect(client, palette().window());
    } else {
        // Tiled from the client origin, as the panels' backgrounds are.
        g.setBrushOrigin(client.topLeft());
        g.fillRect(client, QBrush(m_background));
    }
    g.setPen(QColor(0x64, 0x64, 0x64));
    g.setBrush(Qt::NoBrush);
    g.drawRect(rect().adjusted(0, 0, -1, -1));
}

// A press that reaches the dialog itself is on no control: it drags the dialog. The window
// system moves it where it can; elsewhere (no window manager, offscreen) it is moved by hand.
void CRXDialog::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(e);
        return;
    }
    e->accept();
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = e->globalPosition().toPoint() - pos();
}

void CRXDialog::mouseMoveEvent(QMouseEvent* e) {
    if (m_dragging && (e->buttons() & Qt::LeftButton)) {
        move(e->globalPosition().toPoint() - m_dragOffset);
        e->accept();
        return;
    }
    QDialog::mouseMoveEvent(e);
}

void CRXDialog::mouseReleaseEvent(QMouseEvent* e) {
    if (m_dragging && e->button() == Qt::LeftButton) {
        m_dragging = false;
        e->accept();
        return;
    }
    QDialog::mouseReleaseEvent(e);
}

} // namespace rx
