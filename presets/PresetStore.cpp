#include "presets/PresetStore.h"

#include <algorithm>

#include "settings/SettingsStore.h"

namespace rx {

bool PresetNameLess(const QString& a, const QString& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](QChar x, QChar y) { return x.unicode() < y.unicode(); });
}

PresetStore::PresetStore(SettingsStore& settings) : settings_(settings) {
    names_.push_back(QString());
    QStringList stored = settings_.presetNames();
    std::sort(stored.begin(), stored.end(), PresetNameLess);
    for (const QString& name : stored)
        if (!name.isEmpty())
            AddName(name);
}

void PresetStore::setCurrent(int index) {
    current_ = index >= 0 && index < names_.size() ? index : 0;
}

int PresetStore::indexOf(const QString& name) const {
    const auto it = std::lower_bound(names_.begin() + 1, names_.end(), name, PresetNameLess);
    if (name.isEmpty())
        return 0;
    return it != names_.end() && *it == name ? static_cast<int>(it - names_.begin()) : -1;
}

QString PresetStore::ReadPreset(const QString& name) const {
    if (name.isEmpty())
        return QStringLiteral("{}");
    return settings_.presetText(name).value_or(QStringLiteral("{}"));
}

void PresetStore::Write(const QString& name, const QString& text) {
    if (!name.isEmpty())
        settings_.writePreset(name, text);
}

int PresetStore::AddName(const QString& name) {
    if (name.isEmpty())
        return 0;
    const auto it = std::lower_bound(names_.begin() + 1, names_.end(), name, PresetNameLess);
    const int index = static_cast<int>(it - names_.begin());
    if (it != names_.end() && *it == name)
        return index;
    names_.insert(index, name);
    if (current_ >= index && current_ != 0)
        ++current_; // the current preset keeps its name
    return index;
}

int PresetStore::RemoveCurrent() {
    if (current_ == 0)
        return -1;
    const int removed = current_;
    settings_.removePreset(names_[removed]);
    names_.removeAt(removed);
    current_ = 0;
    return removed;
}

int PresetStore::RememberedIndex() const {
    const int index = indexOf(settings_.lastPresetName());
    return index < 0 ? 0 : index;
}

void PresetStore::RememberCurrent() {
    settings_.setLastPresetName(currentName());
}

} // namespace rx
