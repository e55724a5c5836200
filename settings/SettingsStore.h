// The one per-user settings store: every value the program keeps between runs, with its section,
// entry, type and default. Backed by QSettings in native format below "Mornsby Software" /
// "Rexmill" / "1.0" (the user's configuration folder on Linux, the registry on Windows).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

class QSettings;

namespace rx {

// The preview window's placement, laid out as the 44-byte record the store keeps:
// length, flags, show state, minimised and maximised positions, the normal rectangle.
struct WindowPlacement {
    std::uint32_t length = 44;
    std::uint32_t flags = 0;
    std::uint32_t showCmd = 1;
    std::int32_t minX = -1, minY = -1;
    std::int32_t maxX = -1, maxY = -1;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;

    static constexpr int kSize = 44;
    QByteArray toBytes() const;
    // Nothing unless the block is exactly 44 bytes.
    static std::optional<WindowPlacement> fromBytes(const QByteArray& bytes);
};

class SettingsStore {
public:
    // applicationName: the sub-key of the window's sections; empty = this executable's file name
    // without its extension. Tests point QSettings::setPath at a folder of their own first.
    explicit SettingsStore(const QString& applicationName = {});
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const QString& applicationName() const { return appName_; }

    // "Main Window": "X", "Y" (default 200), "Preset" (default "{}").
    int mainWindowX() const;
    int mainWindowY() const;
    void setMainWindowPosition(int x, int y);
    QString workingPreset() const;
    void setWorkingPreset(const QString& text);

    // "Preview": "WindowPlacement", used only when exactly 44 bytes.
    std::optional<WindowPlacement> previewPlacement() const;
    void setPreviewPlacement(const WindowPlacement& placement);

    // "Presets": one text value per preset name (names are case-sensitive and may hold any
    // character), and the unnamed default value (the preset current at exit; "" when missing).
    QStringList presetNames() const;
    // The text of a preset; nothing when it is missing or not text.
    std::optional<QString> presetText(const QString& name) const;
    void writePreset(const QString& name, const QString& text);
    void removePreset(const QString& name);
    QString lastPresetName() const;
    void setLastPresetName(const QString& name);

    void sync();

    // This executable's file name without its extension.
    static QString ExecutableName();

private:
    QString windowKey(const char* section, const char* entry) const;
    std::unique_ptr<QSettings> settings_;
    QString appName_;
};

} // namespace rx
