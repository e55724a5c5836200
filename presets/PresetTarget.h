// What the preset commands need from the settings in use: the window's operation panels (or,
// without a window, a set of operation records). UI thread only.
#pragma once

#include <string>

namespace rx {

class PresetTarget {
public:
    virtual ~PresetTarget() = default;

    // The preset document of the settings in use (switched-on operations only).
    virtual std::wstring SavePreset() = 0;
    // Replaces the settings in use by a preset document. A text that does not parse changes
    // nothing and returns false.
    virtual bool ApplyPreset(const std::wstring& text) = 0;
    // True when at least one operation is switched on and ready to run.
    virtual bool AnyReady() const = 0;
};

} // namespace rx
