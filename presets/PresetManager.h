// The main window's presets: the "&Presets" sub-menu (one item per named preset above
// "Default Preset", the current one radio-checked, then Save, Save As, Rename and Delete), the
// modified prompt, the four preset commands with their dialog and prompts, and the enabling of
// those commands, of START and of "&Start processing". UI thread only.
//
// Use from the main window:
//   PresetManager presets(settings, panels, this);     // panels: a PresetTarget
//   presets.AttachStart(startButton, startProcessingAction);
//   mainPopup->insertMenu(beforeAction, presets.menu());
//   presets.Open();                                     // fills the sub-menu, applies the
//                                                       // preset current at the last exit
//   ... then apply the working settings kept from the last run.
// Every command id reaches HandleCommand first (menu entries carry their id in
// QAction::data(); the "Save preset" button is 1401); it returns false for ids it does not own.
// UpdateCommands whenever toggles, readiness, the window state or START's visibility change;
// SetJobRunning while a job runs (presets cannot be switched then). Close (or destruction)
// remembers the current preset for the next run.
#pragma once

#include <memory>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "presets/PresetStore.h"

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace rx {

class PresetTarget;
class SettingsStore;

class PresetManager : public QObject {
    Q_OBJECT
public:
    static constexpr int kSave = 1400;
    static constexpr int kSaveAs = 1401; // also the "Save preset" button
    static constexpr int kRename = 1402;
    static constexpr int kDelete = 1403;
    // 1409 + i selects names[i]; 1409 is "Default Preset".
    static constexpr int kFirstPreset = 1409;
    static constexpr int kLastPreset = 1499;
    static constexpr int kStartProcessing = 1502;

    // owner: the main window, parent of the sub-menu, the name dialog and the prompts.
    PresetManager(SettingsStore& settings, PresetTarget& target, QWidget* owner);
    ~PresetManager() override; // Close() when it was opened and not closed yet
    PresetManager(const PresetManager&) = delete;
    PresetManager& operator=(const PresetManager&) = delete;

    // The START button and the "&Start processing" entry; UpdateCommands enables them. Either
    // may be null. "&Start processing" also needs the button not hidden.
    void AttachStart(QWidget* startButton, QAction* startProcessing);

    // The "&Presets" sub-menu. It exists from construction and is filled by Open.
    QMenu* menu() const { return m_menu.get(); }

    // Reads the preset names, fills the sub-menu and selects the preset that was current at
    // the last Close (or "Default Preset" when it no longer exists).
    void Open();
    bool isOpen() const { return m_store != nullptr; }

    // Runs a command: 1400 to 1403 when enabled, 1409 to 1499 when a job is not running.
    // Returns false for any other id (the caller handles it itself); true otherwise, also when
    // the command was refused.
    bool HandleCommand(int id);

    // Applies preset number id - 1409 after the modified prompt. Refused while a job runs.
    void SelectPreset(int id);
    // When a named preset is current and the settings in use differ from its stored document,
    // asks "Current preset '%s' is modified. Save changes?" and on Yes writes them.
    void CheckModified();
    // Enables Save, Save As, Rename, Delete, the preset items, START and "&Start processing".
    void UpdateCommands();
    void SetJobRunning(bool running);
    bool jobRunning() const { return m_jobRunning; }
    // Remembers the current preset for the next run.
    void Close();

    // The commands behind 1400 to 1403, without checking their enabling.
    void Save();
    void SaveAs();
    void Rename();
    void Delete();

    // The store's list (valid after Open) and the sub-menu's item of a command id (null when
    // there is none). The items of the named presets come first, in the list's order.
    const PresetStore* store() const { return m_store.get(); }
    QAction* commandAction(int id) const;
    // START's enabling as of the last UpdateCommands: an operation is switched on and ready.
    bool anyReady() const { return m_anyReady; }

    // A preset name as a menu text ('&' shown as itself).
    static QString MenuText(const QString& name);

Q_SIGNALS:
    // A preset was applied to the target; the window lays out its panels again.
    void PresetApplied();
    // After every UpdateCommands; anyReady is START's enabling.
    void CommandsUpdated(bool anyReady);

private:
    int AddName(const QString& name);
    void RemoveCurrent();
    void Relabel(int index);

    SettingsStore& m_settings;
    PresetTarget& m_target;
    QPointer<QWidget> m_owner;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<PresetStore> m_store;
    QActionGroup* m_group = nullptr;
    QList<QAction*> m_presetItems; // named presets, above "Default Preset"
    QAction* m_default = nullptr;
    QAction* m_save = nullptr;
    QAction* m_saveAs = nullptr;
    QAction* m_rename = nullptr;
    QAction* m_delete = nullptr;
    QPointer<QWidget> m_startButton;
    QPointer<QAction> m_startProcessing;
    bool m_jobRunning = false;
    bool m_anyReady = false;
    bool m_closed = false;
};

} // namespace rx
