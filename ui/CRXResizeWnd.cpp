#include "ui/CRXResizeWnd.h"

#include "ui/InterfaceFonts.h"
#include "ui/NumberMixin.h"
#include "ui/UiHooks.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace rx {

namespace {

QStringList ModeLabels() {
    QStringList labels;
    for (int i = 0; i < kResizeModeCount; ++i)
        labels << QString::fromWCharArray(ResizeModeLabel(i));
    return labels;
}

void MoveTo(QWidget* w, int x, int y) {
    w->move(x, y);
    w->show();
}

} // namespace

CRXResizeWnd::CRXResizeWnd() : CRXOperationWnd(m_op) {
    m_report.setSingleShot(false);
    m_report.setInterval(kReportDelayMs);
    m_report.setObjectName(QString::number(kReportTimerId));
    QObject::connect(&m_report, &QTimer::timeout, this, [this] {
        m_report.stop();
        NotifySettingsChanged(true);
    });
}

QRect CRXResizeWnd::GetCaptionRect(int, int) const {
    return Edges(0, 0, 375, GetPanelHeight());
}

void CRXResizeWnd::CreateControls() {
    QComboBox* list = CreateList(Edges(20, 15, 135, 35), ModeLabels(), kModeListId);
    const int h = ui::StandardControlHeight() > 0 ? ui::StandardControlHeight() : list->height();
    const int a = (80 - h) / 2;
    const int top = a - h / 2 - 5;
    const int bottom = a + h / 2 + 5;
    list->move(20, a);
    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignVCenter;
    m_w = CreateLabel(QStringLiteral("w"), Edges(155, top, 175, top + h), centred);
    m_h = CreateLabel(QStringLiteral("h"), Edges(155, bottom, 175, bottom + h), centred);
    m_width = CreateEdit(Edges(175, top, 215, top + h), kWidthBoxId, 4, true);
    m_height = CreateEdit(Edges(175, bottom, 215, bottom + h), kHeightBoxId, 4, true);
    m_percent = CreateEdit(Edges(175, a, 215, a + h), kPercentBoxId, 3, true);
    m_widthUnit = CreateLabel(QStringLiteral("px"), Edges(215, top, 235, top + h), centred);
    m_heightUnit = CreateLabel(QStringLiteral("px"), Edges(215, bottom, 235, bottom + h), centred);
    m_percentUnit = CreateLabel(QStringLiteral("%"), Edges(215, a, 235, a + h), centred);
    QObject::connect(m_width, &QLineEdit::textChanged, this,
                     [this] { OnBoxChanged(*m_width, m_op.width, kMaxSize); });
    QObject::connect(m_height, &QLineEdit::textChanged, this,
                     [this] { OnBoxChanged(*m_height, m_op.height, kMaxSize); });
    QObject::connect(m_percent, &QLineEdit::textChanged, this,
                     [this] { OnBoxChanged(*m_percent, m_op.percent, kMaxPercent); });
}

void CRXResizeWnd::LoadSettings() {
    CRXOperationWnd::LoadSettings();
    // A zero shows as an empty box: the box rule would otherwise beep at every 0 loaded.
    const auto write = [](QLineEdit* box, std::uint32_t value) {
        box->setText(value ? QString::number(value) : QString());
    };
    write(m_width, m_op.width);
    write(m_height, m_op.height);
    write(m_percent, m_op.percent);
}

void CRXResizeWnd::OnModeChanged() {
    CRXOperationWnd::OnModeChanged();
    PlaceControls();
}

void CRXResizeWnd::PlaceControls() {
    const int h = ui::StandardControlHeight() > 0 ? ui::StandardControlHeight() : m_width->height();
    const int a = (80 - h) / 2;
    for (QWidget* w : {static_cast<QWidget*>(m_width), static_cast<QWidget*>(m_height),
                       static_cast<QWidget*>(m_percent), static_cast<QWidget*>(m_w),
                       static_cast<QWidget*>(m_h), static_cast<QWidget*>(m_widthUnit),
                       static_cast<QWidget*>(m_heightUnit), static_cast<QWidget*>(m_percentUnit)})
        w->hide();
    switch (m_op.mode) {
    case ResizeOp::Width:
        MoveTo(m_width, 175, a);
        MoveTo(m_widthUnit, 215, a);
        break;
    case ResizeOp::Height:
        MoveTo(m_height, 175, a);
        MoveTo(m_heightUnit, 215, a);
        break;
    case ResizeOp::Percentage:
        MoveTo(m_percent, 175, a);
        MoveTo(m_percentUnit, 215, a);
        break;
    case ResizeOp::MaxSize:
    case ResizeOp::FreeSize: {
        const int up = a - (h / 2 + 5), down = a + (h / 2 + 5);
        MoveTo(m_width, 175, up);
        MoveTo(m_widthUnit, 215, up);
        MoveTo(m_w, 155, up);
        MoveTo(m_height, 175, down);
        MoveTo(m_heightUnit, 215, down);
        MoveTo(m_h, 155, down);
        break;
    }
    default:
        break;
    }
}

void CRXResizeWnd::OnBoxChanged(QLineEdit& box, std::uint32_t& field, std::uint32_t maximum) {
    const QString text = box.text();
    std::uint32_t value = std::uint32_t(LeadingDecimal(text));
    if (text == QLatin1String("0")) {
        ui::Beep();
        box.clear(); // runs this rule again with an empty text, which stores 0
        value = 0;
    } else if (value > maximum) {
        ui::Beep();
        box.setText(QString::number(maximum)); // runs this rule again, which stores the maximum
        value = maximum;
    }
    field = value;
    m_report.start();
}

} // namespace rx
