#include "presets/CPresetDialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "ui/CLabel.h"

namespace rx {
namespace {

const char kPrompt[] = "Type a new name for your preset or select an existing one:";

AskPresetNameHook& Hook() {
    static AskPresetNameHook hook;
    return hook;
}

} // namespace

CPresetDialog::CPresetDialog(QWidget* parent, const QStringList& names, const QString& name)
    : CRXDialog(QStringLiteral("PRESETDLG"), parent), m_name(name) {
    setWindowTitle(QStringLiteral("Rexmill"));
    setFixedSize(DialogSize(300, 80));

    m_label = new CLabel(this);
    m_label->setObjectName(QString::number(kLabelId));
    m_label->setGeometry(DialogRect(16, 15, 269, 12));
    m_label->UseTransparentBackground(true)
        .UseTextColour(Qt::black)
        .UseFontFace(QStringLiteral("Lucida Sans Unicode"), 0)
        .UseFontPoints(10)
        .ReplaceText(QString::fromLatin1(kPrompt));

    m_nameList = new QComboBox(this);
    m_nameList->setObjectName(QString::number(kNameListId));
    m_nameList->setEditable(true);
    // The list stays as given: typing a name and pressing Enter must not add it.
    m_nameList->setInsertPolicy(QComboBox::NoInsert);
    m_nameList->setDuplicatesEnabled(true);
    m_nameList->setGeometry(DialogRect(16, 30, 269, 14));
    for (qsizetype i = 1; i < names.size(); ++i)
        m_nameList->addItem(names[i]);

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("2"));
    m_cancel->setGeometry(DialogRect(174, 51, 50, 14));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_ok = new QPushButton(QStringLiteral("Ok"), this);
    m_ok->setObjectName(QStringLiteral("1"));
    m_ok->setGeometry(DialogRect(235, 51, 50, 14));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &CPresetDialog::accept);

    setTabOrder(m_nameList, m_cancel);
    setTabOrder(m_cancel, m_ok);

    // The name goes into the list's text and is read back, as the list may refuse some of it.
    m_nameList->setEditText(m_name);
    m_name = m_nameList->currentText();
    m_ok->setEnabled(!m_name.isEmpty());
    connect(m_nameList, &QComboBox::editTextChanged, this, &CPresetDialog::NameEdited);
    m_nameList->setFocus();
    m_nameList->lineEdit()->selectAll();
}

void CPresetDialog::NameEdited(const QString& text) {
    m_name = text;
    m_ok->setEnabled(!m_name.isEmpty());
}

void CPresetDialog::accept() {
    m_name = m_nameList->currentText();
    // Enter in the name field reaches here even while "Ok" is disabled.
    if (m_name.isEmpty())
        return;
    QDialog::accept();
}

bool AskPresetName(QString& name, QWidget* parent, const QStringList& names) {
    if (Hook())
        return Hook()(name, parent, names);
    CPresetDialog dialog(parent, names, name);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.name();
    return true;
}

AskPresetNameHook SetAskPresetNameHook(AskPresetNameHook hook) {
    AskPresetNameHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

} // namespace rx
