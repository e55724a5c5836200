// One QApplication for the widget tests (offscreen), created on first use.
#pragma once

#include <QApplication>

inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Declared first among a fixture's members, makes the application exist before the widgets.
struct TestAppGuard {
    TestAppGuard() { TestApp(); }
};
