// Shared set-up of the panel tests: the offscreen application, the interface fonts, the
// embedded caption font and a beep counter.
#pragma once

#include "QtTestApp.h"
#include "ui/InterfaceFonts.h"
#include "ui/PrivateFontCollection.h"
#include "ui/UiHooks.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

inline rx::PrivateFontCollection& TestPrivateFonts() {
    static rx::PrivateFontCollection* fonts = [] {
        auto* f = new rx::PrivateFontCollection;
        f->LoadEmbeddedFont();
        return f;
    }();
    return *fonts;
}

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        if (!rx::ui::HaveInterfaceFonts())
            rx::ui::CreateInterfaceFonts();
        rx::ui::SetPrivateFonts(&TestPrivateFonts());
        m_previousBeep = rx::ui::SetBeepHook([this] { ++beeps; });
    }
    void TearDown() override { rx::ui::SetBeepHook(m_previousBeep); }

    // Shows the host window and gives the widget the keyboard focus, as a user's click would.
    static void Focus(QWidget& host, QWidget& w) {
        host.show();
        host.activateWindow();
        w.setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    // Replaces the box's text by typing, key by key.
    static void TypeInto(QWidget& host, QLineEdit& box, const QString& text) {
        Focus(host, box);
        box.selectAll();
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClicks(&box, text);
    }

    int beeps = 0;

private:
    rx::ui::BeepHook m_previousBeep;
};
