#include "ui/CLabel.h"

#include <QPainter>

namespace rx {

CLabel::CLabel(QWidget* parent) : QLabel(parent), m_colour(palette().color(QPalette::WindowText)) {
    Attach();
}

void CLabel::Attach() {
    m_font = font();
}

CLabel& CLabel::Changed() {
    update();
    if (parentWidget())
        parentWidget()->update(geometry());
    return *this;
}

CLabel& CLabel::ReplaceText(const QString& text) {
    setText(text);
    return Changed();
}
CLabel& CLabel::UseTextColour(const QColor& colour) {
    m_colour = colour;
    return Changed();
}
CLabel& CLabel::UseTransparentBackground(bool transparent) {
    m_transparent = transparent;
    setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
    return Changed();
}
CLabel& CLabel::UseFontFace(const QString& face, int) {
    m_font.setFamily(face);
    return Changed();
}
CLabel& CLabel::UseFontPoints(int points) {
    m_font.setPointSize(points);
    return Changed();
}
CLabel& CLabel::UseBold(bool bold) {
    m_font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return Changed();
}
CLabel& CLabel::UseItalic(bool italic) {
    m_font.setItalic(italic);
    return Changed();
}
CLabel& CLabel::UseUnderline(bool underline) {
    m_font.setUnderline(underline);
    return Changed();
}

int CLabel::TextFlags(unsigned style, const QString& text) {
    int flags = 0;
    if (style & SS_CENTERIMAGE) {
        flags = text.contains(QStringLiteral("\r\n")) ? Qt::AlignHCenter | Qt::AlignTop
                                                      : Qt::AlignCenter;
    } else {
        switch (style & 0x1F) {
        case SS_CENTER:
            flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
            break;
        case SS_RIGHT:
            flags = Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap;
            break;
        case SS_LEFTNOWORDWRAP:
            flags = Qt::AlignLeft | Qt::AlignTop;
            break;
        default:
            flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        }
        if (text.contains(QLatin1Char('\t')))
            flags |= Qt::TextExpandTabs;
    }
    return flags;
}

void CLabel::paintEvent(QPaintEvent*) {
    QPainter g(this);
    if (!m_transparent)
        g.fillRect(rect(), palette().color(QPalette::Button));
    g.setFont(m_font);
    g.setPen(m_colour);
    QString text = QLabel::text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    g.drawText(rect(), TextFlags(m_style, QLabel::text()), text);
}

} // namespace rx
