// Offscreen pictures of every panel in every mode, written into the build folder
// (panel-grabs/) for review beside the layout they were built from.
#include "PanelTestSupport.h"
#include "ui/CImagePicker.h"
#include "ui/CRXOptimizeWnd.h"
#include "ui/CRXRenameWnd.h"
#include "ui/CRXResizeWnd.h"
#include "ui/CRXWatermarkWnd.h"
#include "ui/CToggleButton.h"
#include "ui/OperationPanelSet.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTimerEvent>

using namespace rx;

namespace {

class PanelGrabsTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        host = std::make_unique<QWidget>();
        host->resize(395, 500);
        set = std::make_unique<OperationPanelSet>();
        ASSERT_TRUE(set->CreateAll(host.get(), 0, 0));
        dir = QStringLiteral(RX_TEST_BINARY_DIR) + QStringLiteral("/panel-grabs");
        QDir().mkpath(dir);
    }
    void TearDown() override {
        set.reset();
        host.reset();
        PanelTest::TearDown();
    }
    // Grabs the panel, writes it and checks the frame: left, right and bottom edges grey.
    void Grab(CRXOperationWnd& panel, const QString& name) {
        panel.show();
        const QImage image = panel.grab().toImage();
        EXPECT_TRUE(image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
        ASSERT_EQ(image.size(), QSize(395, panel.GetPanelHeight()));
        const QRgb frame = qRgb(0x77, 0x77, 0x77);
        const int mid = image.height() / 2;
        EXPECT_EQ(image.pixel(0, mid) & 0xFFFFFF, frame & 0xFFFFFF) << name.toStdString();
        EXPECT_EQ(image.pixel(394, mid) & 0xFFFFFF, frame & 0xFFFFFF) << name.toStdString();
        EXPECT_EQ(image.pixel(200, image.height() - 1) & 0xFFFFFF, frame & 0xFFFFFF)
            << name.toStdString();
        panel.hide();
    }
    void SettleSwitch(CToggleButton& sw) {
        for (int i = 0; i < 100 && sw.IsAnimating(); ++i) {
            QTimerEvent tick(sw.AnimationTimer());
            QCoreApplication::sendEvent(&sw, &tick);
        }
    }

    std::unique_ptr<QWidget> host;
    std::unique_ptr<OperationPanelSet> set;
    QString dir;
};

TEST_F(PanelGrabsTest, EveryPanelInEveryMode) {
    const char* kinds[] = {"text", "image", "script", "datestamp"};
    QTemporaryDir temp;
    const QString picture = temp.path() + QStringLiteral("/picture.png");
    QImage img(400, 300, QImage::Format_RGB32);
    img.fill(qRgb(0x33, 0x88, 0xCC));
    ASSERT_TRUE(img.save(picture));
    for (int kind = 0; kind < 4; ++kind) {
        const std::wstring doc = L"{\"Watermark\":{\"mode\":\"" + std::to_wstring(kind) +
                                 L"\",\"text\":\"Sample\",\"image\":{\"path\":\"\\\"" +
                                 picture.toStdWString() +
                                 L"\\\"\",\"width\":\"400\",\"height\":\"300\"},\"alpha\":\"60\","
                                 L"\"angle\":\"30\",\"font\":{\"color\":\"255\",\"style\":\"1\"},"
                                 L"\"position\":{\"x\":\"0.5\",\"y\":\"0.25\"}}}";
        ASSERT_TRUE(set->ApplyPreset(doc));
        Grab(set->Watermark(), QStringLiteral("watermark-") + QLatin1String(kinds[kind]));
    }
    set->Watermark().ModeList()->setCurrentIndex(0);
    ASSERT_TRUE(set->ApplyPreset(L"{\"Watermark\":{\"mode\":\"0\",\"text\":\"Sample\"}}"));
    QTest::mouseClick(set->Watermark().MoveRotateSwitch(), Qt::LeftButton, {}, QPoint(45, 9));
    SettleSwitch(*set->Watermark().MoveRotateSwitch());
    Grab(set->Watermark(), QStringLiteral("watermark-text-rotate"));

    const char* resizeModes[] = {"width", "height", "percentage", "maxsize", "freesize"};
    for (int mode = 0; mode < 5; ++mode) {
        ASSERT_TRUE(set->ApplyPreset(L"{\"Bulk Resize\":{\"mode\":\"" + std::to_wstring(mode) +
                                     L"\",\"width\":\"1024\",\"height\":\"768\","
                                     L"\"percent\":\"50\"}}"));
        Grab(set->Resize(), QStringLiteral("resize-") + QLatin1String(resizeModes[mode]));
    }
    for (int mode = 0; mode < 3; ++mode) {
        ASSERT_TRUE(set->ApplyPreset(L"{\"Optimize\":{\"mode\":\"" + std::to_wstring(mode) +
                                     L"\",\"quality\":\"" + std::to_wstring(1 + 2 * mode) +
                                     L"\"}}"));
        Grab(set->Optimize(), QStringLiteral("optimize-") + QString::number(mode));
    }
    for (int mode = 0; mode < 2; ++mode) {
        ASSERT_TRUE(set->ApplyPreset(L"{\"Rename\":{\"mode\":\"" + std::to_wstring(mode) +
                                     L"\",\"common\":\"Holiday_\",\"digits\":\"3\","
                                     L"\"startWith\":\"1\"}}"));
        SettleSwitch(*set->Rename().SideSwitch());
        Grab(set->Rename(),
             mode ? QStringLiteral("rename-suffix") : QStringLiteral("rename-prefix"));
    }
}

} // namespace
