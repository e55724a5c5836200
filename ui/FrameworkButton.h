// Stand-ins for the toolkit's push button (with a check state and a transparent flag) and
// its menu button (pops up a menu on press and records the chosen command).
#pragma once

#include "ui/CommandButton.h"

#include <QMenu>
#include <QPointer>

namespace rx {

class FrameworkButton : public CommandButton {
public:
    explicit FrameworkButton(QWidget* parent = nullptr) : CommandButton(parent) {
        setFocusPolicy(Qt::StrongFocus);
        QObject::connect(this, &QAbstractButton::clicked, this, [this] { EmitCommand(); });
    }
    // The background is the parent's (nothing is filled behind the content).
    void SetTransparent(bool transparent) { m_transparent = transparent; }
    bool IsTransparent() const { return m_transparent; }

private:
    bool m_transparent = false;
};

class FrameworkMenuButton : public CommandButton {
public:
    explicit FrameworkMenuButton(QWidget* parent = nullptr);

    // The menu to pop up (not owned); each action's data is its command id.
    void SetMenu(QMenu* menu);
    QMenu* Menu() const { return m_menu; }
    // The command chosen in the last popup, 0 when none.
    int MenuResult() const { return m_menuResult; }

    void ShowMenu();

private:
    QPointer<QMenu> m_menu;
    int m_menuResult = 0;
    bool m_menuOpen = false;
};

} // namespace rx
