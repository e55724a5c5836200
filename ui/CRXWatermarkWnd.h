// The Watermark panel: the kind (text, image, tiled script or date stamp) with the text,
// font, picture, opacity, position and angle controls the kind uses. Every control writes
// its record field at once and reports with a preview refresh; each report also clears the
// preview's proportion lock and the record's reference size.
#pragma once

#include "ops/WatermarkOp.h"
#include "ui/CImageCheckbox.h"
#include "ui/CRXOperationWnd.h"
#include "ui/NumberMixin.h"

namespace rx {

class CColorButton;
class CImagePicker;
class CImageStatic;
class CRXAngleCtrl;
class CRXPositionCtrl;
class CRXSliderCtrl;
class CToggleButton;
class FrameworkIconButton;

class CRXWatermarkWnd : public CRXOperationWnd {
    Q_OBJECT
public:
    static constexpr int kTextBoxId = 1201;
    static constexpr int kFamilyListId = 1202;
    static constexpr int kSizeBoxId = 1203;
    static constexpr int kStyleListId = 1204;
    static constexpr int kColorButtonId = 1205;
    static constexpr int kUnderlineId = 1206;
    static constexpr int kOpacityBoxId = 1207;
    static constexpr int kSwitchId = 1209;
    static constexpr int kDateListId = 1212;
    static constexpr int kWidthBoxId = 1214;
    static constexpr int kHeightBoxId = 1215;
    static constexpr int kLockId = 1216;
    static constexpr int kTextLimit = 100;
    // The font size box's entries.
    static constexpr int kFontSizes[] = {9,  10, 11, 12, 13, 14, 15, 16, 18,  20,
                                         24, 28, 36, 48, 52, 64, 72, 96, 144, 288};
    // The style list's names, by style number (bits 0 and 1 of fontStyle).
    static const QStringList& StyleNames();

    CRXWatermarkWnd();

    int GetPanelHeight() const override { return 205; }
    QString GetIconName() const override { return QStringLiteral("WATERMARK"); }
    QString GetTitle() const override { return QStringLiteral("Add Watermark"); }
    // Shows every field of the record in its control (angle modulo 360, the position on the
    // pad's 73-px grid).
    void LoadSettings() override;

    // The preview window's proportions lock ("Save watermark proportions"). The object lives
    // with this panel: an open preview window makes it its child and hands it back when it
    // goes, so the check survives closing and reopening. Every report unchecks it.
    CImageCheckbox& PreviewLock() { return m_previewLock; }

    WatermarkOp& Op() { return m_op; }
    QComboBox* DateList() const { return m_dateList; }
    QLineEdit* TextBox() const { return m_text; }
    QComboBox* FamilyList() const { return m_family; }
    NumberMixin<QComboBox>* SizeBox() const { return m_size; }
    QComboBox* StyleList() const { return m_style; }
    CColorButton* ColorButton() const { return m_color; }
    FrameworkIconButton* UnderlineButton() const { return m_underline; }
    CImagePicker* Picker() const { return m_picker; }
    QLineEdit* WidthBox() const { return m_widthBox; }
    QLineEdit* HeightBox() const { return m_heightBox; }
    CImageCheckbox* Lock() const { return m_lock; }
    CRXSliderCtrl* OpacitySlider() const { return m_slider; }
    QLineEdit* OpacityBox() const { return m_opacity; }
    CRXPositionCtrl* PositionPad() const { return m_pad; }
    CRXAngleCtrl* AngleDial() const { return m_dial; }
    CToggleButton* MoveRotateSwitch() const { return m_switch; }

    // The style numbers (0 Regular, 1 Bold, 2 Italic, 3 Bold Italic) the family offers.
    static QList<int> StylesOf(const QString& family);

protected:
    void CreateControls() override;
    void OnModeChanged() override;
    void NotifySettingsChanged(bool refreshPreview) override;

private:
    void CreateImageControls();
    void CreateTextControls();
    void CreateCommonControls();
    void ApplyVisibility();
    void ApplyPositionOrAngle();
    // Fills the style list for the family; selects the named style when offered, else entry 0.
    void RebuildStyles(const QString& family, const QString& keep);
    // The width/height rule; fromUser is false for texts the program wrote.
    void OnSizeBoxChanged(bool widthBox, bool fromUser);
    void OnOpacityChanged();
    void OnPickerChosen();
    void OnLockClicked();

    WatermarkOp m_op;
    CImageCheckbox m_previewLock;
    QComboBox* m_dateList = nullptr;
    CImagePicker* m_picker = nullptr;
    QLabel* m_widthLabel = nullptr;
    QLabel* m_heightLabel = nullptr;
    QLineEdit* m_widthBox = nullptr;
    QLineEdit* m_heightBox = nullptr;
    QLabel* m_widthPx = nullptr;
    QLabel* m_heightPx = nullptr;
    CImageCheckbox* m_lock = nullptr;
    QLineEdit* m_text = nullptr;
    QComboBox* m_family = nullptr;
    NumberMixin<QComboBox>* m_size = nullptr;
    QComboBox* m_style = nullptr;
    CColorButton* m_color = nullptr;
    FrameworkIconButton* m_underline = nullptr;
    QLabel* m_opacityLabel = nullptr;
    CRXSliderCtrl* m_slider = nullptr;
    QLineEdit* m_opacity = nullptr;
    CImageStatic* m_moveIcon = nullptr;
    CImageStatic* m_rotateIcon = nullptr;
    CToggleButton* m_switch = nullptr;
    CRXPositionCtrl* m_pad = nullptr;
    CRXAngleCtrl* m_dial = nullptr;
};

} // namespace rx
