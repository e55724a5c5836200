#include "app/CAboutDlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "engine/Version.h"
#include "ui/SkinResources.h"

namespace rx {
namespace {
// The labels of the template "ABOUTDLG", in dialog units.
constexpr QRect kVersionUnits(183, 73, 90, 10);
constexpr QRect kCreditUnits(79, 171, 175, 10);
// The thin frame of a bordered pop-up, around the picture.
constexpr int kBorder = 1;
const QColor kBorderColour(100, 100, 100);
const QColor kCreditColour(182, 182, 182);
const QString kLabelFace = QStringLiteral("Lucida Sans Unicode");
constexpr int kLabelPoints = 10;
constexpr QSize kPictureSize(500, 300);

// Windows' MulDiv: the product divided, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}
} // namespace

QRect CAboutDlg::DialogUnitsToPixels(const QRect& units) {
    const int left = MulDiv(units.left(), 6, 4);
    const int top = MulDiv(units.top(), 13, 8);
    const int right = MulDiv(units.left() + units.width(), 6, 4);
    const int bottom = MulDiv(units.top() + units.height(), 13, 8);
    return QRect(left, top, right - left, bottom - top);
}

CAboutDlg::CAboutDlg(QWidget* parent) : CAboutDlg(parent, kBackgroundName) {}

CAboutDlg::CAboutDlg(QWidget* parent, const QString& backgroundName)
    : QDialog(parent), version_(this), credit_(this) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    LoadPngResource(backgroundName, background_);
    // The box is the size of its picture (333 x 185 dialog units); the frame goes around it.
    const QSize picture = backgroundLoaded() ? background_.size() : kPictureSize;
    setFixedSize(picture.width() + 2 * kBorder, picture.height() + 2 * kBorder);

    const QPoint origin(kBorder, kBorder);
    version_.setObjectName(QString::number(kVersionId));
    version_.setGeometry(DialogUnitsToPixels(kVersionUnits).translated(origin));
    version_.SetStaticStyle(SS_LEFT);
    version_.Attach();
    version_.UseTransparentBackground(true)
        .UseFontFace(kLabelFace, 0)
        .UseFontPoints(kLabelPoints)
        .UseTextColour(Qt::black)
        .ReplaceText(kVersionFormat.arg(QString::fromLatin1(kVersion)));

    credit_.setObjectName(QString::number(kCreditId));
    credit_.setGeometry(DialogUnitsToPixels(kCreditUnits).translated(origin));
    credit_.SetStaticStyle(SS_CENTER);
    credit_.Attach();
    credit_.UseTransparentBackground(true)
        .UseFontFace(kLabelFace, 0)
        .UseFontPoints(kLabelPoints)
        .UseTextColour(kCreditColour)
        .ReplaceText(kCreditText);
}

void CAboutDlg::paintEvent(QPaintEvent*) {
    QPainter g(this);
    g.fillRect(rect(), kBorderColour);
    const QRect client = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    if (backgroundLoaded()) {
        g.setRenderHint(QPainter::SmoothPixmapTransform);
        DrawImageIn(g, background_, client);
    } else {
        g.fillRect(client, palette().color(QPalette::Window));
    }
}

void CAboutDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    // Escape cancels as in any dialog; every other key closes the box as OK.
    if (event->key() == Qt::Key_Escape) {
        QDialog::keyPressEvent(event);
        return;
    }
    accept();
}

} // namespace rx
