// The dialog that names a preset: a prompt, an editable list of the existing preset names and
// "Cancel" / "Ok", where "Ok" needs a name that is not empty. Shown modally by the Save As
// and Rename commands through AskPresetName. UI thread only.
#pragma once

#include <functional>

#include <QString>
#include <QStringList>

#include "ui/CRXDialog.h"

class QComboBox;
class QPushButton;

namespace rx {

class CLabel;

class CPresetDialog : public CRXDialog {
    Q_OBJECT

public:
    static constexpr int kLabelId = 1000;
    static constexpr int kNameListId = 1001;

    // names: the store's list; element 0 ("Default Preset") is not offered.
    CPresetDialog(QWidget* parent, const QStringList& names, const QString& name);

    // The name as typed or chosen; read back from the list's text.
    const QString& name() const { return m_name; }

    CLabel* label() const { return m_label; }
    QComboBox* nameList() const { return m_nameList; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void accept() override;

private:
    void NameEdited(const QString& text);

    QString m_name;
    CLabel* m_label = nullptr;
    QComboBox* m_nameList = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_ok = nullptr;
};

// Asks for a preset name: true with the confirmed name in name, false (name unchanged) when
// cancelled. Runs the installed hook, by default the modal CPresetDialog over parent.
bool AskPresetName(QString& name, QWidget* parent, const QStringList& names);

using AskPresetNameHook =
    std::function<bool(QString& name, QWidget* parent, const QStringList& names)>;
// Installs a replacement (an empty one restores the dialog) and returns the previous one.
AskPresetNameHook SetAskPresetNameHook(AskPresetNameHook hook);

} // namespace rx
