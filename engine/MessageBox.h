// The one place where the program shows a message box with a fixed text.
// The window program installs a Qt dialog; tests and the command-line tool install their own.
#pragma once

#include <functional>
#include <string>

namespace rx {

// Style bits as the texts were designed with.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

using MessageBoxHandler =
    std::function<int(const std::wstring& text, const std::wstring& caption, unsigned style)>;

// Shows the message and returns the answer (IDOK, IDYES, ...). Blocks until it is answered.
// Without a handler the text goes to standard error and the answer is IDOK (or IDNO for a
// question).
int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style);

// Installs a handler (empty restores the default) and returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace rx
