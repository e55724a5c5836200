#include <gtest/gtest.h>

#include "presets/PresetStore.h"
#include "settings/SettingsStore.h"
#include "tests/support/SettingsLocation.h"

using namespace rx;

TEST(PresetStore, NamesAreSortedByCodeUnitsAfterTheDefault) {
    rxtest::SettingsLocation where;
    SettingsStore settings(QStringLiteral("rexmill"));
    for (const char* n : {"beta", "Zeta", "alpha"})
        settings.writePreset(QString::fromLatin1(n), QStringLiteral("{}"));
    PresetStore store(settings);
    EXPECT_EQ(store.names(), (QStringList{QString(), "Zeta", "alpha", "beta"}));
    EXPECT_EQ(store.current(), 0);
    EXPECT_EQ(store.AddName(QStringLiteral("alpha")), 2) << "an existing name keeps its index";
    EXPECT_EQ(store.AddName(QStringLiteral("Alpha")), 1);
    EXPECT_EQ(store.AddName(QStringLiteral("")), 0);
    EXPECT_EQ(store.names().size(), 5);
    EXPECT_EQ(store.indexOf(QStringLiteral("beta")), 4);
    EXPECT_EQ(store.indexOf(QStringLiteral("gamma")), -1);
}

TEST(PresetStore, ReadWriteRemoveAndRemember) {
    rxtest::SettingsLocation where;
    SettingsStore settings(QStringLiteral("rexmill"));
    {
        PresetStore store(settings);
        EXPECT_EQ(store.ReadPreset(QString()), QStringLiteral("{}"));
        EXPECT_EQ(store.ReadPreset(QStringLiteral("none")), QStringLiteral("{}"));
        const int web = store.AddName(QStringLiteral("Web"));
        store.AddName(QStringLiteral("web"));
        store.Write(QStringLiteral("Web"), QStringLiteral("{\"Optimize\":{\"mode\":\"0\"}}\n"));
        store.Write(QStringLiteral("web"), QStringLiteral("{\"Rename\":{\"mode\":\"0\"}}\n"));
        store.setCurrent(web);
        store.RememberCurrent();
    }
    PresetStore store(settings);
    ASSERT_EQ(store.RememberedIndex(), store.indexOf(QStringLiteral("Web")));
    store.setCurrent(store.RememberedIndex());
    EXPECT_EQ(store.currentName(), QStringLiteral("Web"));
    EXPECT_EQ(store.RemoveCurrent(), 1);
    EXPECT_EQ(store.current(), 0);
    EXPECT_EQ(store.names(), (QStringList{QString(), "web"}));
    EXPECT_EQ(store.ReadPreset(QStringLiteral("web")),
              QStringLiteral("{\"Rename\":{\"mode\":\"0\"}}\n"))
        << "deleting Web leaves web alone";
    EXPECT_EQ(store.RemoveCurrent(), -1) << "Default Preset cannot be removed";

    // A remembered name that no longer exists starts with Default Preset.
    settings.setLastPresetName(QStringLiteral("Web"));
    EXPECT_EQ(PresetStore(settings).RememberedIndex(), 0);
}
