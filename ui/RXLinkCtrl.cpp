#include "ui/RXLinkCtrl.h"

#include "ui/UiHooks.h"

#include <QFontMetrics>
#include <QPainter>

namespace rx {

RXLinkCtrl::RXLinkCtrl() {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    QObject::connect(this, &QAbstractButton::clicked, this, [this] {
        ui::OpenUrl(Target());
        EmitCommand();
    });
}

QUrl RXLinkCtrl::Target() const {
    if (m_prefix == QLatin1String("file:"))
        return QUrl::fromLocalFile(m_url);
    return QUrl(m_prefix + m_url, QUrl::TolerantMode);
}

QFont RXLinkCtrl::BoldFont() const {
    QFont f = font();
    f.setBold(true);
    return f;
}

QSize RXLinkCtrl::TextSize() const {
    return QFontMetrics(BoldFont()).size(Qt::TextSingleLine, text()) + QSize(2, 2);
}

void RXLinkCtrl::SizeToContent(const QRect& within) {
    const QSize s = TextSize();
    setGeometry(QRect(within.left() + (within.width() - s.width()) / 2,
                      within.top() + (within.height() - s.height()) / 2, s.width(), s.height()));
}

void RXLinkCtrl::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.setFont(BoldFont());
    g.setPen(QColor(0xFF, 0xFF, 0xFF));
    const int flags = m_multiline ? Qt::TextWordWrap : Qt::TextSingleLine;
    g.drawText(rect(), flags | Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus() || underMouse()) {
        const QFontMetrics fm(BoldFont());
        const int w = qMin(width(), fm.horizontalAdvance(text()));
        const int y = (height() + fm.height()) / 2 - fm.descent() + 2;
        g.fillRect(QRect(0, qMin(y, height() - 1), w, 1), QColor(255, 255, 255, 170));
    }
}

} // namespace rx
