// Helpers of the preset window tests: operation records as the preset target, a recorder of
// message boxes with queued answers, and the presets as the settings file on disk holds them.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QSettings>
#include <QString>
#include <boost/filesystem.hpp>
#include <functional>

#include "engine/MessageBox.h"
#include "presets/CPresetDialog.h"
#include "presets/OperationSet.h"
#include "presets/PresetTarget.h"
#include "settings/SettingsStore.h"
#include "tests/support/SettingsLocation.h"

namespace rxtest {

// The four records with their switches, standing in for the window's panels.
class RecordsTarget : public rx::PresetTarget {
public:
    rx::OperationSet set;
    int applied = 0;

    std::wstring SavePreset() override { return set.SavePreset(); }
    bool ApplyPreset(const std::wstring& text) override {
        ++applied;
        return set.ApplyPreset(text);
    }
    bool AnyReady() const override { return set.AnyReady(); }

    // Resize by width, switched on and ready.
    void ResizeToWidth(std::uint32_t width) {
        set.resize.mode = rx::ResizeOp::Width;
        set.resize.width = width;
        set.on[1] = true;
    }
};

// Records every message box and answers with the queued answers (then with the fallback).
class MessageRecorder {
public:
    struct Shown {
        std::wstring text, caption;
        unsigned style;
    };
    std::vector<Shown> shown;
    std::deque<int> answers;
    int fallback = rx::IDNO;

    MessageRecorder() {
        previous_ = rx::SetMessageBoxHandler(
            [this](const std::wstring& text, const std::wstring& caption, unsigned style) {
                shown.push_back({text, caption, style});
                if (answers.empty())
                    return fallback;
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            });
    }
    ~MessageRecorder() { rx::SetMessageBoxHandler(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

private:
    rx::MessageBoxHandler previous_;
};

// Runs an action on the next preset dialog once its modal loop runs, then makes sure the
// dialog is closed (so a failed check cannot leave the test waiting on it).
class OnPresetDialog : public QObject {
public:
    explicit OnPresetDialog(std::function<void(rx::CPresetDialog&)> action)
        : action_(std::move(action)) {
        qApp->installEventFilter(this);
    }
    ~OnPresetDialog() override { qApp->removeEventFilter(this); }
    int runs = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* dialog = qobject_cast<rx::CPresetDialog*>(watched);
        if (dialog && e->type() == QEvent::Show) {
            QMetaObject::invokeMethod(
                this,
                [this, dialog] {
                    ++runs;
                    action_(*dialog);
                    if (dialog->isVisible())
                        dialog->reject();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void(rx::CPresetDialog&)> action_;
};

// The presets as the settings file holds them: the store is flushed, its folder copied and the
// copy read by a store of its own, so nothing comes from the running program's cache.
inline std::map<QString, QString> PresetsOnDisk(rx::SettingsStore& settings,
                                                const SettingsLocation& where,
                                                QString* lastPreset = nullptr) {
    settings.sync();
    TempDir copy;
    namespace fs = boost::filesystem;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(where.dir().path())) {
        const fs::path target = copy.path() / fs::relative(e.path(), where.dir().path());
        if (fs::is_directory(e.path()))
            fs::create_directories(target);
        else
            fs::copy_file(e.path(), target);
    }
    std::map<QString, QString> out;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(copy.path().string()));
    {
        rx::SettingsStore fresh(settings.applicationName());
        for (const QString& name : fresh.presetNames())
            out[name] = fresh.presetText(name).value_or(QStringLiteral("<not text>"));
        if (lastPreset)
            *lastPreset = fresh.lastPresetName();
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(where.dir().path().string()));
    return out;
}

} // namespace rxtest
