// The "&Presets" sub-menu in the real window, its commands as the menu button hands them on:
// picking presets with the modified prompt, and a new name taking its sorted place.
#include "presets/CPresetDialog.h"
#include "tests/app/MainWindowHarness.h"

#include <QMenu>

using namespace rx;
using namespace rxtest;

namespace {

const char kWeb[] = R"({"Bulk Resize":{"mode":"0","width":"100"}})";
const char kBeta[] = R"({"Rename":{"mode":"0","common":"b","digits":"1","startWith":"1"}})";

class PresetMenuTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        settings->writePreset("Web", kWeb);
        settings->writePreset("beta", kBeta);
    }
    // The sub-menu's entries as text and command id (0 for separators).
    QList<QPair<QString, int>> Entries() {
        QList<QPair<QString, int>> out;
        for (QAction* a : window->Menu().PresetsMenu()->actions())
            out.append({a->isSeparator() ? QString("-") : a->text(),
                        a->isSeparator() ? 0 : a->data().toInt()});
        return out;
    }
    QAction* Item(int id) {
        for (QAction* a : window->Menu().PresetsMenu()->actions())
            if (!a->isSeparator() && a->data().toInt() == id)
                return a;
        return nullptr;
    }
};

TEST_F(PresetMenuTest, PickingPresetsAsksAboutTheModifiedOneAndKeepsOrWritesItByTheAnswer) {
    ASSERT_TRUE(Open());
    ASSERT_NE(window->Menu().PresetsMenu(), nullptr);
    EXPECT_EQ(window->Menu().PresetsMenu()->title(), "&Presets");
    ASSERT_NE(Item(1410), nullptr);
    EXPECT_EQ(Item(1410)->text(), "Web");
    EXPECT_EQ(Item(1411)->text(), "beta");

    window->OnCommand(1410); // Web
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Panels().IsSwitchedOn(1); }, 2000));
    EXPECT_TRUE(Item(1410)->isChecked());
    EXPECT_EQ(window->size(), QSize(395, 260 + 80));
    EXPECT_TRUE(messages.empty());

    // A change, then another preset: No keeps the stored Web as it was.
    Click(*window->Panels().Toggle(2));
    answers = {IDNO};
    window->OnCommand(1411); // beta
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Panels().IsSwitchedOn(3); }, 2000));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, L"Current preset 'Web' is modified. Save changes?");
    EXPECT_EQ(messages[0].style & 0xF, MB_YESNO);
    EXPECT_EQ(settings->presetText("Web").value_or(""), kWeb);
    EXPECT_FALSE(window->Panels().IsSwitchedOn(1));
    EXPECT_EQ(window->size(), QSize(395, 260 + 87));

    // The same change answered Yes writes the settings in use under Web.
    window->OnCommand(1410);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Panels().IsSwitchedOn(1); }, 2000));
    Click(*window->Panels().Toggle(2));
    const std::wstring changed = window->Panels().SavePreset();
    answers = {IDYES};
    window->OnCommand(1409); // Default Preset
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Panels().IsSwitchedOn(1); }, 2000));
    // (beta, stored by hand above, reads back in the panels' own wording: it asks too.)
    EXPECT_EQ(messages.back().text, L"Current preset 'Web' is modified. Save changes?");
    EXPECT_EQ(settings->presetText("Web").value_or("").toStdWString(), changed);
    EXPECT_EQ(window->size(), QSize(395, 260));
}

TEST_F(PresetMenuTest, ANewNameTakesItsSortedPlaceAndTheCommandsBelowShiftByOne) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Drop({Folder("presets", 1)}));
    Click(*window->Panels().Toggle(1)); // Resize on, not ready (width 0)
    Click(*window->Panels().Toggle(2)); // Optimize on and ready
    const auto previous = SetAskPresetNameHook([](QString& name, QWidget*, const QStringList&) {
        name = "Zoo";
        return true;
    });
    // "Zoo" sorts between "Web" and "beta" (upper case first).
    window->OnCommand(cmd::PresetSaveAs);
    SetAskPresetNameHook(previous);
    const QList<QPair<QString, int>> expected = {
        {"Web", 1410},  {"Zoo", 1411},     {"beta", 1412},   {"Default Preset", 1409}, {"-", 0},
        {"Save", 1400}, {"Save As", 1401}, {"Rename", 1402}, {"Delete", 1403}};
    EXPECT_EQ(Entries(), expected);
    EXPECT_TRUE(Item(1411)->isChecked());
    EXPECT_EQ(settings->presetText("Zoo").value_or("").toStdWString(),
              window->Panels().SavePreset());
    // 1412 now picks beta.
    window->OnCommand(1412);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Panels().IsSwitchedOn(3); }, 2000));
    EXPECT_FALSE(window->Panels().IsSwitchedOn(2));
}

TEST_F(PresetMenuTest, PresetsCannotBeSwitchedWhileAJobRuns) {
    settings->setWorkingPreset(kWeb);
    ASSERT_TRUE(Open());
    EXPECT_FALSE(window->Panels().IsSwitchedOn(3));
    ASSERT_TRUE(Drop({Folder("busy", 2)}));
    chosenFolder = QString::fromStdString((dir / "out").string());
    Click(window->Button(cmd::Start));
    ASSERT_EQ(window->State(), MainWindowState::Processing);
    window->OnCommand(1411); // beta
    EXPECT_FALSE(window->Panels().IsSwitchedOn(3));
    EXPECT_TRUE(window->Panels().IsSwitchedOn(1));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->State() == MainWindowState::Success; }, 20000));
    window->OnCommand(1411);
    EXPECT_TRUE(window->Panels().IsSwitchedOn(3));
}

} // namespace
