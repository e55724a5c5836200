#include "app/MainMenu.h"

namespace rx {

namespace {
struct Entry {
    const char* text; // nullptr: a separator
    int id;
};
// The "&Presets" sub-menu goes between the two separators after "&Start processing".
constexpr Entry kBeforePresets[] = {
    {"&Import images", cmd::ImportImages}, {"&Start processing", cmd::Start}, {nullptr, 0}};
constexpr Entry kAfterPresets[] = {
    {nullptr, 0},         {"Check for &updates", cmd::CheckForUpdates},
    {"&Help", cmd::Help}, {"&About Rexmill", cmd::About},
    {nullptr, 0},         {"E&xit", cmd::Exit}};

void AddEntries(QMenu& menu, const Entry* first, const Entry* last, QAction** firstAdded) {
    for (const Entry* e = first; e != last; ++e) {
        QAction* a = e->text ? menu.addAction(QString::fromLatin1(e->text)) : menu.addSeparator();
        if (e->text)
            a->setData(e->id);
        if (firstAdded && e == first)
            *firstAdded = a;
    }
}
} // namespace

MainMenu::MainMenu() {
    AddEntries(m_popup, std::begin(kBeforePresets), std::end(kBeforePresets), nullptr);
    AddEntries(m_popup, std::begin(kAfterPresets), std::end(kAfterPresets), &m_presetsAnchor);
}

QAction* MainMenu::Action(int id) const {
    for (QAction* a : m_popup.actions())
        if (!a->isSeparator() && !a->menu() && a->data().toInt() == id)
            return a;
    return nullptr;
}

void MainMenu::SetPresetsMenu(QMenu* presets) {
    if (m_presets)
        m_popup.removeAction(m_presets->menuAction());
    m_presets = presets;
    if (presets)
        m_popup.insertMenu(m_presetsAnchor, presets);
}

} // namespace rx
