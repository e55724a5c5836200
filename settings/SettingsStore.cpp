#include "settings/SettingsStore.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace rx {
namespace {

const char kRoot[] = "1.0";
const char kPresets[] = "1.0/Presets";
// Preset names become keys: QSettings treats '/' and '\' as group separators, so those (and
// the escape character itself) are written as %XX. Every other character is kept as it is.
QString EncodeName(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (QChar c : name) {
        if (c == u'%' || c == u'/' || c == u'\\')
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QChar(u'0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString DecodeName(const QString& key) {
    QString out;
    out.reserve(key.size());
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (key[i] == u'%' && i + 2 < key.size()) {
            bool ok = false;
            const ushort code = key.mid(i + 1, 2).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 2;
                continue;
            }
        }
        out += key[i];
    }
    return out;
}

void PutLe(QByteArray& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetLe(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

} // namespace

QByteArray WindowPlacement::toBytes() const {
    QByteArray b;
    b.reserve(kSize);
    for (std::uint32_t v : {length, flags, showCmd})
        PutLe(b, v);
    for (std::int32_t v : {minX, minY, maxX, maxY, left, top, right, bottom})
        PutLe(b, static_cast<std::uint32_t>(v));
    return b;
}

std::optional<WindowPlacement> WindowPlacement::fromBytes(const QByteArray& b) {
    if (b.size() != kSize)
        return std::nullopt;
    WindowPlacement p;
    p.length = GetLe(b, 0);
    p.flags = GetLe(b, 4);
    p.showCmd = GetLe(b, 8);
    std::int32_t* fields[] = {&p.minX, &p.minY, &p.maxX,  &p.maxY,
                              &p.left, &p.top,  &p.right, &p.bottom};
    for (int i = 0; i < 8; ++i)
        *fields[i] = static_cast<std::int32_t>(GetLe(b, 12 + 4 * i));
    return p;
}

QString SettingsStore::ExecutableName() {
    QString path;
    if (QCoreApplication::instance()) {
        path = QCoreApplication::applicationFilePath();
    } else {
        char buf[4096];
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n > 0)
            path = QString::fromLocal8Bit(buf, n);
    }
    const QString name = QFileInfo(path).completeBaseName();
    return name.isEmpty() ? QStringLiteral("rexmill") : name;
}

SettingsStore::SettingsStore(const QString& applicationName)
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Mornsby Software"),
                                            QStringLiteral("Rexmill"))),
      appName_(applicationName.isEmpty() ? ExecutableName() : applicationName) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::windowKey(const char* section, const char* entry) const {
    return QStringLiteral("%1/%2/%3/%4")
        .arg(QLatin1String(kRoot), EncodeName(appName_), QLatin1String(section),
             QLatin1String(entry));
}

static int ReadInt(const QSettings& s, const QString& key, int fallback) {
    const QVariant v = s.value(key);
    bool ok = false;
    const int n = v.toInt(&ok);
    return v.isValid() && ok ? n : fallback;
}

int SettingsStore::mainWindowX() const {
    return ReadInt(*settings_, windowKey("Main Window", "X"), 200);
}
int SettingsStore::mainWindowY() const {
    return ReadInt(*settings_, windowKey("Main Window", "Y"), 200);
}

void SettingsStore::setMainWindowPosition(int x, int y) {
    settings_->setValue(windowKey("Main Window", "X"), x);
    settings_->setValue(windowKey("Main Window", "Y"), y);
}

QString SettingsStore::workingPreset() const {
    const QVariant v = settings_->value(windowKey("Main Window", "Preset"));
    return v.typeId() == QMetaType::QString ? v.toString() : QStringLiteral("{}");
}

void SettingsStore::setWorkingPreset(const QString& text) {
    settings_->setValue(windowKey("Main Window", "Preset"), text);
}

std::optional<WindowPlacement> SettingsStore::previewPlacement() const {
    const QVariant v = settings_->value(windowKey("Preview", "WindowPlacement"));
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return WindowPlacement::fromBytes(v.toByteArray());
}

void SettingsStore::setPreviewPlacement(const WindowPlacement& placement) {
    settings_->setValue(windowKey("Preview", "WindowPlacement"), placement.toBytes());
}

QStringList SettingsStore::presetNames() const {
    settings_->beginGroup(QLatin1String(kPresets));
    const QStringList keys = settings_->childKeys();
    settings_->endGroup();
    QStringList names;
    names.reserve(keys.size());
    for (const QString& k : keys)
        names.push_back(DecodeName(k));
    return names;
}

std::optional<QString> SettingsStore::presetText(const QString& name) const {
    const QVariant v = settings_->value(QLatin1String(kPresets) + u'/' + EncodeName(name));
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    QString text = v.toString();
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0)
        text.truncate(nul);
    return text;
}

void SettingsStore::writePreset(const QString& name, const QString& text) {
    settings_->setValue(QLatin1String(kPresets) + u'/' + EncodeName(name), text);
}

void SettingsStore::removePreset(const QString& name) {
    settings_->remove(QLatin1String(kPresets) + u'/' + EncodeName(name));
}

QString SettingsStore::lastPresetName() const {
    const QVariant v = settings_->value(QLatin1String(kPresets));
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

void SettingsStore::setLastPresetName(const QString& name) {
    settings_->setValue(QLatin1String(kPresets), name);
}

void SettingsStore::sync() {
    settings_->sync();
}

} // namespace rx
