// The real main window, offscreen, with its own settings folder, the message boxes and file
// dialogs answered by the test, and helpers that send real drag-and-drop and mouse events.
#pragma once

#include "app/AppDialogs.h"
#include "app/CRXMainWnd.h"
#include "engine/Imaging.h"
#include "engine/MessageBox.h"
#include "settings/SettingsStore.h"
#include "tests/support/SettingsLocation.h"
#include "tests/support/TestImages.h"
#include "tests/ui/QtTestApp.h"
#include "ui/InterfaceFonts.h"
#include "ui/PrivateFontCollection.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rxtest {

struct ShownMessage {
    std::wstring text;
    std::wstring caption;
    unsigned style = 0;
};

inline const rx::PrivateFontCollection& EmbeddedFonts() {
    static rx::PrivateFontCollection* fonts = [] {
        auto* f = new rx::PrivateFontCollection;
        f->LoadEmbeddedFont();
        return f;
    }();
    return *fonts;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        if (!rx::ui::HaveInterfaceFonts())
            rx::ui::CreateInterfaceFonts();
        rx::ui::SetPrivateFonts(&EmbeddedFonts());
        rx::EnsureImagingStarted();
        previousBox_ = rx::SetMessageBoxHandler(
            [this](const std::wstring& text, const std::wstring& caption, unsigned style) {
                messages.push_back({text, caption, style});
                if (answers.empty())
                    return rx::IDOK;
                const int a = answers.front();
                answers.pop_front();
                return a;
            });
        previousFolder_ = rx::SetFolderAndFormatHook([this](QWidget*, rx::FolderAndFormat& io) {
            ++folderAsked;
            proposedFolder = io.folder;
            proposedFormat = io.format;
            if (chosenFolder.isEmpty())
                return false;
            io.folder = chosenFolder;
            io.format = chosenFormat;
            return true;
        });
        previousImport_ = rx::SetImportFilesHook([this](QWidget*) {
            ++importAsked;
            return importAnswer;
        });
        settings = std::make_unique<rx::SettingsStore>(QStringLiteral("rexmill"));
    }

    void TearDown() override {
        window.reset();
        settings.reset();
        rx::SetMessageBoxHandler(previousBox_);
        rx::SetFolderAndFormatHook(previousFolder_);
        rx::SetImportFilesHook(previousImport_);
    }

    // Creates and shows the window; false when its creation failed.
    bool Open() {
        window = std::make_unique<rx::CRXMainWnd>(*settings, &EmbeddedFonts());
        if (!window->Create())
            return false;
        window->show();
        QApplication::processEvents();
        return true;
    }

    // A real drag over the window ending in a drop at the point. Returns whether the window
    // accepted the drag; the drop is sent only then, like a real drag.
    bool Drop(const QStringList& paths, QPoint at = QPoint(200, 120)) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(QUrl::fromLocalFile(p));
        data.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                              Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent over(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &over);
        if (!over.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        return drop.isAccepted();
    }

    // Sends only the drop, as a source that ignored the refused drag would.
    bool DropWithoutDrag(const QStringList& paths, QPoint at) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(QUrl::fromLocalFile(p));
        data.setUrls(urls);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        return drop.isAccepted();
    }

    void Click(QWidget& w) {
        ASSERT_TRUE(w.isVisible());
        QTest::mouseClick(&w, Qt::LeftButton, {}, w.rect().center());
    }

    // A folder with JPEG files (and whatever else the test puts in it).
    QString Folder(const std::string& name, int jpegs) {
        const boost::filesystem::path folder = dir / name;
        boost::filesystem::create_directories(folder);
        for (int i = 0; i < jpegs; ++i)
            WriteFile(folder / ("photo" + std::to_string(i) + ".jpg"),
                      MakeImage(rx::OutputFormat::Jpeg));
        return QString::fromStdString(folder.string());
    }
    QString TextFile(const std::string& name) {
        WriteFile(dir / name, rx::Bytes{'h', 'e', 'l', 'l', 'o'});
        return QString::fromStdString((dir / name).string());
    }
    QString AnimatedGif(const std::string& name) {
        ImageSpec spec;
        spec.pages = 3;
        WriteFile(dir / name, MakeImage(rx::OutputFormat::Gif, spec));
        return QString::fromStdString((dir / name).string());
    }

    SettingsLocation settingsDir;
    TempDir dir;
    std::unique_ptr<rx::SettingsStore> settings;
    std::unique_ptr<rx::CRXMainWnd> window;
    std::vector<ShownMessage> messages;
    std::deque<int> answers;
    int folderAsked = 0, importAsked = 0;
    QString proposedFolder, chosenFolder;
    std::optional<rx::OutputFormat> proposedFormat; // set when the dialog was asked
    rx::OutputFormat chosenFormat = rx::OutputFormat::DontChange;
    QStringList importAnswer;

private:
    rx::MessageBoxHandler previousBox_;
    rx::FolderAndFormatHook previousFolder_;
    rx::ImportFilesHook previousImport_;
};

} // namespace rxtest
