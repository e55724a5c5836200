#include "ui/OperationPanelSet.h"

#include "ui/CImageCheckbox.h"
#include "ui/CRXOptimizeWnd.h"
#include "ui/CRXRenameWnd.h"
#include "ui/CRXResizeWnd.h"
#include "ui/CRXWatermarkWnd.h"

namespace rx {

OperationPanelSet::OperationPanelSet() {
    m_panels = {new CRXWatermarkWnd, new CRXResizeWnd, new CRXOptimizeWnd, new CRXRenameWnd};
    for (auto& panel : m_panels)
        QObject::connect(panel, &CRXOperationWnd::SettingsChanged, this,
                         &OperationPanelSet::SettingsChanged);
}

OperationPanelSet::~OperationPanelSet() {
    for (auto& toggle : m_toggles)
        delete toggle.data();
    for (auto& panel : m_panels)
        delete panel.data();
}

bool OperationPanelSet::CreateAll(QWidget* parent, int x, int y) {
    for (int i = 0; i < kOperationCount; ++i) {
        CRXOperationWnd& panel = Panel(i);
        if (!panel.CreatePanel(parent))
            return false;
        auto* toggle = new CImageCheckbox;
        toggle->SetTransparent(true);
        if (!toggle->CreateImageCheckbox(parent, QPoint(x, y), panel.GetIconName(),
                                         kToggleBaseId + i)) {
            delete toggle;
            return false;
        }
        toggle->setToolTip(panel.GetTitle());
        QObject::connect(toggle, &CommandButton::Command, this,
                         [this, i] { Q_EMIT ToggleClicked(i); });
        delete m_toggles[size_t(i)].data();
        m_toggles[size_t(i)] = toggle;
        x += toggle->Up().width() + 2;
    }
    return true;
}

int OperationPanelSet::Layout(int top) {
    int y = top;
    for (int i = 0; i < kOperationCount; ++i) {
        CRXOperationWnd& panel = Panel(i);
        CImageCheckbox* toggle = Toggle(i);
        if (toggle && toggle->isEnabled() && toggle->isChecked()) {
            panel.move(0, y);
            panel.show();
            y += panel.GetPanelHeight();
        } else {
            panel.hide();
        }
    }
    return y - top;
}

bool OperationPanelSet::ApplyPreset(const std::wstring& json) {
    OperationFlags on{};
    if (!PresetDocument::Apply(json, Records(), &on))
        return false;
    for (int i = 0; i < kOperationCount; ++i)
        SetSwitchedOn(i, on[size_t(i)]);
    for (int i = 0; i < kOperationCount; ++i)
        Panel(i).LoadSettings();
    return true;
}

std::wstring OperationPanelSet::SavePreset() const {
    OperationFlags on{};
    for (int i = 0; i < kOperationCount; ++i)
        on[size_t(i)] = IsSwitchedOn(i);
    return PresetDocument::Save(Records(), on);
}

CRXOperationWnd& OperationPanelSet::Panel(int index) const {
    return *m_panels[size_t(index)];
}

CRXWatermarkWnd& OperationPanelSet::Watermark() const {
    return static_cast<CRXWatermarkWnd&>(Panel(KindWatermark));
}

CRXResizeWnd& OperationPanelSet::Resize() const {
    return static_cast<CRXResizeWnd&>(Panel(KindResize));
}

CRXOptimizeWnd& OperationPanelSet::Optimize() const {
    return static_cast<CRXOptimizeWnd&>(Panel(KindOptimize));
}

CRXRenameWnd& OperationPanelSet::Rename() const {
    return static_cast<CRXRenameWnd&>(Panel(KindRename));
}

CImageCheckbox* OperationPanelSet::Toggle(int index) const {
    return index >= 0 && index < kOperationCount ? m_toggles[size_t(index)].data() : nullptr;
}

OperationRecords OperationPanelSet::Records() const {
    OperationRecords records{};
    for (int i = 0; i < kOperationCount; ++i)
        records[size_t(i)] = m_panels[size_t(i)] ? &m_panels[size_t(i)]->Record() : nullptr;
    return records;
}

bool OperationPanelSet::IsSwitchedOn(int index) const {
    const CImageCheckbox* toggle = Toggle(index);
    return toggle && toggle->isChecked();
}

void OperationPanelSet::SetSwitchedOn(int index, bool on) {
    if (CImageCheckbox* toggle = Toggle(index))
        toggle->setChecked(on);
}

bool OperationPanelSet::TakesPart(int index) const {
    return IsSwitchedOn(index) && m_panels[size_t(index)] && m_panels[size_t(index)]->IsReady();
}

bool OperationPanelSet::AnyTakesPart() const {
    for (int i = 0; i < kOperationCount; ++i)
        if (TakesPart(i))
            return true;
    return false;
}

bool OperationPanelSet::UncheckUnready() {
    bool changed = false;
    for (int i = 0; i < kOperationCount; ++i) {
        if (IsSwitchedOn(i) && !TakesPart(i)) {
            SetSwitchedOn(i, false);
            changed = true;
        }
    }
    return changed;
}

void OperationPanelSet::SetJobRunning(bool running) {
    for (int i = 0; i < kOperationCount; ++i) {
        if (CImageCheckbox* toggle = Toggle(i))
            toggle->setEnabled(!running);
        if (m_panels[size_t(i)])
            m_panels[size_t(i)]->setEnabled(!running);
    }
}

const Operation* OperationPanelSet::ReadyOperation(int slot) const {
    if (slot < 0 || slot >= kOperationCount || !TakesPart(slot))
        return nullptr;
    return &m_panels[size_t(slot)]->Record();
}

} // namespace rx
