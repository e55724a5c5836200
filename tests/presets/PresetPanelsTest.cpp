// The preset commands over the window's real operation panels: picking a preset from the
// menu switches the toggles and fills the panels, and START follows their readiness.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "presets/PanelSetTarget.h"
#include "presets/PresetManager.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/ui/PanelTestSupport.h"
#include "ui/CRXResizeWnd.h"

using namespace rx;

namespace {

class PresetPanelsTest : public PanelTest {
protected:
    rxtest::SettingsLocation where;
    SettingsStore settings{QStringLiteral("rexmill")};
    rxtest::MessageRecorder boxes;
};

TEST_F(PresetPanelsTest, PickingAPresetSetsTheTogglesAndPanelsAndStartFollows) {
    settings.writePreset(QStringLiteral("Web"),
                         QStringLiteral("{\"Bulk Resize\":{\"mode\":\"0\",\"width\":\"640\"}}\n"));
    QWidget window;
    window.resize(395, 700);
    OperationPanelSet panels;
    ASSERT_TRUE(panels.CreateAll(&window, 12, 221));
    auto* start = new QPushButton(QStringLiteral("START"), &window);
    PanelSetTarget target(panels);
    PresetManager presets(settings, target, &window);
    presets.AttachStart(start, nullptr);
    int applied = 0;
    QObject::connect(&presets, &PresetManager::PresetApplied, [&] { ++applied; });
    presets.Open();
    EXPECT_FALSE(start->isEnabled());

    ASSERT_TRUE(presets.HandleCommand(1410));
    EXPECT_EQ(applied, 2) << "Open applies the remembered preset, then the pick";
    EXPECT_TRUE(panels.IsSwitchedOn(1));
    EXPECT_FALSE(panels.IsSwitchedOn(0));
    EXPECT_EQ(panels.Resize().Op().width, 640u);
    EXPECT_EQ(panels.Resize().WidthBox()->text(), QStringLiteral("640"));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(target.SavePreset(), settings.presetText(QStringLiteral("Web"))->toStdWString())
        << "what was applied reads back as the stored document";

    // A change in the panel makes Web modified; "Default Preset" then asks and switches off.
    panels.Resize().WidthBox()->setText(QStringLiteral("800"));
    boxes.fallback = IDNO;
    presets.HandleCommand(1409);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(panels.IsSwitchedOn(1));
    EXPECT_FALSE(start->isEnabled());
}

} // namespace
