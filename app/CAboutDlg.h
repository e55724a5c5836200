// The modal About box: the borderless picture "ABOUTBG" (500 x 300) with the program's version
// and a credit line; the first mouse press or key press closes it. UI thread only.
//
// The main window opens it on command 57664 ("&About Rexmill"):
//     CAboutDlg about(this);
//     about.exec();          // the result is not used
#pragma once

#include <QDialog>
#include <QImage>
#include <QRect>

#include "ui/CLabel.h"

namespace rx {

class CAboutDlg : public QDialog {
public:
    // Control ids of the labels, also their object names.
    static constexpr int kVersionId = 1001;
    static constexpr int kCreditId = 1007;
    static inline const QString kBackgroundName = QStringLiteral("ABOUTBG");
    static inline const QString kVersionFormat = QStringLiteral("Version %1");
    static inline const QString kCreditText = QStringLiteral("\u00A9 2026 Mornsby Software");

    // Dialog-unit rectangles of the template "ABOUTDLG" and their pixel size at the template
    // font (4 horizontal units = 6 px, 8 vertical units = 13 px).
    static QRect DialogUnitsToPixels(const QRect& units);

    // parent: the owner (the main window); the box is centred over it.
    explicit CAboutDlg(QWidget* parent = nullptr);
    // With another skin image as the background (a missing one gives the plain background).
    CAboutDlg(QWidget* parent, const QString& backgroundName);

    // Whether "ABOUTBG" was found; without it the box shows a plain background.
    bool backgroundLoaded() const { return !background_.isNull(); }
    CLabel& versionLabel() { return version_; }
    CLabel& creditLabel() { return credit_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage background_;
    CLabel version_;
    CLabel credit_;
};

} // namespace rx
