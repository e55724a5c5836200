// Replaceable calls from the controls into the application: message boxes, the default beep,
// the open-file dialog, the colour dialog and opening a link. The application installs its
// own; the defaults work without it (and tests install recorders).
#pragma once

#include <QColor>
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace rx::ui {

// Message box style bits as the texts were designed with.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbIconInformation = 0x40;

using MessageBoxHook =
    std::function<int(const QString& text, const QString& caption, unsigned style)>;
using BeepHook = std::function<void()>;
using OpenFileHook =
    std::function<QString(QWidget* owner, const QString& filter, const QString& initialPath)>;
using ChooseColorHook = std::function<QColor(QWidget* owner, const QColor& initial)>;
using OpenUrlHook = std::function<bool(const QUrl& url)>;

// Each setter installs a hook (an empty one restores the default) and returns the previous.
// Default: the text goes to standard error and the answer is 1 (OK).
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
// Default: QApplication::beep().
BeepHook SetBeepHook(BeepHook hook);
// Default: QFileDialog::getOpenFileName; an empty result means cancelled.
OpenFileHook SetOpenFileHook(OpenFileHook hook);
// Default: QColorDialog::getColor; an invalid colour means cancelled.
ChooseColorHook SetChooseColorHook(ChooseColorHook hook);
// Default: QDesktopServices::openUrl.
OpenUrlHook SetOpenUrlHook(OpenUrlHook hook);

int ShowMessage(const QString& text, const QString& caption, unsigned style);
void Beep();
QString ChooseOpenFile(QWidget* owner, const QString& filter, const QString& initialPath);
QColor ChooseColor(QWidget* owner, const QColor& initial);
bool OpenUrl(const QUrl& url);

} // namespace rx::ui
