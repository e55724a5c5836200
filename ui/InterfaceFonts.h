// The interface fonts every panel and window shares, and the standard control height.
// The application creates the fonts once at start-up (tests do the same); the height is
// measured once, from the first drop-down list made with the regular font, and kept for the
// life of the process. UI thread only.
#pragma once

#include <QFont>

class QComboBox;

namespace rx {
class PrivateFontCollection;
}

namespace rx::ui {

// The interface fonts are 16 px high as a cell (ascent, descent and internal leading), which
// for the interface face the panels were laid out with is an em size of 12 px: labels such
// as "opacity" and "height:" fit their 40-odd-pixel rectangles at that size.
constexpr int kInterfaceFontHeight = 16;
constexpr int kInterfaceFontPixels = 12;

// Creates the regular and the bold interface font at kInterfaceFontPixels: the first of
// "Segoe UI", "Liberation Sans", "Arial" that is installed, else the application's default
// family. Safe to call again (the fonts are made anew; the measured control height stays).
void CreateInterfaceFonts();
// Whether CreateInterfaceFonts has run.
bool HaveInterfaceFonts();
// The regular interface font (the application's default font before CreateInterfaceFonts).
const QFont& RegularFont();
// The bold interface font: the regular one at bold weight.
const QFont& BoldFont();

// The standard control height. Asked before any list was measured, it measures a drop-down
// list made for the purpose (0 only without an application object).
int StandardControlHeight();
// Measures the list's height once: the first call with a list whose font is the regular font
// sets the standard height; later calls change nothing. Returns the standard height.
int MeasureStandardControlHeight(const QComboBox& list);

// The application's private fonts (the embedded "Pacifico"), as the application loaded them;
// null when none were given (captions then look the family up among all fonts).
void SetPrivateFonts(const PrivateFontCollection* fonts);
const PrivateFontCollection* PrivateFonts();

} // namespace rx::ui
