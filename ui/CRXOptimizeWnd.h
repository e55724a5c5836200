// The Optimize panel: which file types to optimize (mode list) and a five-step quality
// slider labelled "min", "opt" and "max".
#pragma once

#include "ops/OptimizeOp.h"
#include "ui/CRXOperationWnd.h"

namespace rx {

class CRXSliderCtrl;

class CRXOptimizeWnd : public CRXOperationWnd {
    Q_OBJECT
public:
    CRXOptimizeWnd();

    int GetPanelHeight() const override { return 96; }
    QString GetIconName() const override { return QStringLiteral("OPTIMIZE"); }
    QString GetTitle() const override { return QStringLiteral("Optimize"); }
    // The mode, then the slider at `quality`.
    void LoadSettings() override;

    OptimizeOp& Op() { return m_op; }
    CRXSliderCtrl* Slider() const { return m_slider; }
    // The "min", "opt" and "max" labels.
    QLabel* TickLabel(int i) const { return m_labels[i]; }

protected:
    void CreateControls() override;

private:
    OptimizeOp m_op;
    CRXSliderCtrl* m_slider = nullptr;
    QLabel* m_labels[3] = {};
};

} // namespace rx
