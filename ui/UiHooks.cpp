#include "ui/UiHooks.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <cstdio>

namespace rx::ui {

namespace {
MessageBoxHook g_messageBox;
BeepHook g_beep;
OpenFileHook g_openFile;
ChooseColorHook g_chooseColor;
OpenUrlHook g_openUrl;

template <class Hook> Hook Exchange(Hook& slot, Hook hook) {
    Hook previous = std::move(slot);
    slot = std::move(hook);
    return previous;
}
} // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return Exchange(g_messageBox, hook);
}
BeepHook SetBeepHook(BeepHook hook) {
    return Exchange(g_beep, hook);
}
OpenFileHook SetOpenFileHook(OpenFileHook hook) {
    return Exchange(g_openFile, hook);
}
ChooseColorHook SetChooseColorHook(ChooseColorHook hook) {
    return Exchange(g_chooseColor, hook);
}
OpenUrlHook SetOpenUrlHook(OpenUrlHook hook) {
    return Exchange(g_openUrl, hook);
}

int ShowMessage(const QString& text, const QString& caption, unsigned style) {
    if (g_messageBox)
        return g_messageBox(text, caption, style);
    std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    return 1;
}

void Beep() {
    if (g_beep)
        g_beep();
    else
        QApplication::beep();
}

QString ChooseOpenFile(QWidget* owner, const QString& filter, const QString& initialPath) {
    if (g_openFile)
        return g_openFile(owner, filter, initialPath);
    return QFileDialog::getOpenFileName(nullptr, QString(), initialPath, filter);
}

QColor ChooseColor(QWidget* owner, const QColor& initial) {
    if (g_chooseColor)
        return g_chooseColor(owner, initial);
    return QColorDialog::getColor(initial, owner);
}

bool OpenUrl(const QUrl& url) {
    if (g_openUrl)
        return g_openUrl(url);
    return QDesktopServices::openUrl(url);
}

} // namespace rx::ui
