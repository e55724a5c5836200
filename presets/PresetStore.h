// The list of preset names and the current preset, over the settings store. Element 0 is the
// empty name ("Default Preset"); the others are unique and sorted by their UTF-16 code units.
// The window adds the menu, the modified prompt and command enabling on top of this class.
#pragma once

#include <QString>
#include <QStringList>

namespace rx {

class SettingsStore;

class PresetStore {
public:
    // Reads the names kept in the store; the current preset is "Default Preset".
    explicit PresetStore(SettingsStore& settings);

    const QStringList& names() const { return names_; }
    int current() const { return current_; }
    const QString& currentName() const { return names_[current_]; }
    // Makes names[index] current (an index out of range selects "Default Preset").
    void setCurrent(int index);
    // The index of a name, or -1.
    int indexOf(const QString& name) const;

    // The document of a preset: "{}" for the empty name and for a missing value or one that is
    // not text; a text is cut at its first NUL.
    QString ReadPreset(const QString& name) const;
    void Write(const QString& name, const QString& text);
    // The name's index: the existing one, or where the name was inserted in sorted order.
    int AddName(const QString& name);
    // Deletes the current preset's value and name (never "Default Preset"); the current preset
    // becomes "Default Preset". Returns the removed index, or -1.
    int RemoveCurrent();

    // The preset that was current when the program last ended: its index, 0 when it is gone.
    int RememberedIndex() const;
    // Remembers the current preset for the next run.
    void RememberCurrent();

private:
    SettingsStore& settings_;
    QStringList names_;
    int current_ = 0;
};

// Ordinal comparison of UTF-16 code units (upper case before lower case).
bool PresetNameLess(const QString& a, const QString& b);

} // namespace rx
