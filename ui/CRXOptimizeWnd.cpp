#include "ui/CRXOptimizeWnd.h"

#include "ui/CRXSliderCtrl.h"

#include <QComboBox>
#include <QLabel>

namespace rx {

CRXOptimizeWnd::CRXOptimizeWnd() : CRXOperationWnd(m_op) {}

void CRXOptimizeWnd::CreateControls() {
    QStringList labels;
    for (int i = 0; i < kOptimizeModeCount; ++i)
        labels << QString::fromWCharArray(OptimizeModeLabel(i));
    CreateList(Edges(20, 15, 235, 35), labels, kModeListId);

    m_slider = new CRXSliderCtrl(this);
    m_slider->setGeometry(Edges(20, 45, 375, 75));
    m_slider->setRange(1, int(OptimizeOp::kMaxQuality));
    m_slider->setSingleStep(1);
    m_slider->setPageStep(1);
    m_slider->setTickInterval(1);
    m_slider->SetTicksBelow(true);
    QObject::connect(m_slider, &CRXSliderCtrl::HScroll, this, [this](int code, int position) {
        if (code == TB_ENDTRACK)
            return;
        m_op.quality = std::uint32_t(position);
        NotifySettingsChanged(true);
    });

    static const char* const names[] = {"min", "opt", "max"};
    const int ticks[] = {1, 3, 5};
    for (int i = 0; i < 3; ++i) {
        const int p = m_slider->GetTicPos(ticks[i]);
        // Slider coordinates: the slider starts at x 20, so the label centres under its tick.
        m_labels[i] = CreateLabel(QString::fromLatin1(names[i]), Edges(p - 10, 75, p + 50, 95),
                                  Qt::AlignHCenter | Qt::AlignTop);
    }
}

void CRXOptimizeWnd::LoadSettings() {
    CRXOperationWnd::LoadSettings();
    m_slider->setValue(int(m_op.quality));
}

} // namespace rx
