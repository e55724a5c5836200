// The four operation panels in each of their modes, built from the real panels and grabbed
// offscreen.
#include "SheetScenes.h"

#include "ui/CRXOptimizeWnd.h"
#include "ui/CRXRenameWnd.h"
#include "ui/CRXResizeWnd.h"
#include "ui/CRXWatermarkWnd.h"
#include "ui/CToggleButton.h"
#include "ui/InterfaceFonts.h"
#include "ui/OperationPanelSet.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimerEvent>
#include <memory>

namespace sheet {

namespace {

void Settle(rx::CToggleButton& sw) {
    for (int i = 0; i < 100 && sw.IsAnimating(); ++i) {
        QTimerEvent tick(sw.AnimationTimer());
        QCoreApplication::sendEvent(&sw, &tick);
    }
}

QImage GrabPanel(rx::CRXOperationWnd& panel) {
    panel.show();
    QImage image = panel.grab().toImage();
    panel.hide();
    return image;
}

} // namespace

QVector<Tile> PanelScenes() {
    if (!rx::ui::HaveInterfaceFonts())
        rx::ui::CreateInterfaceFonts();
    QVector<Tile> tiles;
    QWidget host;
    host.resize(395, 300);
    rx::OperationPanelSet set;
    if (!set.CreateAll(&host, 0, 0))
        return tiles;

    QTemporaryDir temp;
    const QString picture = temp.path() + QStringLiteral("/picture.png");
    QImage sample(400, 300, QImage::Format_RGB32);
    sample.fill(QColor(0x33, 0x88, 0xCC));
    sample.save(picture);
    const char* kinds[] = {"Text", "Image", "Script", "Datestamp"};
    for (int kind = 0; kind < 4; ++kind) {
        set.ApplyPreset(L"{\"Watermark\":{\"mode\":\"" + std::to_wstring(kind) +
                        L"\",\"text\":\"Sample\",\"image\":{\"path\":\"\\\"" +
                        picture.toStdWString() +
                        L"\\\"\",\"width\":\"400\",\"height\":\"300\"},\"alpha\":\"60\","
                        L"\"angle\":\"30\",\"font\":{\"color\":\"255\",\"style\":\"1\"},"
                        L"\"position\":{\"x\":\"0.5\",\"y\":\"0.25\"}}}");
        tiles.append({QStringLiteral("Watermark: ") + QLatin1String(kinds[kind]),
                      GrabPanel(set.Watermark())});
    }
    set.ApplyPreset(L"{\"Watermark\":{\"mode\":\"0\",\"text\":\"Sample\",\"angle\":\"135\"}}");
    set.Watermark().MoveRotateSwitch()->LoadState(true);
    Settle(*set.Watermark().MoveRotateSwitch());
    tiles.append({QStringLiteral("Watermark: Text, rotate"), GrabPanel(set.Watermark())});
    set.Watermark().MoveRotateSwitch()->LoadState(false);
    Settle(*set.Watermark().MoveRotateSwitch());

    for (int mode = 0; mode < rx::kResizeModeCount; ++mode) {
        set.ApplyPreset(L"{\"Bulk Resize\":{\"mode\":\"" + std::to_wstring(mode) +
                        L"\",\"width\":\"1024\",\"height\":\"768\",\"percent\":\"50\"}}");
        tiles.append(
            {QStringLiteral("Resize: ") + QString::fromWCharArray(rx::ResizeModeLabel(mode)),
             GrabPanel(set.Resize())});
    }
    for (int mode = 0; mode < rx::kOptimizeModeCount; ++mode) {
        set.ApplyPreset(L"{\"Optimize\":{\"mode\":\"" + std::to_wstring(mode) +
                        L"\",\"quality\":\"" + std::to_wstring(1 + 2 * mode) + L"\"}}");
        tiles.append(
            {QStringLiteral("Optimize: ") + QString::fromWCharArray(rx::OptimizeModeLabel(mode)),
             GrabPanel(set.Optimize())});
    }
    for (int mode = 0; mode < 2; ++mode) {
        set.ApplyPreset(L"{\"Rename\":{\"mode\":\"" + std::to_wstring(mode) +
                        L"\",\"common\":\"Holiday_\",\"digits\":\"3\",\"startWith\":\"1\"}}");
        Settle(*set.Rename().SideSwitch());
        tiles.append({mode ? QStringLiteral("Rename: Suffix") : QStringLiteral("Rename: Prefix"),
                      GrabPanel(set.Rename())});
    }
    return tiles;
}

} // namespace sheet
