#include "ui/CRXWatermarkWnd.h"

#include "ops/ColorRef.h"
#include "ui/CColorButton.h"
#include "ui/CImageCheckbox.h"
#include "ui/CImagePicker.h"
#include "ui/CImageStatic.h"
#include "ui/CRXAngleCtrl.h"
#include "ui/CRXPositionCtrl.h"
#include "ui/CRXSliderCtrl.h"
#include "ui/CToggleButton.h"
#include "ui/FrameworkIconButton.h"
#include "ui/InterfaceFonts.h"
#include "ui/TextPainter.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <boost/date_time/gregorian/gregorian.hpp>
#include <cmath>

namespace rx {

namespace {

QStringList KindLabels() {
    QStringList labels;
    for (int i = 0; i < kWatermarkKindCount; ++i)
        labels << QString::fromWCharArray(WatermarkKindLabel(i));
    return labels;
}

// The pad coordinate of a position fraction: fraction x 73 + 11, truncated. A fraction the pad
// wrote (n / 73, kept with 7 digits) can come back a hair below n; the small allowance keeps
// such a point where it was instead of moving it one pixel up or left at every load.
int PadCoordinate(float fraction) {
    if (!std::isfinite(fraction))
        fraction = 0;
    const double c = double(fraction) * (CRXPositionCtrl::kMax - CRXPositionCtrl::kMin) +
                     CRXPositionCtrl::kMin + 1e-4;
    return int(qBound(-1.0e6, c, 1.0e6));
}

void Show(std::initializer_list<QWidget*> widgets, bool shown) {
    for (QWidget* w : widgets)
        w->setVisible(shown);
}

} // namespace

const QStringList& CRXWatermarkWnd::StyleNames() {
    static const QStringList names = {QStringLiteral("Regular"), QStringLiteral("Bold"),
                                      QStringLiteral("Italic"), QStringLiteral("Bold Italic")};
    return names;
}

CRXWatermarkWnd::CRXWatermarkWnd() : CRXOperationWnd(m_op) {
    // Checkable before any preview window creates it, so that reports can clear it at any time.
    m_previewLock.setCheckable(true);
}

QList<int> CRXWatermarkWnd::StylesOf(const QString& family) {
    bool offered[4] = {};
    const QStringList styles = QFontDatabase::styles(family);
    for (const QString& s : styles) {
        const int weight = QFontDatabase::weight(family, s);
        const bool italic = QFontDatabase::italic(family, s);
        if (weight >= QFont::DemiBold)
            offered[italic ? 3 : 1] = true;
        else if (weight >= 350)
            offered[italic ? 2 : 0] = true;
    }
    QList<int> result;
    for (int i = 0; i < 4; ++i)
        // A family that is not installed is drawn in the generic sans-serif: all four.
        if (offered[i] || styles.isEmpty())
            result << i;
    return result;
}

void CRXWatermarkWnd::CreateControls() {
    CreateList(Edges(20, 15, 135, 35), KindLabels(), kModeListId);
    const boost::gregorian::date today = boost::gregorian::day_clock::local_day();
    m_dateList = CreateList(Edges(20, 55, 260, 75),
                            {QString::fromStdWString(FormatDate(today, WatermarkOp::ShortDate)),
                             QString::fromStdWString(FormatDate(today, WatermarkOp::LongDate))},
                            kDateListId);
    m_dateList->hide();
    QObject::connect(m_dateList, &QComboBox::activated, this, [this](int index) {
        m_op.dateFormat = WatermarkOp::DateFormat(index);
        NotifySettingsChanged(true);
    });
    CreateImageControls();
    CreateTextControls();
    CreateCommonControls();
}

void CRXWatermarkWnd::CreateImageControls() {
    m_picker = new CImagePicker;
    if (!m_picker->CreatePicker(Edges(20, 55, 133, 150), this))
        throw PanelCreationError("picker images missing");
    QObject::connect(m_picker, &CommandButton::Command, this, [this] { OnPickerChosen(); });
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    m_widthLabel = CreateLabel(QStringLiteral("width:"), Edges(137, 70, 180, 90), right);
    m_heightLabel = CreateLabel(QStringLiteral("height:"), Edges(137, 110, 180, 130), right);
    m_widthBox = CreateEdit(Edges(182, 70, 230, 90), kWidthBoxId, 4, true);
    m_heightBox = CreateEdit(Edges(182, 110, 230, 130), kHeightBoxId, 4, true);
    m_widthPx = CreateLabel(QStringLiteral("px"), Edges(232, 70, 250, 90), left);
    m_heightPx = CreateLabel(QStringLiteral("px"), Edges(232, 110, 250, 130), left);
    QObject::connect(m_widthBox, &QLineEdit::textChanged, this,
                     [this] { OnSizeBoxChanged(true, false); });
    QObject::connect(m_widthBox, &QLineEdit::textEdited, this,
                     [this] { OnSizeBoxChanged(true, true); });
    QObject::connect(m_heightBox, &QLineEdit::textChanged, this,
                     [this] { OnSizeBoxChanged(false, false); });
    QObject::connect(m_heightBox, &QLineEdit::textEdited, this,
                     [this] { OnSizeBoxChanged(false, true); });
    m_lock = new CImageCheckbox;
    m_lock->SetTransparent(true);
    if (!m_lock->CreateImageCheckbox(this, QPoint(250, 95), QStringLiteral("WMLOCK"), kLockId))
        throw PanelCreationError("lock images missing");
    m_lock->setChecked(true);
    m_lock->setToolTip(QStringLiteral("Constrain proportions"));
    QObject::connect(m_lock, &CommandButton::Command, this, [this] { OnLockClicked(); });
}

void CRXWatermarkWnd::CreateTextControls() {
    const int h = ui::StandardControlHeight() > 0 ? ui::StandardControlHeight() : 20;
    m_text = CreateEdit(Edges(20, 55, 260, 75), kTextBoxId, kTextLimit, false);
    QObject::connect(m_text, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_op.text = text.toStdWString();
        NotifySettingsChanged(true);
    });

    m_family = CreateList(Edges(20, 90, 190, 210), QFontDatabase::families(), kFamilyListId);
    QObject::connect(m_family, &QComboBox::activated, this, [this](int index) {
        const QString family = m_family->itemText(index);
        RebuildStyles(family, m_style->currentText());
        m_op.fontName = family.toStdWString();
        NotifySettingsChanged(true);
    });

    m_size = new NumberMixin<QComboBox>(this);
    SetControlId(*m_size, kSizeBoxId);
    m_size->setEditable(true);
    m_size->setInsertPolicy(QComboBox::NoInsert);
    m_size->setFont(ui::RegularFont());
    m_size->setGeometry(200, 90, 60, h);
    for (int size : kFontSizes)
        m_size->addItem(QString::number(size), size);
    m_size->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_size));
    QObject::connect(m_size->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) {
        const int n = LeadingDecimal(t);
        if (n == 0)
            return;
        m_op.fontSize = std::uint32_t(n);
        NotifySettingsChanged(true);
    });
    QObject::connect(m_size, &QComboBox::activated, this, [this](int index) {
        const int n = m_size->itemData(index).toInt();
        if (n == 0)
            return;
        m_op.fontSize = std::uint32_t(n);
        NotifySettingsChanged(true);
    });
    // The typed size becomes the fallback first, so only an empty or zero text is replaced.
    m_size->SetFocusLostHook([this] {
        const int n = LeadingDecimal(m_size->currentText());
        if (n != 0)
            m_size->SetFallback(n);
    });

    m_style = CreateList(Edges(20, 150 - h, 160, 150), {}, kStyleListId);
    QObject::connect(m_style, &QComboBox::activated, this, [this](int index) {
        const std::uint32_t style = index >= 0 ? m_style->itemData(index).toUInt() : 0;
        m_op.fontStyle = style + (m_underline->isChecked() ? FontStyleUnderline : 0);
        NotifySettingsChanged(true);
    });

    m_color = new CColorButton;
    m_color->setParent(this);
    m_color->SetControlId(kColorButtonId);
    SetControlId(*m_color, kColorButtonId);
    m_color->setGeometry(Edges(175, 150 - h, 210, 150));
    m_color->EnableOtherButton(QStringLiteral("Other"));
    m_color->SetColumnsNumber(10);
    QObject::connect(m_color, &CommandButton::Command, this, [this] {
        m_op.fontColor = ColorrefFromColor(m_color->GetColor());
        NotifySettingsChanged(true);
    });

    m_underline = new FrameworkIconButton;
    if (!m_underline->CreateIconButton(this, Edges(225, 150 - h, 260, 150),
                                       QStringLiteral("UNDERLINEU"), kUnderlineId))
        throw PanelCreationError("underline image missing");
    SetControlId(*m_underline, kUnderlineId);
    QObject::connect(m_underline, &CommandButton::Command, this, [this] {
        m_op.fontStyle = (m_op.fontStyle & ~std::uint32_t(FontStyleUnderline)) +
                         (m_underline->isChecked() ? FontStyleUnderline : 0);
        NotifySettingsChanged(true);
    });
}

void CRXWatermarkWnd::CreateCommonControls() {
    m_opacityLabel = CreateLabel(QStringLiteral("opacity"), Edges(20, 167, 60, 190),
                                 Qt::AlignLeft | Qt::AlignVCenter);
    m_slider = new CRXSliderCtrl(this);
    m_slider->setGeometry(Edges(60, 165, 220, 190));
    m_slider->setRange(0, 100);
    m_slider->SetTicksBelow(false);
    QObject::connect(m_slider, &CRXSliderCtrl::HScroll, this, [this](int code, int position) {
        if (code != TB_ENDTRACK)
            m_opacity->setText(QString::number(position));
    });
    m_opacity = CreateEdit(Edges(225, 167, 258, 187), kOpacityBoxId, 3, true);
    QObject::connect(m_opacity, &QLineEdit::textChanged, this, [this] { OnOpacityChanged(); });

    m_moveIcon = new CImageStatic;
    m_rotateIcon = new CImageStatic;
    if (!m_moveIcon->Create(QStringLiteral("MOVE"), Edges(280, 170, 293, 183), this) ||
        !m_rotateIcon->Create(QStringLiteral("ROTATE"), Edges(357, 170, 370, 183), this))
        throw PanelCreationError("icons missing");
    m_switch = new CToggleButton;
    try {
        m_switch->CreateSwitch(Edges(300, 167, 351, 185), this, kSwitchId);
    } catch (const std::exception&) {
        delete m_switch;
        m_switch = nullptr;
        throw PanelCreationError("switch images missing");
    }
    QObject::connect(m_switch, &CommandButton::Command, this, [this] { ApplyPositionOrAngle(); });

    m_pad = new CRXPositionCtrl;
    if (!m_pad->CreatePad(Edges(280, 55, 375, 150), this))
        throw PanelCreationError("pad images missing");
    QObject::connect(m_pad, &CommandButton::Command, this, [this] {
        const float range = CRXPositionCtrl::kMax - CRXPositionCtrl::kMin;
        m_op.positionX = float(m_pad->X() - CRXPositionCtrl::kMin) / range;
        m_op.positionY = float(m_pad->Y() - CRXPositionCtrl::kMin) / range;
        NotifySettingsChanged(true);
    });
    m_dial = new CRXAngleCtrl;
    if (!m_dial->CreateAngle(Edges(280, 55, 375, 150), this))
        throw PanelCreationError("dial image missing");
    QObject::connect(m_dial, &CommandButton::Command, this, [this] {
        m_op.angle = std::uint32_t(m_dial->Angle());
        NotifySettingsChanged(true);
    });
}

void CRXWatermarkWnd::LoadSettings() {
    CRXOperationWnd::LoadSettings();
    setFocus(Qt::OtherFocusReason);
    m_text->setText(QString::fromStdWString(m_op.text));
    if (!m_op.imagePath.empty())
        m_picker->LoadImageFile(QString::fromStdWString(m_op.imagePath.wstring()), false);
    const bool havePicture = !m_picker->Path().isEmpty();
    m_widthBox->setEnabled(havePicture);
    m_heightBox->setEnabled(havePicture);
    m_lock->setEnabled(havePicture);
    m_dateList->setCurrentIndex(int(m_op.dateFormat));
    m_opacity->setText(QString::number(m_op.alpha));
    m_dial->SetAngle(int(m_op.angle % 360u));
    // The dial reports only a change of its text; the record takes what it shows either way.
    m_op.angle = std::uint32_t(m_dial->Angle());

    const QString fontName = QString::fromStdWString(m_op.fontName);
    int family = m_family->findText(fontName, Qt::MatchStartsWith);
    if (family < 0) {
        // Not installed: show the family it is drawn in instead of an unrelated entry.
        family = m_family->findText(QFontInfo(QFont(fontName)).family(), Qt::MatchStartsWith);
    }
    if (family >= 0)
        m_family->setCurrentIndex(family);
    RebuildStyles(fontName, QString());
    const int style =
        m_style->findText(StyleNames()[int(m_op.fontStyle & 3u)], Qt::MatchStartsWith);
    if (style >= 0)
        m_style->setCurrentIndex(style);
    m_underline->setChecked(m_op.fontStyle & FontStyleUnderline);
    m_size->setEditText(QString::number(m_op.fontSize));
    m_color->SetColor(ColorFromColorref(m_op.fontColor));
    m_pad->SetPoint(PadCoordinate(m_op.positionX), PadCoordinate(m_op.positionY));
    m_widthBox->setText(QString::number(m_op.imageWidth));
    m_heightBox->setText(QString::number(m_op.imageHeight));
}

void CRXWatermarkWnd::RebuildStyles(const QString& family, const QString& keep) {
    m_style->clear();
    for (int style : StylesOf(family))
        m_style->addItem(StyleNames()[style], style);
    const int kept = keep.isEmpty() ? -1 : m_style->findText(keep, Qt::MatchFixedString);
    m_style->setCurrentIndex(kept >= 0 ? kept : 0);
}

void CRXWatermarkWnd::OnModeChanged() {
    CRXOperationWnd::OnModeChanged();
    ApplyVisibility();
}

void CRXWatermarkWnd::ApplyVisibility() {
    const auto kind = WatermarkKind(m_op.mode);
    const bool text = kind == WatermarkKind::Text || kind == WatermarkKind::Script;
    const bool image = kind == WatermarkKind::Image;
    const bool fonts = text || kind == WatermarkKind::Datestamp;
    const bool moves = kind != WatermarkKind::Script && kind >= WatermarkKind::Text &&
                       kind <= WatermarkKind::Datestamp;
    Show({m_text}, text);
    Show({m_dateList}, kind == WatermarkKind::Datestamp);
    Show({m_family, m_size, m_style, m_color, m_underline}, fonts);
    Show({m_picker, m_widthLabel, m_heightLabel, m_widthBox, m_heightBox, m_widthPx, m_heightPx,
          m_lock},
         image);
    Show({m_switch, m_moveIcon, m_rotateIcon}, moves);
    ApplyPositionOrAngle();
}

void CRXWatermarkWnd::ApplyPositionOrAngle() {
    const bool angle = WatermarkKind(m_op.mode) == WatermarkKind::Script || m_switch->State();
    m_dial->setVisible(angle);
    m_pad->setVisible(!angle);
}

void CRXWatermarkWnd::OnSizeBoxChanged(bool widthBox, bool fromUser) {
    QLineEdit* own = widthBox ? m_widthBox : m_heightBox;
    QLineEdit* other = widthBox ? m_heightBox : m_widthBox;
    const int n = LeadingDecimal(own->text());
    if (n == 0)
        return;
    (widthBox ? m_op.imageWidth : m_op.imageHeight) = n;
    if (!fromUser)
        return;
    const int ownNatural = widthBox ? m_picker->NaturalWidth() : m_picker->NaturalHeight();
    const int otherNatural = widthBox ? m_picker->NaturalHeight() : m_picker->NaturalWidth();
    if (m_lock->isChecked() && ownNatural > 0) {
        const int m = int(qint64(n) * otherNatural / ownNatural);
        (widthBox ? m_op.imageHeight : m_op.imageWidth) = m;
        other->setText(QString::number(m));
    }
    NotifySettingsChanged(true);
}

void CRXWatermarkWnd::OnOpacityChanged() {
    const int n = LeadingDecimal(m_opacity->text());
    if (n > 100) {
        m_opacity->setText(QStringLiteral("100")); // runs this handler again
        return;
    }
    m_slider->setValue(n);
    if (std::uint32_t(n) != m_op.alpha) {
        m_op.alpha = std::uint32_t(n);
        NotifySettingsChanged(true);
    }
}

void CRXWatermarkWnd::OnPickerChosen() {
    const int w = m_picker->NaturalWidth(), h = m_picker->NaturalHeight();
    m_widthBox->setText(QString::number(w));
    m_heightBox->setText(QString::number(h));
    const bool sized = w != 0 && h != 0;
    m_widthBox->setEnabled(sized);
    m_heightBox->setEnabled(sized);
    m_lock->setEnabled(sized);
    m_op.imagePath = m_picker->Path().toStdWString();
    NotifySettingsChanged(true);
}

void CRXWatermarkWnd::OnLockClicked() {
    if (m_lock->isChecked()) {
        m_widthBox->setText(QString::number(m_picker->NaturalWidth()));
        m_heightBox->setText(QString::number(m_picker->NaturalHeight()));
    }
    NotifySettingsChanged(true);
}

void CRXWatermarkWnd::NotifySettingsChanged(bool refreshPreview) {
    m_previewLock.setChecked(false);
    m_op.referenceWidth = 0;
    m_op.referenceHeight = 0;
    CRXOperationWnd::NotifySettingsChanged(refreshPreview);
}

} // namespace rx
