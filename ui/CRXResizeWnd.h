// The Resize panel: a mode list ("Width", "Height", "Percentage", "Max size", "Free size")
// and up to two number boxes with their unit labels beside it. Typed numbers are stored at
// once and reported one second after the last change (timer 5522).
#pragma once

#include <QTimer>

#include "ops/ResizeOp.h"
#include "ui/CRXOperationWnd.h"

namespace rx {

class CRXResizeWnd : public CRXOperationWnd {
    Q_OBJECT
public:
    static constexpr int kWidthBoxId = 1220;
    static constexpr int kHeightBoxId = 1221;
    static constexpr int kPercentBoxId = 1222;
    static constexpr int kReportTimerId = 5522;
    static constexpr int kReportDelayMs = 1000;
    static constexpr std::uint32_t kMaxSize = 20000;
    static constexpr std::uint32_t kMaxPercent = 1000;

    CRXResizeWnd();

    int GetPanelHeight() const override { return 80; }
    QString GetIconName() const override { return QStringLiteral("RESIZE"); }
    QString GetTitle() const override { return QStringLiteral("Resize"); }
    // Selects the mode, then writes width, height and percent into their boxes (values over
    // the maxima are corrected there, with a beep).
    void LoadSettings() override;

    ResizeOp& Op() { return m_op; }
    QLineEdit* WidthBox() const { return m_width; }
    QLineEdit* HeightBox() const { return m_height; }
    QLineEdit* PercentBox() const { return m_percent; }
    // The report delay (timer 5522): active between a box change and its report.
    QTimer& ReportTimer() { return m_report; }

protected:
    void CreateControls() override;
    QRect GetCaptionRect(int top, int bottom) const override;
    void OnModeChanged() override;

private:
    // The number-box rule for one box: "0" clears with a beep, over the maximum writes the
    // maximum with a beep; the value is stored and the report timer restarted.
    void OnBoxChanged(QLineEdit& box, std::uint32_t& field, std::uint32_t maximum);
    void PlaceControls();

    ResizeOp m_op;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QLineEdit* m_percent = nullptr;
    QLabel* m_w = nullptr;
    QLabel* m_h = nullptr;
    QLabel* m_percentUnit = nullptr;
    QLabel* m_widthUnit = nullptr;
    QLabel* m_heightUnit = nullptr;
    QTimer m_report;
};

} // namespace rx
