// The main window's tiles of the contact sheet: the real CRXMainWnd, driven like a user would
// (files taken in, two operations switched on, START answered with a scratch folder), grabbed
// in each of its four states.
#include "SheetScenes.h"

#include "app/AppDialogs.h"
#include "app/CRXMainWnd.h"
#include "engine/DebugLog.h"
#include "engine/Imaging.h"
#include "engine/MessageBox.h"
#include "settings/SettingsStore.h"
#include "ui/InterfaceFonts.h"
#include "ui/PrivateFontCollection.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>

#include <atomic>
#include <boost/thread/thread.hpp>
#include <cstdio>
#include <functional>
#include <string>

namespace sheet {

namespace {

// Holds the worker inside the second file until the sheet has grabbed the Processing state.
std::atomic<bool> g_holdWorker{false};
std::atomic<bool> g_workerHeld{false};

void HoldingSink(const std::wstring& line) {
    if (line.find(L"Saving file #1 ") == std::wstring::npos)
        return;
    g_workerHeld = true;
    while (g_holdWorker && !boost::this_thread::interruption_requested())
        boost::this_thread::sleep_for(boost::chrono::milliseconds(2));
}

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 20000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QImage Grab(QWidget& w) {
    QApplication::processEvents();
    return w.grab().toImage();
}

// Sample photographs: gradients with a few shapes, large enough to be worth resizing.
void WriteSamples(const QString& folder, int count) {
    for (int i = 0; i < count; ++i) {
        QImage img(640, 480, QImage::Format_RGB32);
        QPainter g(&img);
        QLinearGradient sky(0, 0, 0, 480);
        sky.setColorAt(0, QColor::fromHsv((40 * i) % 360, 120, 230));
        sky.setColorAt(1, QColor::fromHsv((40 * i + 180) % 360, 160, 120));
        g.fillRect(img.rect(), sky);
        g.setBrush(QColor(255, 255, 255, 120));
        g.drawEllipse(QPoint(120 + 50 * i, 200), 80, 80);
        g.end();
        img.save(QString("%1/photo%2.jpg").arg(folder).arg(i), "JPEG", 90);
    }
}

} // namespace

QVector<Tile> MainWindowScenes(const rx::PrivateFontCollection& fonts) {
    QVector<Tile> tiles;
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path() + "/config");
    const QString photos = scratch.path() + "/photos";
    const QString output = scratch.path() + "/output";
    QDir().mkpath(photos);
    WriteSamples(photos, 6);

    rx::EnsureImagingStarted();
    rx::ui::CreateInterfaceFonts();
    rx::ui::SetPrivateFonts(&fonts);
    const auto previousBox =
        rx::SetMessageBoxHandler([](const std::wstring& text, const std::wstring&, unsigned) {
            std::fprintf(stderr, "skin-sheet: the window said: %ls\n", text.c_str());
            return rx::IDOK;
        });
    const auto previousFolder =
        rx::SetFolderAndFormatHook([&](QWidget*, rx::FolderAndFormat& answer) {
            answer.folder = output;
            return true;
        });
    const auto previousSink = rx::SetDebugLogSink(HoldingSink);
    {
        rx::SettingsStore settings(QStringLiteral("rexmill"));
        // Two panels open: a text watermark and a resize to 320 px wide.
        settings.setWorkingPreset(QStringLiteral(
            R"({"Watermark":{"mode":"0","text":"Rexmill"},"Bulk Resize":{"mode":"0","width":"320"}})"));
        rx::CRXMainWnd window(settings, &fonts);
        if (!window.Create()) {
            std::fprintf(stderr, "skin-sheet: the main window could not be created\n");
            return tiles;
        }
        window.move(0, 0);
        window.show();
        tiles.append({"Empty", Grab(window)});

        window.OpenPaths({photos});
        tiles.append({"FilesAdded", Grab(window)});

        g_holdWorker = true;
        window.OnCommand(rx::cmd::Start);
        WaitFor([&] { return g_workerHeld && window.Processed() >= 1; });
        // Two ticks of the dots timer, as half a second each would give.
        for (int i = 0; i < 2 && window.DotsTimer() > 0; ++i) {
            QTimerEvent tick(window.DotsTimer());
            QApplication::sendEvent(&window, &tick);
        }
        tiles.append({"Processing", Grab(window)});
        g_holdWorker = false;
        WaitFor([&] { return window.State() == rx::MainWindowState::Success; });
        tiles.append({"Success", Grab(window)});
    }
    rx::SetDebugLogSink(previousSink);
    rx::SetFolderAndFormatHook(previousFolder);
    rx::SetMessageBoxHandler(previousBox);
    return tiles;
}

} // namespace sheet
