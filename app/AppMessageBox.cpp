#include "app/AppMessageBox.h"

#include "engine/MessageBox.h"
#include "ui/UiHooks.h"

#include <QApplication>
#include <QMessageBox>

namespace rx {

namespace {

QMessageBox::Icon IconFor(unsigned style) {
    switch (style & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int ShowAppMessageBox(const QString& text, const QString& caption, unsigned style) {
    QMessageBox box(IconFor(style), caption, text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    switch (style & 0xF) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        // A box without a Cancel button that is closed by its title bar still answers.
        return (style & 0xF) == MB_YESNO ? IDNO : (style & 0xF) == MB_OK ? IDOK : IDCANCEL;
    }
}

void InstallAppMessageBox() {
    SetMessageBoxHandler([](const std::wstring& text, const std::wstring& caption, unsigned style) {
        return ShowAppMessageBox(QString::fromStdWString(text), QString::fromStdWString(caption),
                                 style);
    });
}

} // namespace rx
