// The program's message box: a QMessageBox with the icon, buttons and caption that the style
// bits of the fixed texts ask for. CRXApp installs it as the one handler every part shows its
// messages through (UI thread only).
#pragma once

#include <QString>

class QWidget;

namespace rx {

// Shows the message modally over the active window and returns the answer (IDOK, IDCANCEL,
// IDYES, IDNO). Style: MB_OK / MB_OKCANCEL / MB_YESNO with an MB_ICON* bit.
int ShowAppMessageBox(const QString& text, const QString& caption, unsigned style);

// Installs ShowAppMessageBox as the program's one message-box handler (rx::ShowMessageBox);
// the controls' ui::ShowMessage goes there too.
void InstallAppMessageBox();

} // namespace rx
