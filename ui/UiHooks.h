// Replaceable calls from the controls into the application: the default beep, the open-file
// dialog, the colour dialog and opening a link. The application installs its own; the defaults
// work without it (and tests install recorders). Message boxes go through the program's one
// hook, rx::ShowMessageBox (engine/MessageBox.h).
#pragma once

#include <QColor>
#include <QString>
#include <QUrl>
#include <functional>

#include "engine/MessageBox.h"

class QWidget;

namespace rx::ui {

using BeepHook = std::function<void()>;
using OpenFileHook =
    std::function<QString(QWidget* owner, const QString& filter, const QString& initialPath)>;
using ChooseColorHook = std::function<QColor(QWidget* owner, const QColor& initial)>;
using OpenUrlHook = std::function<bool(const QUrl& url)>;

// Each setter installs a hook (an empty one restores the default) and returns the previous.
// Default: QApplication::beep().
BeepHook SetBeepHook(BeepHook hook);
// Default: QFileDialog::getOpenFileName; an empty result means cancelled.
OpenFileHook SetOpenFileHook(OpenFileHook hook);
// Default: QColorDialog::getColor; an invalid colour means cancelled.
ChooseColorHook SetChooseColorHook(ChooseColorHook hook);
// Default: QDesktopServices::openUrl.
OpenUrlHook SetOpenUrlHook(OpenUrlHook hook);

// rx::ShowMessageBox with Qt strings; style bits and answers as there (rx::MB_OK, rx::IDOK...).
int ShowMessage(const QString& text, const QString& caption, unsigned style);
void Beep();
QString ChooseOpenFile(QWidget* owner, const QString& filter, const QString& initialPath);
QColor ChooseColor(QWidget* owner, const QColor& initial);
bool OpenUrl(const QUrl& url);

} // namespace rx::ui
