#include "presets/PresetManager.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

#include "engine/DebugLog.h"
#include "engine/MessageBox.h"
#include "presets/CPresetDialog.h"
#include "presets/PresetTarget.h"
#include "settings/SettingsStore.h"

namespace rx {
namespace {

const wchar_t kCaption[] = L"Rexmill";
const char kModifiedPrompt[] = "Current preset '%1' is modified. Save changes?";
const char kDeletePrompt[] = "Are you sure you want to delete '%1' preset?";

int CommandOf(const QAction* item) {
    bool ok = false;
    const int id = item->data().toInt(&ok);
    return ok ? id : 0;
}

} // namespace

PresetManager::PresetManager(SettingsStore& settings, PresetTarget& target, QWidget* owner)
    : m_settings(settings), m_target(target), m_owner(owner),
      m_menu(std::make_unique<QMenu>(QStringLiteral("&Presets"), owner)) {
    m_group = new QActionGroup(m_menu.get());
    m_group->setExclusive(true);

    const auto add = [this](const char* text, int id) {
        QAction* item = m_menu->addAction(QString::fromLatin1(text));
        item->setData(id);
        return item;
    };
    m_default = add("Default Preset", kFirstPreset);
    m_default->setCheckable(true);
    m_default->setChecked(true);
    m_group->addAction(m_default);
    m_menu->addSeparator();
    m_save = add("Save", kSave);
    m_saveAs = add("Save As", kSaveAs);
    m_rename = add("Rename", kRename);
    m_delete = add("Delete", kDelete);
    for (QAction* item : {m_save, m_saveAs, m_rename, m_delete})
        item->setEnabled(false);
}

PresetManager::~PresetManager() {
    Close();
}

void PresetManager::AttachStart(QWidget* startButton, QAction* startProcessing) {
    m_startButton = startButton;
    m_startProcessing = startProcessing;
    UpdateCommands();
}

QString PresetManager::MenuText(const QString& name) {
    QString text = name;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

QAction* PresetManager::commandAction(int id) const {
    if (id == 0)
        return nullptr;
    for (QAction* item : m_menu->actions())
        if (!item->isSeparator() && CommandOf(item) == id)
            return item;
    return nullptr;
}

void PresetManager::Open() {
    if (m_store)
        return;
    m_closed = false;
    m_store = std::make_unique<PresetStore>(m_settings);
    // The store has read and sorted the names; each gets its item above "Default Preset".
    for (qsizetype i = 1; i < m_store->names().size(); ++i) {
        auto* item = new QAction(m_menu.get());
        item->setCheckable(true);
        m_group->addAction(item);
        m_menu->insertAction(m_default, item);
        m_presetItems.push_back(item);
    }
    Relabel(0);
    SelectPreset(kFirstPreset + m_store->RememberedIndex());
}

int PresetManager::AddName(const QString& name) {
    const qsizetype before = m_store->names().size();
    const int index = m_store->AddName(name);
    if (m_store->names().size() > before) {
        auto* item = new QAction(m_menu.get());
        item->setCheckable(true);
        m_group->addAction(item);
        m_menu->insertAction(m_default, item);
        m_presetItems.push_back(item);
    }
    return index;
}

void PresetManager::RemoveCurrent() {
    if (m_store->RemoveCurrent() < 0)
        return;
    QAction* last = m_presetItems.takeLast();
    m_menu->removeAction(last);
    delete last;
}

void PresetManager::Relabel(int index) {
    const QStringList& names = m_store->names();
    for (qsizetype p = 0; p < m_presetItems.size(); ++p) {
        QAction* item = m_presetItems[p];
        item->setText(MenuText(names[p + 1]));
        // Past the last preset command the ids belong to other commands: such an item is
        // listed but cannot be chosen.
        const int id = kFirstPreset + 1 + static_cast<int>(p);
        item->setData(id <= kLastPreset ? id : 0);
    }
    m_store->setCurrent(index);
    const int current = m_store->current();
    if (QAction* checked = commandAction(kFirstPreset + current))
        checked->setChecked(true);
    else if (QAction* any = m_group->checkedAction())
        any->setChecked(false);
    UpdateCommands();
}

bool PresetManager::HandleCommand(int id) {
    if (id >= kFirstPreset && id <= kLastPreset) {
        if (m_store)
            SelectPreset(id);
        return true;
    }
    if (id < kSave || id > kDelete)
        return false;
    if (!m_store)
        return true;
    // Enabling is worked out afresh: a command is refused exactly when its item is disabled.
    UpdateCommands();
    switch (id) {
    case kSave:
        if (m_save->isEnabled())
            Save();
        break;
    case kSaveAs:
        if (m_saveAs->isEnabled())
            SaveAs();
        break;
    case kRename:
        if (m_rename->isEnabled())
            Rename();
        break;
    case kDelete:
        if (m_delete->isEnabled())
            Delete();
        break;
    }
    return true;
}

void PresetManager::SelectPreset(int id) {
    if (!m_store)
        return;
    const int index = id - kFirstPreset;
    if (index < 0 || index >= m_store->names().size())
        return;
    // The job reads the operation records without a lock: they stay as they are until it ends.
    if (m_jobRunning) {
        DebugLog(L"Preset not switched while a job runs\n");
        return;
    }
    CheckModified();
    m_store->setCurrent(index);
    if (QAction* item = commandAction(id))
        item->setChecked(true);
    UpdateCommands();
    const QString text = m_store->ReadPreset(m_store->currentName());
    if (!m_target.ApplyPreset(text.toStdWString()))
        DebugLog(L"Preset '%s' could not be read; the settings are unchanged\n",
                 m_store->currentName().toStdWString().c_str());
    UpdateCommands();
    Q_EMIT PresetApplied();
}

void PresetManager::CheckModified() {
    if (!m_store || m_store->current() == 0)
        return;
    const QString name = m_store->currentName();
    const QString now = QString::fromStdWString(m_target.SavePreset());
    if (now == m_store->ReadPreset(name))
        return;
    const std::wstring question = QString::fromLatin1(kModifiedPrompt).arg(name).toStdWString();
    if (ShowMessageBox(question, kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
        m_store->Write(name, now);
}

void PresetManager::UpdateCommands() {
    const bool a = m_target.AnyReady();
    m_anyReady = a;
    const bool named = m_store && m_store->current() != 0;
    m_save->setEnabled(m_store && a && named);
    m_saveAs->setEnabled(m_store && a);
    m_rename->setEnabled(named);
    m_delete->setEnabled(named);
    m_default->setEnabled(!m_jobRunning);
    for (QAction* item : m_presetItems)
        item->setEnabled(!m_jobRunning && CommandOf(item) != 0);
    if (m_startButton)
        m_startButton->setEnabled(a);
    if (m_startProcessing)
        m_startProcessing->setEnabled(a && m_startButton && !m_startButton->isHidden());
    Q_EMIT CommandsUpdated(a);
}

void PresetManager::SetJobRunning(bool running) {
    m_jobRunning = running;
    UpdateCommands();
}

void PresetManager::Close() {
    if (!m_store || m_closed)
        return;
    m_store->RememberCurrent();
    m_closed = true;
}

void PresetManager::Save() {
    const QString name = m_store->currentName();
    if (!name.isEmpty())
        m_store->Write(name, QString::fromStdWString(m_target.SavePreset()));
}

void PresetManager::SaveAs() {
    QString name = m_store->currentName();
    // An empty name is already "Default Preset", which is never written.
    if (!AskPresetName(name, m_owner, m_store->names()) || name.isEmpty())
        return;
    Relabel(AddName(name));
    Save();
}

void PresetManager::Rename() {
    const QString old = m_store->currentName();
    QString renamed = old;
    // Renaming to nothing would delete the preset without a question: it is not done.
    if (!AskPresetName(renamed, m_owner, m_store->names()) || renamed == old || renamed.isEmpty())
        return;
    RemoveCurrent();
    Relabel(AddName(renamed));
    Save();
}

void PresetManager::Delete() {
    const std::wstring question =
        QString::fromLatin1(kDeletePrompt).arg(m_store->currentName()).toStdWString();
    if (ShowMessageBox(question, kCaption, MB_YESNO) != IDYES)
        return;
    RemoveCurrent();
    Relabel(0);
}

} // namespace rx
