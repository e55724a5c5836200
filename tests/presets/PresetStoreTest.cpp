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

TEST(PresetStore, AddingANameBeforeTheCurrentOneKeepsTheCurrentPreset) {
    rxtest::SettingsLocation where;
    SettingsStore settings(QStringLiteral("rexmill"));
    for (const char* n : {"b", "d"})
        settings.writePreset(QString::fromLatin1(n), QStringLiteral("{}"));
    PresetStore store(settings);
    store.setCurrent(store.indexOf(QStringLiteral("d")));
    ASSERT_EQ(store.current(), 2);
    EXPECT_EQ(store.AddName(QStringLiteral("a")), 1);
    EXPECT_EQ(store.current(), 3) << "moved with its name";
    EXPECT_EQ(store.currentName(), QStringLiteral("d"));
    EXPECT_EQ(store.AddName(QStringLiteral("c")), 3);
    EXPECT_EQ(store.currentName(), QStringLiteral("d"));
    EXPECT_EQ(store.AddName(QStringLiteral("e")), 5);
    EXPECT_EQ(store.current(), 4) << "a name after it does not move it";
    EXPECT_EQ(store.AddName(QStringLiteral("d")), 4);
    EXPECT_EQ(store.current(), 4) << "an existing name moves nothing";

    store.setCurrent(0);
    store.AddName(QStringLiteral("A"));
    EXPECT_EQ(store.current(), 0) << "Default Preset stays first";
}
