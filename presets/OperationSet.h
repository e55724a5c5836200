// The four operation records with their on/off flags, as a job source and a preset target,
// for programs without the window's panels (the command-line tool, tests).
#pragma once

#include <string>

#include "engine/RXWorker.h"
#include "ops/OptimizeOp.h"
#include "ops/RenameOp.h"
#include "ops/ResizeOp.h"
#include "ops/WatermarkOp.h"
#include "presets/PresetDocument.h"

namespace rx {

class OperationSet final : public OperationSource {
public:
    WatermarkOp watermark;
    ResizeOp resize;
    OptimizeOp optimize;
    RenameOp rename;
    OperationFlags on{};

    OperationRecords records() { return {&watermark, &resize, &optimize, &rename}; }
    // A record takes part when it is switched on and ready.
    const Operation* ReadyOperation(int slot) const override;
    bool AnyReady() const;

    // False (nothing changed) when the text does not parse.
    bool ApplyPreset(const std::wstring& text) {
        return PresetDocument::Apply(text, records(), &on);
    }
    std::wstring SavePreset() { return PresetDocument::Save(records(), on); }
};

} // namespace rx
