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

// The cell height (ascent plus descent) of the interface fonts, in pixels.
constexpr int kInterfaceFontHeight = 16;

// Creates the regular and the bold interface font: the application's default family at the
// largest pixel size whose cell is at most kInterfaceFontHeight high. Safe to call again
// (the fonts are made anew; the measured control height stays).
void CreateInterfaceFonts();
// Whether CreateInterfaceFonts has run.
bool HaveInterfaceFonts();
// The regular interface font (the application's default font before CreateInterfaceFonts).
const QFont& RegularFont();
// The bold interface font: the regular one at bold weight.
const QFont& BoldFont();

// The standard control height; 0 until the first drop-down list has been measured.
int StandardControlHeight();
// Measures the list's height once: the first call with a list whose font is the regular font
// sets the standard height; later calls change nothing. Returns the standard height.
int MeasureStandardControlHeight(const QComboBox& list);

// The application's private fonts (the embedded "Pacifico"), as the application loaded them;
// null when none were given (captions then look the family up among all fonts).
void SetPrivateFonts(const PrivateFontCollection* fonts);
const PrivateFontCollection* PrivateFonts();

} // namespace rx::ui
