#include "ui/UiHooks.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>

namespace rx::ui {

namespace {
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
    return ShowMessageBox(text.toStdWString(), caption.toStdWString(), style);
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
