#include "ui/CColorButton.h"

#include "ui/UiHooks.h"

#include <QGridLayout>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace rx {

CColorButton::CColorButton() {
    setFocusPolicy(Qt::StrongFocus);
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { ShowPopup(); });
}

void CColorButton::SetColor(const QColor& colour) {
    m_colour = colour;
    update();
}

const QVector<QColor>& CColorButton::Palette() {
    static const QVector<QColor> colours = [] {
        const QRgb rgb[] = {
            0x000000, 0x993300, 0x333300, 0x003300, 0x003366, 0x000080, 0x333399, 0x333333,
            0x800000, 0xFF6600, 0x808000, 0x008000, 0x008080, 0x0000FF, 0x666699, 0x808080,
            0xFF0000, 0xFF9900, 0x99CC00, 0x339966, 0x33CCCC, 0x3366FF, 0x800080, 0x969696,
            0xFF00FF, 0xFFCC00, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x00CCFF, 0x993366, 0xC0C0C0,
            0xFF99CC, 0xFFCC99, 0xFFFF99, 0xCCFFCC, 0xCCFFFF, 0x99CCFF, 0xCC99FF, 0xFFFFFF,
        };
        QVector<QColor> v;
        for (QRgb c : rgb)
            v.append(QColor::fromRgb(c));
        return v;
    }();
    return colours;
}

void CColorButton::ChooseColor(const QColor& colour) {
    if (m_popup)
        m_popup->close();
    if (!colour.isValid())
        return;
    SetColor(colour);
    EmitCommand();
}

void CColorButton::ChooseOther() {
    if (m_popup)
        m_popup->close();
    ChooseColor(rx::ui::ChooseColor(this, GetColor()));
}

void CColorButton::ShowPopup() {
    delete m_popup;
    m_popup = new QFrame(this, Qt::Popup);
    m_popup->setAttribute(Qt::WA_DeleteOnClose, false);
    m_popup->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(m_popup);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    const auto& colours = Palette();
    for (int i = 0; i < colours.size(); ++i) {
        auto* swatch = new QToolButton(m_popup);
        swatch->setFixedSize(16, 16);
        swatch->setAutoRaise(true);
        swatch->setToolTip(colours[i].name());
        swatch->setStyleSheet(QStringLiteral("QToolButton { background: %1; border: 1px solid "
                                             "#808080; } QToolButton:hover { border: 1px solid "
                                             "#000000; }")
                                  .arg(colours[i].name()));
        const QColor c = colours[i];
        QObject::connect(swatch, &QToolButton::clicked, this, [this, c] { ChooseColor(c); });
        grid->addWidget(swatch, i / m_columns, i % m_columns);
    }
    layout->addLayout(grid);
    if (!m_otherCaption.isEmpty()) {
        auto* other = new QPushButton(m_otherCaption, m_popup);
        other->setObjectName(QStringLiteral("other"));
        QObject::connect(other, &QPushButton::clicked, this, [this] { ChooseOther(); });
        layout->addWidget(other);
    }
    m_popup->adjustSize();
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
}

void CColorButton::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.fillRect(rect(), isEnabled() ? GetColor() : QColor(0xC0, 0xC0, 0xC0));
    g.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    g.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        QPen dots(QColor(0, 0, 0), 1, Qt::DotLine);
        g.setPen(dots);
        g.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

} // namespace rx
