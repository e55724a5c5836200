#include <gtest/gtest.h>

#include <QSettings>
#include <boost/filesystem/operations.hpp>

#include "settings/SettingsStore.h"
#include "tests/support/SettingsLocation.h"

using namespace rx;

TEST(SettingsStore, FirstRunGivesTheDefaultsAndWritesNothing) {
    rxtest::SettingsLocation where;
    SettingsStore store(QStringLiteral("rexmill"));
    EXPECT_EQ(store.mainWindowX(), 200);
    EXPECT_EQ(store.mainWindowY(), 200);
    EXPECT_EQ(store.workingPreset(), QStringLiteral("{}"));
    EXPECT_FALSE(store.previewPlacement().has_value());
    EXPECT_TRUE(store.presetNames().isEmpty());
    EXPECT_EQ(store.lastPresetName(), QString());
    store.sync();
    EXPECT_FALSE(boost::filesystem::exists(where.dir() / "Mornsby Software" / "Rexmill.conf"));
}

TEST(SettingsStore, WindowValuesLiveBelowTheApplicationsOwnSubKey) {
    rxtest::SettingsLocation where;
    {
        SettingsStore store(QStringLiteral("rexmill"));
        store.setMainWindowPosition(-40, 1234);
        store.setWorkingPreset(QStringLiteral("{\"Rename\":{\"mode\":\"1\"}}\n"));
        store.writePreset(QStringLiteral("Web"), QStringLiteral("{}"));
    }
    SettingsStore same(QStringLiteral("rexmill"));
    EXPECT_EQ(same.mainWindowX(), -40);
    EXPECT_EQ(same.mainWindowY(), 1234);
    EXPECT_EQ(same.workingPreset(), QStringLiteral("{\"Rename\":{\"mode\":\"1\"}}\n"));
    // A renamed executable starts from fresh window defaults but shares the presets.
    SettingsStore renamed(QStringLiteral("rexmill2"));
    EXPECT_EQ(renamed.mainWindowX(), 200);
    EXPECT_EQ(renamed.workingPreset(), QStringLiteral("{}"));
    EXPECT_EQ(renamed.presetNames(), QStringList{QStringLiteral("Web")});
}

TEST(SettingsStore, ValuesOfTheWrongTypeGiveTheDefaults) {
    rxtest::SettingsLocation where;
    {
        QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Mornsby Software", "Rexmill");
        raw.setValue("1.0/rexmill/Main Window/X", "left");
        raw.setValue("1.0/rexmill/Main Window/Preset", QByteArray("{}"));
        raw.setValue("1.0/rexmill/Preview/WindowPlacement", QByteArray(40, 'x'));
        raw.setValue("1.0/Presets/Bin", QByteArray("{}"));
        raw.setValue("1.0/Presets/Nul", QString::fromUtf16(u"{}\0garbage", 10));
    }
    SettingsStore store(QStringLiteral("rexmill"));
    EXPECT_EQ(store.mainWindowX(), 200);
    EXPECT_EQ(store.workingPreset(), QStringLiteral("{}"));
    EXPECT_FALSE(store.previewPlacement().has_value()) << "40 bytes are ignored";
    EXPECT_FALSE(store.presetText(QStringLiteral("Bin")).has_value());
    EXPECT_EQ(store.presetText(QStringLiteral("Nul")), QStringLiteral("{}"));
    EXPECT_FALSE(store.presetText(QStringLiteral("missing")).has_value());
}

TEST(SettingsStore, PlacementKeepsItsFortyFourByteLayout) {
    rxtest::SettingsLocation where;
    WindowPlacement p;
    p.flags = 2;
    p.showCmd = 3;
    p.minX = -32000, p.minY = -32000, p.maxX = -1, p.maxY = -1;
    p.left = 10, p.top = 20, p.right = 810, p.bottom = 620;
    const QByteArray bytes = p.toBytes();
    ASSERT_EQ(bytes.size(), 44);
    EXPECT_EQ(bytes.left(4), QByteArray("\x2c\0\0\0", 4));
    EXPECT_EQ(bytes.mid(28, 4), QByteArray("\x0a\0\0\0", 4)) << "the normal rectangle starts at 28";
    {
        SettingsStore store(QStringLiteral("rexmill"));
        store.setPreviewPlacement(p);
    }
    SettingsStore store(QStringLiteral("rexmill"));
    const auto back = store.previewPlacement();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->toBytes(), bytes);
    EXPECT_EQ(back->minX, -32000);
    EXPECT_EQ(back->bottom, 620);
}

TEST(SettingsStore, AnyPresetNameRoundTripsAndCaseMatters) {
    rxtest::SettingsLocation where;
    const QStringList names = {
        QStringLiteral("a/b"),        QStringLiteral("back\\slash"), QStringLiteral("dots..."),
        QStringLiteral("x=y"),        QStringLiteral("#hash"),       QStringLiteral(";semi"),
        QStringLiteral("  spaced  "), QStringLiteral("Grüße Ωμέγα"), QStringLiteral("%25 literal"),
        QStringLiteral("Web"),        QStringLiteral("web"),         QString(200, u'n'),
        QStringLiteral("[section]"),  QStringLiteral("\"quoted\""),
    };
    {
        SettingsStore store(QStringLiteral("rexmill"));
        for (const QString& n : names)
            store.writePreset(n, QStringLiteral("text of ") + n);
        store.setLastPresetName(QStringLiteral("a/b"));
    }
    SettingsStore store(QStringLiteral("rexmill"));
    QStringList got = store.presetNames();
    got.sort();
    QStringList want = names;
    want.sort();
    EXPECT_EQ(got, want);
    for (const QString& n : names)
        EXPECT_EQ(store.presetText(n), QStringLiteral("text of ") + n) << n.toStdString();
    EXPECT_EQ(store.lastPresetName(), QStringLiteral("a/b"));
    store.removePreset(QStringLiteral("web"));
    EXPECT_EQ(store.presetText(QStringLiteral("Web")), QStringLiteral("text of Web"));
    EXPECT_FALSE(store.presetText(QStringLiteral("web")).has_value());
}
