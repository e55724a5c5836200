// The preset sub-menu and commands driven as the main window drives them: items picked from
// the popped-up menu with the mouse, answers to the name dialog and the prompts given by the
// test, the settings file read back from disk.
#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "presets/CPresetDialog.h"
#include "presets/PresetManager.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/ui/QtTestApp.h"

using namespace rx;

namespace {

const QString kWeb = QStringLiteral("Web");
const QString kPrint = QStringLiteral("Print");

class PresetManagerTest : public ::testing::Test {
protected:
    TestAppGuard app;
    rxtest::SettingsLocation where;
    SettingsStore settings{QStringLiteral("rexmill")};
    rxtest::RecordsTarget target;
    QWidget window;
    QPushButton* start = new QPushButton(QStringLiteral("START"), &window);
    QAction* startProcessing = new QAction(QStringLiteral("&Start processing"), &window);
    rxtest::MessageRecorder boxes;
    std::unique_ptr<PresetManager> presets;
    // Answers of the name dialog: a name for "Ok", nothing for "Cancel".
    std::deque<std::optional<QString>> names;
    QStringList asked; // the name each dialog opened with
    AskPresetNameHook previousAsk;

    void SetUp() override {
        previousAsk = SetAskPresetNameHook([this](QString& name, QWidget*, const QStringList&) {
            asked.push_back(name);
            if (names.empty() || !names.front()) {
                if (!names.empty())
                    names.pop_front();
                return false;
            }
            name = *names.front();
            names.pop_front();
            return true;
        });
        start->hide();
    }
    void TearDown() override {
        presets.reset();
        SetAskPresetNameHook(previousAsk);
    }

    // A stored preset: Resize by width.
    void StoreResize(const QString& name, std::uint32_t width) {
        rxtest::RecordsTarget t;
        t.ResizeToWidth(width);
        settings.writePreset(name, QString::fromStdWString(t.SavePreset()));
    }
    QString ResizeDoc(std::uint32_t width) {
        rxtest::RecordsTarget t;
        t.ResizeToWidth(width);
        return QString::fromStdWString(t.SavePreset());
    }

    void Open() {
        presets = std::make_unique<PresetManager>(settings, target, &window);
        presets->AttachStart(start, startProcessing);
        // The main window's routing: every menu command goes to the presets first.
        QObject::connect(presets->menu(), &QMenu::triggered, presets.get(),
                         [this](QAction* item) { presets->HandleCommand(item->data().toInt()); });
        presets->Open();
    }

    // Pops the sub-menu up and clicks the item of the command; false when it is not there or
    // cannot be clicked.
    bool Pick(int id) {
        QAction* item = presets->commandAction(id);
        if (!item || !item->isEnabled())
            return false;
        QMenu* menu = presets->menu();
        menu->popup(QPoint(10, 10));
        if (!QTest::qWaitForWindowExposed(menu))
            return false;
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(item).center());
        const bool closed = QTest::qWaitFor([menu] { return !menu->isVisible(); });
        return closed;
    }

    // The sub-menu as text: separators as "-", checked items with "*", disabled ones with "!".
    QStringList MenuTexts() const {
        QStringList out;
        for (QAction* a : presets->menu()->actions()) {
            if (a->isSeparator()) {
                out << QStringLiteral("-");
                continue;
            }
            out << a->text() + (a->isChecked() ? QStringLiteral("*") : QString()) +
                       (a->isEnabled() ? QString() : QStringLiteral("!"));
        }
        return out;
    }
    QList<int> MenuIds() const {
        QList<int> out;
        for (QAction* a : presets->menu()->actions())
            if (!a->isSeparator())
                out << a->data().toInt();
        return out;
    }
    std::map<QString, QString> OnDisk(QString* last = nullptr) {
        return rxtest::PresetsOnDisk(settings, where, last);
    }
};

TEST_F(PresetManagerTest, FirstRunShowsDefaultPresetAndTheCommands) {
    Open();
    EXPECT_EQ(MenuTexts(),
              (QStringList{"Default Preset*", "-", "Save!", "Save As!", "Rename!", "Delete!"}));
    EXPECT_EQ(MenuIds(), (QList<int>{1409, 1400, 1401, 1402, 1403}));
    EXPECT_EQ(presets->menu()->title(), QStringLiteral("&Presets"));
    EXPECT_FALSE(start->isEnabled()) << "nothing is switched on";

    // A ready operation enables Save As and START; Save still needs a named preset.
    target.ResizeToWidth(640);
    presets->UpdateCommands();
    EXPECT_TRUE(presets->commandAction(1401)->isEnabled());
    EXPECT_FALSE(presets->commandAction(1400)->isEnabled());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(startProcessing->isEnabled()) << "START is hidden";
    start->show();
    presets->UpdateCommands();
    EXPECT_TRUE(startProcessing->isEnabled());

    // Switched on but not ready counts as nothing.
    target.set.resize.width = 0;
    presets->UpdateCommands();
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(startProcessing->isEnabled());
    EXPECT_FALSE(presets->commandAction(1401)->isEnabled());
}

TEST_F(PresetManagerTest, NamesAreListedInOrdinalOrderWithCommandsFrom1410) {
    for (const char* n : {"beta", "Zeta", "alpha"})
        settings.writePreset(QString::fromLatin1(n), QStringLiteral("{}"));
    Open();
    EXPECT_EQ(MenuTexts(), (QStringList{"Zeta", "alpha", "beta", "Default Preset*", "-", "Save!",
                                        "Save As!", "Rename!", "Delete!"}));
    EXPECT_EQ(MenuIds(), (QList<int>{1410, 1411, 1412, 1409, 1400, 1401, 1402, 1403}));
}

TEST_F(PresetManagerTest, OpenSelectsTheRememberedPresetAndCloseRemembersTheCurrentOne) {
    StoreResize(kWeb, 640);
    StoreResize(kPrint, 2000);
    settings.setLastPresetName(kWeb);
    Open();
    EXPECT_EQ(presets->store()->currentName(), kWeb);
    EXPECT_EQ(MenuTexts().mid(0, 3), (QStringList{"Print", "Web*", "Default Preset"}));
    EXPECT_TRUE(target.set.on[1]);
    EXPECT_EQ(target.set.resize.width, 640u);
    EXPECT_TRUE(presets->commandAction(1402)->isEnabled());
    EXPECT_TRUE(presets->commandAction(1403)->isEnabled());

    ASSERT_TRUE(Pick(1410));
    EXPECT_EQ(presets->store()->currentName(), kPrint);
    EXPECT_EQ(target.set.resize.width, 2000u);
    presets.reset(); // the window is destroyed
    QString last;
    OnDisk(&last);
    EXPECT_EQ(last, kPrint);

    // A remembered preset that is gone starts with "Default Preset".
    settings.setLastPresetName(QStringLiteral("Gone"));
    Open();
    EXPECT_EQ(presets->store()->current(), 0);
    EXPECT_TRUE(presets->commandAction(1409)->isChecked());
}

TEST_F(PresetManagerTest, DefaultPresetResetsEverythingAndIsNeverAskedAbout) {
    Open();
    target.ResizeToWidth(800);
    target.set.on[2] = true;
    ASSERT_TRUE(Pick(1409)); // "Default Preset" again, with changed settings
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(target.SavePreset(), L"{}\n");
    EXPECT_EQ(target.set.resize.width, 0u) << "the settings are back at their defaults";
    EXPECT_TRUE(OnDisk().empty());
}

TEST_F(PresetManagerTest, PickingAnotherPresetAsksAboutTheModifiedOneAndNoKeepsIt) {
    StoreResize(kWeb, 640);
    StoreResize(kPrint, 2000);
    settings.setLastPresetName(kWeb);
    Open();
    target.set.resize.width = 800;
    boxes.answers = {IDNO};
    ASSERT_TRUE(Pick(1410)); // Print
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, L"Current preset 'Web' is modified. Save changes?");
    EXPECT_EQ(boxes.shown[0].caption, L"Rexmill");
    EXPECT_EQ(boxes.shown[0].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(OnDisk()[kWeb], ResizeDoc(640)) << "No writes nothing";
    EXPECT_EQ(target.set.resize.width, 2000u);
    EXPECT_EQ(presets->store()->currentName(), kPrint);
    EXPECT_TRUE(presets->commandAction(1410)->isChecked());
    EXPECT_FALSE(presets->commandAction(1411)->isChecked());

    // Unchanged settings are not asked about.
    ASSERT_TRUE(Pick(1411));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(target.set.resize.width, 640u);
}

TEST_F(PresetManagerTest, PickingAnotherPresetAnsweredYesSavesTheModifiedOne) {
    StoreResize(kWeb, 640);
    StoreResize(kPrint, 2000);
    settings.setLastPresetName(kWeb);
    Open();
    target.set.resize.width = 800;
    boxes.answers = {IDYES};
    ASSERT_TRUE(Pick(1409)); // leaving Web for "Default Preset" asks about Web
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(OnDisk()[kWeb], ResizeDoc(800));
    EXPECT_EQ(OnDisk()[kPrint], ResizeDoc(2000));
    EXPECT_EQ(target.SavePreset(), L"{}\n");
}

TEST_F(PresetManagerTest, PickingTheCurrentPresetRevertsUnsavedChangesAfterThePrompt) {
    StoreResize(kWeb, 640);
    settings.setLastPresetName(kWeb);
    Open();
    target.set.resize.width = 800;
    target.set.on[3] = true;
    ASSERT_TRUE(Pick(1410));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(target.set.resize.width, 640u);
    EXPECT_FALSE(target.set.on[3]);
}

TEST_F(PresetManagerTest, SectionsDecideWhatIsSwitchedOnAndBadTextChangesNothing) {
    settings.writePreset(QStringLiteral("Fast"),
                         QStringLiteral("{\"Optimize\":{\"mode\":\"1\"}}\n"));
    settings.writePreset(QStringLiteral("Broken"), QStringLiteral("{\"Optimize\":"));
    Open(); // Broken 1410, Fast 1411
    ASSERT_TRUE(Pick(1411));
    EXPECT_EQ(target.set.on, (OperationFlags{false, false, true, false}))
        << "a section holding only mode switches its operation on";
    EXPECT_EQ(target.set.optimize.mode, 1);

    ASSERT_TRUE(Pick(1410));
    EXPECT_EQ(target.set.on, (OperationFlags{false, false, true, false}))
        << "a text that does not parse leaves the settings as they were";
    EXPECT_EQ(presets->store()->currentName(), QStringLiteral("Broken"));
}

TEST_F(PresetManagerTest, SaveAsFromDefaultPresetOpensTheDialogEmptyWithOkDisabled) {
    SetAskPresetNameHook({}); // the real dialog
    StoreResize(QStringLiteral("Alpha"), 100);
    StoreResize(QStringLiteral("Zulu"), 300);
    Open();
    target.ResizeToWidth(555);
    presets->UpdateCommands();

    rxtest::OnPresetDialog answer([](CPresetDialog& dialog) {
        EXPECT_EQ(dialog.nameList()->currentText(), QString());
        EXPECT_FALSE(dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.nameList()->lineEdit(), QStringLiteral("M"));
        EXPECT_TRUE(dialog.okButton()->isEnabled()) << "typing a letter enables Ok";
        QTest::keyClicks(dialog.nameList()->lineEdit(), QStringLiteral("id"));
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(Pick(1401));
    ASSERT_TRUE(QTest::qWaitFor([&] { return presets->store()->names().size() == 4; }));
    EXPECT_EQ(answer.runs, 1);
    EXPECT_EQ(MenuTexts().mid(0, 4), (QStringList{"Alpha", "Mid*", "Zulu", "Default Preset"}));
    EXPECT_EQ(MenuIds().mid(0, 4), (QList<int>{1410, 1411, 1412, 1409}))
        << "Zulu moved from 1411 to 1412";
    EXPECT_EQ(OnDisk()[QStringLiteral("Mid")], ResizeDoc(555));
    EXPECT_TRUE(presets->commandAction(1400)->isEnabled()) << "Save now has a named preset";
    EXPECT_TRUE(boxes.shown.empty());

    ASSERT_TRUE(Pick(1412));
    EXPECT_EQ(target.set.resize.width, 300u) << "the shifted command still selects Zulu";
}

TEST_F(PresetManagerTest, SaveAsAnExistingNameOverwritesItWithoutAQuestion) {
    StoreResize(kWeb, 640);
    StoreResize(kPrint, 2000);
    Open();
    target.ResizeToWidth(999);
    names = {kPrint};
    ASSERT_TRUE(presets->HandleCommand(PresetManager::kSaveAs)); // the "Save preset" button
    EXPECT_EQ(asked, QStringList{QString()}) << "Save As from Default Preset starts empty";
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(presets->store()->currentName(), kPrint);
    EXPECT_EQ(OnDisk(),
              (std::map<QString, QString>{{kPrint, ResizeDoc(999)}, {kWeb, ResizeDoc(640)}}));
    EXPECT_EQ(MenuTexts().mid(0, 3), (QStringList{"Print*", "Web", "Default Preset"}));

    // From a named preset the dialog starts with its name; Cancel changes nothing.
    names = {std::nullopt};
    presets->HandleCommand(PresetManager::kSaveAs);
    EXPECT_EQ(asked.last(), kPrint);
    EXPECT_EQ(presets->store()->currentName(), kPrint);
}

TEST_F(PresetManagerTest, SaveWritesTheCurrentPresetAndAsksNothing) {
    StoreResize(kWeb, 640);
    settings.setLastPresetName(kWeb);
    Open();
    target.set.resize.width = 1024;
    EXPECT_TRUE(presets->HandleCommand(PresetManager::kSave));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(OnDisk()[kWeb], ResizeDoc(1024));
}

TEST_F(PresetManagerTest, RenameToTheSameNameWritesNothing) {
    StoreResize(kWeb, 640);
    settings.setLastPresetName(kWeb);
    Open();
    target.set.resize.width = 1024;
    names = {kWeb};
    presets->HandleCommand(PresetManager::kRename);
    EXPECT_EQ(asked, QStringList{kWeb});
    EXPECT_EQ(OnDisk(), (std::map<QString, QString>{{kWeb, ResizeDoc(640)}}));
    EXPECT_EQ(presets->store()->currentName(), kWeb);
}

TEST_F(PresetManagerTest, RenameOntoAnotherExistingNameReplacesThatPreset) {
    StoreResize(kWeb, 640);
    StoreResize(kPrint, 2000);
    settings.setLastPresetName(kWeb);
    Open();
    target.set.resize.width = 1024;
    names = {kPrint};
    presets->HandleCommand(PresetManager::kRename);
    EXPECT_EQ(OnDisk(), (std::map<QString, QString>{{kPrint, ResizeDoc(1024)}}));
    EXPECT_EQ(MenuTexts().mid(0, 2), (QStringList{"Print*", "Default Preset"}));
    EXPECT_EQ(MenuIds().mid(0, 2), (QList<int>{1410, 1409}));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PresetManagerTest, RenameMovesThePresetToItsSortedPlace) {
    StoreResize(QStringLiteral("Aa"), 1);
    StoreResize(QStringLiteral("Bb"), 2);
    StoreResize(QStringLiteral("Cc"), 3);
    settings.setLastPresetName(QStringLiteral("Aa"));
    Open();
    names = {QStringLiteral("Ca")};
    presets->HandleCommand(PresetManager::kRename);
    EXPECT_EQ(MenuTexts().mid(0, 4), (QStringList{"Bb", "Ca*", "Cc", "Default Preset"}));
    EXPECT_EQ(OnDisk(), (std::map<QString, QString>{{QStringLiteral("Bb"), ResizeDoc(2)},
                                                    {QStringLiteral("Ca"), ResizeDoc(1)},
                                                    {QStringLiteral("Cc"), ResizeDoc(3)}}));
    // An empty name (the dialog never gives one) does not delete the preset.
    names = {QString()};
    presets->HandleCommand(PresetManager::kRename);
    EXPECT_EQ(OnDisk().size(), 3u);
    EXPECT_EQ(presets->store()->currentName(), QStringLiteral("Ca"));
}

TEST_F(PresetManagerTest, DeleteAnsweredNoChangesNothingAndYesKeepsThePanels) {
    StoreResize(kPrint, 2000);
    StoreResize(kWeb, 640);
    settings.setLastPresetName(kPrint);
    Open();
    const QStringList before = MenuTexts();
    boxes.answers = {IDNO};
    ASSERT_TRUE(Pick(1403));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, L"Are you sure you want to delete 'Print' preset?");
    EXPECT_EQ(boxes.shown[0].caption, L"Rexmill");
    EXPECT_EQ(boxes.shown[0].style, MB_YESNO);
    EXPECT_EQ(MenuTexts(), before);
    EXPECT_EQ(OnDisk().size(), 2u);
    EXPECT_EQ(presets->store()->currentName(), kPrint);

    boxes.answers = {IDYES};
    ASSERT_TRUE(Pick(1403));
    EXPECT_EQ(MenuTexts(), (QStringList{"Web", "Default Preset*", "-", "Save!", "Save As",
                                        "Rename!", "Delete!"}));
    EXPECT_EQ(MenuIds().mid(0, 2), (QList<int>{1410, 1409}));
    EXPECT_EQ(OnDisk(), (std::map<QString, QString>{{kWeb, ResizeDoc(640)}}));
    EXPECT_EQ(target.set.resize.width, 2000u) << "the panels keep their settings";
    EXPECT_TRUE(target.set.on[1]);
}

TEST_F(PresetManagerTest, DisabledCommandsAreRefusedAndOtherIdsAreLeftToTheWindow) {
    Open();
    names = {kWeb, kWeb};
    EXPECT_TRUE(presets->HandleCommand(PresetManager::kSaveAs)) << "nothing is ready";
    EXPECT_TRUE(presets->HandleCommand(PresetManager::kRename)) << "Default Preset is current";
    EXPECT_TRUE(presets->HandleCommand(PresetManager::kDelete));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(OnDisk().empty());
    for (int id : {1100, 1119, 1404, 1500, 1501, 1502, 57601})
        EXPECT_FALSE(presets->HandleCommand(id)) << id;
    EXPECT_TRUE(presets->HandleCommand(1499)) << "a preset command without a preset does nothing";
    EXPECT_EQ(presets->store()->current(), 0);
}

TEST_F(PresetManagerTest, PresetsCannotBeSwitchedWhileAJobRuns) {
    StoreResize(kWeb, 640);
    Open();
    target.ResizeToWidth(50);
    const int applied = target.applied;
    presets->SetJobRunning(true);
    EXPECT_FALSE(presets->commandAction(1409)->isEnabled());
    EXPECT_FALSE(presets->commandAction(1410)->isEnabled());
    EXPECT_FALSE(Pick(1410));
    EXPECT_TRUE(presets->HandleCommand(1410));
    EXPECT_EQ(target.applied, applied);
    EXPECT_EQ(target.set.resize.width, 50u) << "the job's records are untouched";
    EXPECT_EQ(presets->store()->current(), 0);

    // Saving reads the records only and stays available.
    names = {QStringLiteral("During")};
    presets->HandleCommand(PresetManager::kSaveAs);
    EXPECT_EQ(OnDisk()[QStringLiteral("During")], ResizeDoc(50));

    presets->SetJobRunning(false);
    ASSERT_TRUE(Pick(1411)); // Web, after "During"
    EXPECT_EQ(target.set.resize.width, 640u);
}

TEST_F(PresetManagerTest, PresetsPastTheLastCommandAreListedButCannotBeChosen) {
    for (int i = 0; i < 92; ++i)
        settings.writePreset(QStringLiteral("P%1").arg(i, 3, 10, QChar(u'0')),
                             QStringLiteral("{}"));
    Open();
    EXPECT_EQ(presets->commandAction(1499)->text(), QStringLiteral("P089"));
    const QList<QAction*> items = presets->menu()->actions();
    EXPECT_EQ(items[90]->text(), QStringLiteral("P090"));
    EXPECT_FALSE(items[90]->isEnabled());
    EXPECT_EQ(items[90]->data().toInt(), 0);
    EXPECT_FALSE(items[91]->isEnabled());
    EXPECT_FALSE(presets->HandleCommand(1501)) << "not the 92nd preset: the update check";
}

TEST_F(PresetManagerTest, AmpersandsInNamesShowAsThemselves) {
    settings.writePreset(QStringLiteral("Black & White"), QStringLiteral("{}"));
    Open();
    EXPECT_EQ(presets->commandAction(1410)->text(), QStringLiteral("Black && White"));
}

} // namespace
