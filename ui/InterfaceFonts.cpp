#include "ui/InterfaceFonts.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>

namespace rx::ui {

namespace {
QFont* g_regular = nullptr;
QFont* g_bold = nullptr;
int g_controlHeight = 0;
const PrivateFontCollection* g_privateFonts = nullptr;

const QFont& DefaultFont() {
    static const QFont font = QApplication::font();
    return font;
}
} // namespace

void CreateInterfaceFonts() {
    QFont regular = QApplication::font();
    for (const char* family : {"Segoe UI", "Liberation Sans", "Arial"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            regular.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    regular.setBold(false);
    regular.setItalic(false);
    regular.setPixelSize(kInterfaceFontPixels);
    QFont bold = regular;
    bold.setBold(true);
    delete g_regular;
    delete g_bold;
    g_regular = new QFont(regular);
    g_bold = new QFont(bold);
}

bool HaveInterfaceFonts() {
    return g_regular != nullptr;
}

const QFont& RegularFont() {
    return g_regular ? *g_regular : DefaultFont();
}

const QFont& BoldFont() {
    static QFont fallback = [] {
        QFont f = DefaultFont();
        f.setBold(true);
        return f;
    }();
    return g_bold ? *g_bold : fallback;
}

int StandardControlHeight() {
    if (g_controlHeight == 0 && QApplication::instance()) {
        QComboBox list;
        list.setFont(RegularFont());
        MeasureStandardControlHeight(list);
    }
    return g_controlHeight;
}

int MeasureStandardControlHeight(const QComboBox& list) {
    if (g_controlHeight == 0 && list.font() == RegularFont())
        g_controlHeight = list.sizeHint().height();
    return g_controlHeight;
}

void SetPrivateFonts(const PrivateFontCollection* fonts) {
    g_privateFonts = fonts;
}

const PrivateFontCollection* PrivateFonts() {
    return g_privateFonts;
}

} // namespace rx::ui
