// The main menu (menu 100, its first pop-up): every entry carries its command id as the
// action's data, the order and separators as the window's menu button shows them.
#pragma once

#include <QMenu>
#include <QPointer>

namespace rx {

// Command ids of the main window and its menu.
namespace cmd {
constexpr int MainMenuButton = 1100;
constexpr int ProgressBar = 1101;
constexpr int ToggleFirst = 1110; // 1110 to 1113: the operation toggles
constexpr int ToggleLast = 1114;
constexpr int PreviewToggle = 1119;
constexpr int Clear = 1120;
constexpr int Cancel = 1121;
constexpr int Minimize = 1130;
constexpr int PresetSave = 1400;
constexpr int PresetSaveAs = 1401; // also the "Save preset" button
constexpr int PresetRename = 1402;
constexpr int PresetDelete = 1403;
constexpr int PresetFirst = 1409; // 1409 + i picks preset i
constexpr int PresetLast = 1499;
constexpr int CheckForUpdates = 1501;
constexpr int Start = 1502;
constexpr int ImportImages = 57601;
constexpr int About = 57664;
constexpr int Exit = 57665;
constexpr int Help = 57670;
} // namespace cmd

class MainMenu {
public:
    MainMenu();
    MainMenu(const MainMenu&) = delete;
    MainMenu& operator=(const MainMenu&) = delete;

    // The pop-up the main menu button shows.
    QMenu* Popup() { return &m_popup; }
    // The entry with the command id among the pop-up's own entries, or null.
    QAction* Action(int id) const;
    // Puts the "&Presets" sub-menu at its place (item 3), replacing an earlier one.
    void SetPresetsMenu(QMenu* presets);
    QMenu* PresetsMenu() const { return m_presets; }

private:
    QMenu m_popup;
    QPointer<QMenu> m_presets;
    QAction* m_presetsAnchor = nullptr; // the separator the sub-menu sits above
};

} // namespace rx
