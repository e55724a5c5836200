// A random run of preset commands checked against a small model after every step: the
// settings file on disk, the sub-menu and the current preset must always agree with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "presets/PresetManager.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/ui/QtTestApp.h"

using namespace rx;

namespace {

// What the commands should have made of the presets.
struct Model {
    std::map<QString, QString> stored;
    QString current; // empty: "Default Preset"

    QStringList Names() const {
        QStringList names;
        for (const auto& [name, text] : stored)
            names << name;
        std::sort(names.begin(), names.end(), PresetNameLess);
        names.prepend(QString());
        return names;
    }
};

TEST(PresetModel, TwoHundredRandomCommandsKeepFileMenuAndModelTheSame) {
    TestAppGuard app;
    rxtest::SettingsLocation where;
    SettingsStore settings(QStringLiteral("rexmill"));
    rxtest::RecordsTarget target;
    rxtest::MessageRecorder boxes;
    QWidget window;

    const QStringList pool{"Web",    "web",     "Print",
                           "B&W",    "a/b",     "100%",
                           "Zeta",   "x y",     QString::fromUtf8("Ünïcode"),
                           "alpha",  "Archive", "Mail",
                           "Thumbs", "zz",      "Print 2",
                           "Web "};
    std::optional<QString> answer; // the name dialog's answer: a name, or Cancel
    int asked = 0;
    const AskPresetNameHook previous =
        SetAskPresetNameHook([&](QString& name, QWidget*, const QStringList&) {
            ++asked;
            if (!answer)
                return false;
            name = *answer;
            return true;
        });

    Model model;
    // Two presets to start from.
    target.ResizeToWidth(640);
    settings.writePreset(QStringLiteral("Web"), QString::fromStdWString(target.SavePreset()));
    model.stored[QStringLiteral("Web")] = QString::fromStdWString(target.SavePreset());
    target.set.on[2] = true;
    settings.writePreset(QStringLiteral("Print"), QString::fromStdWString(target.SavePreset()));
    model.stored[QStringLiteral("Print")] = QString::fromStdWString(target.SavePreset());

    PresetManager presets(settings, target, &window);
    presets.Open();

    const unsigned seed = 20261209;
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const auto doc = [&] { return QString::fromStdWString(target.SavePreset()); };

    int prompts = 0, writes = 0;
    size_t most = 0; // the most presets held at once
    for (int step = 0; step < 200; ++step) {
        const bool ready = target.AnyReady();
        const bool named = !model.current.isEmpty();
        const int askedBefore = asked;
        bool expectAsk = false;
        QString what;
        // Save As twice as often as the rest, so the list grows while Delete shrinks it.
        static constexpr int kCommandOf[] = {0, 1, 1, 2, 3, 4, 5};
        switch (kCommandOf[pick(7)]) {
        case 0:
            what = QStringLiteral("Save");
            if (ready && named) {
                model.stored[model.current] = doc();
                ++writes;
            }
            presets.HandleCommand(PresetManager::kSave);
            break;
        case 1: {
            answer = pick(4) == 0 ? std::nullopt : std::optional(pool[pick(pool.size())]);
            what = QStringLiteral("Save As ") + answer.value_or(QStringLiteral("<cancel>"));
            expectAsk = ready;
            if (ready && answer) {
                model.current = *answer;
                model.stored[*answer] = doc();
                ++writes;
            }
            presets.HandleCommand(PresetManager::kSaveAs);
            break;
        }
        case 2: {
            const int choice = pick(5);
            answer = choice == 0   ? std::nullopt
                     : choice == 1 ? std::optional(model.current)
                                   : std::optional(pool[pick(pool.size())]);
            what = QStringLiteral("Rename ") + answer.value_or(QStringLiteral("<cancel>"));
            expectAsk = named;
            if (named && answer && *answer != model.current) {
                model.stored.erase(model.current);
                model.current = *answer;
                model.stored[*answer] = doc();
                ++writes;
            }
            presets.HandleCommand(PresetManager::kRename);
            break;
        }
        case 3: {
            const bool yes = pick(3) == 0;
            what = yes ? QStringLiteral("Delete, Yes") : QStringLiteral("Delete, No");
            boxes.fallback = yes ? IDYES : IDNO;
            const size_t shown = boxes.shown.size();
            if (named && yes) {
                model.stored.erase(model.current);
                model.current.clear();
            }
            presets.HandleCommand(PresetManager::kDelete);
            ASSERT_EQ(boxes.shown.size(), shown + (named ? 1 : 0))
                << step << " " << what.toStdString();
            break;
        }
        case 4: {
            const QStringList names = model.Names();
            const int index = pick(names.size());
            const bool yes = pick(2) == 0;
            what = QStringLiteral("Pick %1, %2").arg(names[index], yes ? "Yes" : "No");
            boxes.fallback = yes ? IDYES : IDNO;
            const size_t shown = boxes.shown.size();
            const bool modified = named && doc() != model.stored[model.current];
            if (modified && yes)
                model.stored[model.current] = doc();
            model.current = names[index];
            presets.HandleCommand(PresetManager::kFirstPreset + index);
            ASSERT_EQ(boxes.shown.size(), shown + (modified ? 1 : 0))
                << step << " " << what.toStdString();
            prompts += modified ? 1 : 0;
            const QString applied =
                model.current.isEmpty() ? QStringLiteral("{}\n") : model.stored[model.current];
            ASSERT_EQ(doc(), applied) << step << " the picked preset is applied";
            break;
        }
        default:
            what = QStringLiteral("Edit settings");
            switch (pick(4)) {
            case 0:
                target.ResizeToWidth(static_cast<std::uint32_t>(pick(3) * 500)); // 0: not ready
                break;
            case 1:
                target.set.on[2] = !target.set.on[2];
                break;
            case 2:
                target.set.on[1] = !target.set.on[1];
                break;
            default:
                target.set.on = {};
            }
            presets.UpdateCommands();
        }
        const std::string where_ = std::to_string(step) + ": " + what.toStdString();
        ASSERT_EQ(asked - askedBefore, expectAsk ? 1 : 0) << where_;

        // The file on disk, the store's list, the menu and the check mark against the model.
        ASSERT_EQ(rxtest::PresetsOnDisk(settings, where), model.stored) << where_;
        most = std::max(most, model.stored.size());
        const QStringList names = model.Names();
        ASSERT_EQ(presets.store()->names(), names) << where_;
        ASSERT_EQ(presets.store()->currentName(), model.current) << where_;
        const QList<QAction*> items = presets.menu()->actions();
        for (qsizetype i = 1; i < names.size(); ++i) {
            ASSERT_EQ(items[i - 1]->text(), PresetManager::MenuText(names[i])) << where_;
            ASSERT_EQ(items[i - 1]->data().toInt(), 1409 + i) << where_;
        }
        ASSERT_EQ(items[names.size() - 1]->text(), QStringLiteral("Default Preset")) << where_;
        ASSERT_TRUE(items[names.size()]->isSeparator()) << where_;
        const QAction* checked = presets.commandAction(1409 + names.indexOf(model.current));
        ASSERT_TRUE(checked && checked->isChecked()) << where_;
    }
    // The run must have reached the interesting paths, not only refused commands.
    EXPECT_GT(writes, 20);
    EXPECT_GT(prompts, 3);
    EXPECT_GT(most, 5u);
    SetAskPresetNameHook(previous);
}

} // namespace
