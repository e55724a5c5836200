// The Bulk Rename panel: a common text placed before (prefix) or after (suffix) a running
// number, the number's digit count and its start value. Renaming changes no pixels, so every
// report says the preview need not be refreshed. The text box keeps the text usable in a
// file name: forbidden characters, and white space at the open end, are removed with a beep.
#pragma once

#include "ops/RenameOp.h"
#include "ui/CRXOperationWnd.h"

namespace rx {

class CToggleButton;

class CRXRenameWnd : public CRXOperationWnd {
    Q_OBJECT
public:
    static constexpr int kSwitchId = 1230;
    static constexpr int kTextBoxId = 1231;
    static constexpr int kDigitsListId = 1232;
    static constexpr int kStartBoxId = 1233;

    CRXRenameWnd();

    int GetPanelHeight() const override { return 87; }
    QString GetIconName() const override { return QStringLiteral("RENAME"); }
    QString GetTitle() const override { return QStringLiteral("Bulk Rename"); }
    // The record is ready and the start box is not empty.
    bool IsReady() const override;
    // Switch state, text, digits entry, start number, then OnModeChanged.
    void LoadSettings() override;

    RenameOp& Op() { return m_op; }
    CToggleButton* SideSwitch() const { return m_switch; }
    QLineEdit* TextBox() const { return m_text; }
    QComboBox* DigitsList() const { return m_digits; }
    QLineEdit* StartBox() const { return m_start; }
    QLabel* PrefixLabel() const { return m_prefix; }
    QLabel* SuffixLabel() const { return m_suffix; }

    // The text rule: the cleaned text and whether anything was removed. Removes control
    // characters and " * / : < > ? \ |, and the white space at the text's open end (trailing
    // in suffix mode, leading in prefix mode), so one edit gives at most one beep.
    static QString CleanText(const QString& text, bool suffix, bool* changed);

protected:
    void CreateControls() override;
    void OnModeChanged() override;
    // Always reports without a preview refresh.
    void NotifySettingsChanged(bool refreshPreview) override;

private:
    // Applies the text rule to the box (beeping and writing back when it changed) and stores
    // the result in `common`.
    void ApplyTextRule();

    RenameOp m_op;
    QLabel* m_prefix = nullptr;
    CToggleButton* m_switch = nullptr;
    QLabel* m_suffix = nullptr;
    QComboBox* m_digits = nullptr;
    QLineEdit* m_text = nullptr;
    QLineEdit* m_start = nullptr;
    bool m_inRule = false;
};

} // namespace rx
