#include "QtTestApp.h"
#include "resources/SkinTable.h"
#include "ui/ButtonStateImages.h"
#include "ui/PrivateFontCollection.h"
#include "ui/SkinResources.h"
#include "ui/TextPainter.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rx;

namespace {

QString Name(std::string_view s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(SkinTest, EveryImageOfTheTableExistsWithItsExactSize) {
    for (const auto& entry : skin::kSkinImages) {
        QImage image;
        ASSERT_TRUE(LoadPngResource(Name(entry.name), image)) << entry.name;
        EXPECT_EQ(image.width(), entry.width) << entry.name;
        EXPECT_EQ(image.height(), entry.height) << entry.name;
    }
    const QIcon icon = LoadAppIcon();
    for (int size : skin::kIconSizes)
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
}

TEST_F(SkinTest, StateSetsLoadWithOptionalDownAndDisabled) {
    ButtonStateImages red;
    ASSERT_TRUE(red.Load("RED"));
    EXPECT_FALSE(red.Down().isNull());
    EXPECT_TRUE(red.Disabled().isNull());
    // Disabled without an X image falls back to the up image.
    EXPECT_EQ(&red.ImageFor(ODS_DISABLED), &red.Up());
    EXPECT_EQ(&red.ImageFor(ODS_SELECTED), &red.Down());
    EXPECT_EQ(&red.ImageFor(ODS_CHECKED), &red.Down());
    ButtonStateImages missing;
    EXPECT_FALSE(missing.Load("NOSUCHBUTTON"));
}

TEST_F(SkinTest, LoadingIntoAFullSlotReplacesAndAMissingNameKeepsIt) {
    QImage slot;
    ASSERT_TRUE(LoadPngResource("CLOSEU", slot));
    ASSERT_TRUE(LoadPngResource("BGTOP", slot));
    EXPECT_EQ(slot.size(), QSize(395, 38));
    EXPECT_TRUE(LoadPngResource("NOSUCHIMAGE", slot));
    EXPECT_EQ(slot.size(), QSize(395, 38));
    QImage empty;
    EXPECT_FALSE(LoadPngResource("NOSUCHIMAGE", empty));
}

TEST_F(SkinTest, EmbeddedFontIsPacificoAndDrawsDifferentlyFromTheFallback) {
    PrivateFontCollection fonts;
    ASSERT_TRUE(fonts.LoadEmbeddedFont());
    EXPECT_TRUE(fonts.Contains("Pacifico"));

    auto render = [&](const QString& family) {
        QImage img(200, 40, QImage::Format_ARGB32);
        img.fill(Qt::black);
        QPainter g(&img);
        TextPainter painter(0xFFFFFFFF);
        painter.SetFamilyName(family);
        painter.SetCollection(&fonts);
        painter.Draw(g, "Drop images here", 20, TextPainter::FromEdges(0, 0, 200, 40));
        return img;
    };
    const QImage script = render("Pacifico");
    const QImage fallback = render("No Such Family");
    EXPECT_NE(script, fallback);
    QImage blank(200, 40, QImage::Format_ARGB32);
    blank.fill(Qt::black);
    EXPECT_NE(script, blank) << "something was drawn";
    EXPECT_NE(fallback, blank) << "the fallback draws too";
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(SkinTest, GeneratorOutputIsByteIdenticalFromRunToRun) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* run : {"a", "b"}) {
        QProcess p;
        p.start(RX_SKIN_GENERATOR,
                {dir.filePath(run), RX_SKIN_FONT_SCRIPT, RX_SKIN_FONT_NARROW, RX_SKIN_FONT_SANS});
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    for (const auto& entry : skin::kSkinImages) {
        const QString file = "skin/" + Name(entry.name) + ".png";
        const QByteArray a = ReadAll(dir.filePath("a/" + file));
        ASSERT_FALSE(a.isEmpty()) << entry.name;
        EXPECT_EQ(a, ReadAll(dir.filePath("b/" + file))) << entry.name;
        // And the same bytes as the images compiled into the program.
        EXPECT_EQ(a, ReadAll(Name(skin::kImagePrefix) + Name(entry.name) + ".png")) << entry.name;
    }
    for (int size : skin::kIconSizes) {
        const QString file = QString("icons/rexmill-%1.png").arg(size);
        EXPECT_EQ(ReadAll(dir.filePath("a/" + file)), ReadAll(dir.filePath("b/" + file)));
    }
}

} // namespace
