#include "ui/FrameworkButton.h"

namespace rx {

FrameworkMenuButton::FrameworkMenuButton(QWidget* parent) : CommandButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    QObject::connect(this, &QAbstractButton::pressed, this, [this] { ShowMenu(); });
}

void FrameworkMenuButton::SetMenu(QMenu* menu) {
    if (m_menu)
        QObject::disconnect(m_menu, nullptr, this, nullptr);
    m_menu = menu;
    if (!menu)
        return;
    QObject::connect(menu, &QMenu::triggered, this, [this](QAction* action) {
        if (!m_menuOpen)
            return;
        m_menuResult = action->data().toInt();
        EmitCommand();
    });
    QObject::connect(menu, &QMenu::aboutToHide, this, [this] {
        setDown(false);
        update();
        // The triggered signal comes after aboutToHide; close the window for it afterwards.
        QMetaObject::invokeMethod(
            this, [this] { m_menuOpen = false; }, Qt::QueuedConnection);
    });
}

void FrameworkMenuButton::ShowMenu() {
    if (!m_menu)
        return;
    m_menuResult = 0;
    m_menuOpen = true;
    setDown(true);
    m_menu->popup(mapToGlobal(QPoint(0, height())));
}

} // namespace rx
