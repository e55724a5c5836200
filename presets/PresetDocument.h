// The preset document: compact JSON with one section per switched-on operation, "mode" first,
// every value a string. Written from and applied to the four operation records and their on/off
// flags, in panel order (Watermark, Resize, Optimize, Rename). Needs no window.
#pragma once

#include <array>
#include <string>

#include "engine/Operation.h"

namespace rx {

using OperationRecords = std::array<Operation*, kOperationCount>;
using OperationFlags = std::array<bool, kOperationCount>;

class PresetDocument {
public:
    // The document of the switched-on records, followed by one line feed. Null records are
    // treated as switched off.
    static std::wstring Save(const OperationRecords& records, const OperationFlags& on);

    // Applies a document: every record gets its section (or an empty one, i.e. its defaults)
    // and is on exactly when its section has at least one member. A text that does not parse
    // changes no record and no flag and returns false; so does one nested deeper than
    // kMaxNesting, which is refused before it is parsed.
    static bool Apply(const std::wstring& text, const OperationRecords& records,
                      OperationFlags* on);

    // Our documents nest two levels ("font.name" is the deepest key); far deeper ones are
    // hand-made and would exhaust the stack of the recursive JSON reader.
    static constexpr int kMaxNesting = 64;

    // The document of "Default Preset": everything off at defaults.
    static constexpr const wchar_t* kDefault = L"{}";
};

} // namespace rx
