// The window's operation panels as the target of the preset commands. UI thread only.
#pragma once

#include "presets/PresetTarget.h"
#include "ui/OperationPanelSet.h"

namespace rx {

class PanelSetTarget final : public PresetTarget {
public:
    explicit PanelSetTarget(OperationPanelSet& panels) : m_panels(panels) {}

    std::wstring SavePreset() override { return m_panels.SavePreset(); }
    bool ApplyPreset(const std::wstring& text) override { return m_panels.ApplyPreset(text); }
    bool AnyReady() const override { return m_panels.AnyTakesPart(); }

private:
    OperationPanelSet& m_panels;
};

} // namespace rx
