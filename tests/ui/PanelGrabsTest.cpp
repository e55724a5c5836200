// Offscreen pictures of every panel in every mode (the contact sheet's panel scenes), written
// into the build folder (panel-grabs/) for review beside the layout they were built from.
#include "PanelTestSupport.h"
#include "tools/skin-sheet/SheetScenes.h"

#include <QDir>

namespace {

using PanelGrabsTest = PanelTest;

TEST_F(PanelGrabsTest, EveryPanelInEveryMode) {
    const QString dir = QStringLiteral(RX_TEST_BINARY_DIR) + QStringLiteral("/panel-grabs");
    QDir().mkpath(dir);
    const QVector<sheet::Tile> tiles = sheet::PanelScenes();
    ASSERT_EQ(tiles.size(), 5 + 5 + 3 + 2); // Watermark kinds and rotate, Resize, Optimize, Rename
    const int heights[] = {205, 80, 96, 87};
    for (const sheet::Tile& tile : tiles) {
        QString name = tile.caption.toLower();
        name.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
        EXPECT_TRUE(tile.image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
        const QImage& image = tile.image;
        const int panel = name.startsWith(QLatin1String("watermark"))  ? 0
                          : name.startsWith(QLatin1String("resize"))   ? 1
                          : name.startsWith(QLatin1String("optimize")) ? 2
                                                                       : 3;
        ASSERT_EQ(image.size(), QSize(395, heights[panel])) << name.toStdString();
        // The frame: left, right and bottom edges in the frame grey, the top edge open.
        const QRgb grey = qRgb(0x77, 0x77, 0x77);
        const int mid = image.height() / 2;
        EXPECT_EQ(image.pixel(0, mid), grey) << name.toStdString();
        EXPECT_EQ(image.pixel(394, mid), grey) << name.toStdString();
        EXPECT_EQ(image.pixel(200, image.height() - 1), grey) << name.toStdString();
        EXPECT_NE(image.pixel(200, 0), grey) << name.toStdString();
    }
}

} // namespace
