// The real folder-and-format dialog, driven while it is open: its "File format:" list, the
// format preselected and the one picked coming back with the folder.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/AppDialogs.h"
#include "engine/OutputFormat.h"
#include "tests/support/TestImages.h"
#include "tests/ui/QtTestApp.h"

namespace {

struct Seen {
    QStringList items;
    QString label;
    int preselected = -1;
    bool found = false;
};

// Once the dialog is up: reads its list, picks position `pick` and accepts (or rejects when
// pick < 0).
void AnswerWhenOpen(Seen* seen, int pick) {
    QTimer::singleShot(0, [seen, pick] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            AnswerWhenOpen(seen, pick); // not shown yet
            return;
        }
        const auto lists = dialog->findChildren<QComboBox*>();
        for (QComboBox* list : lists) {
            if (list->findText(QStringLiteral("Don't change")) < 0)
                continue; // the dialog's own file-type list
            seen->found = true;
            for (int i = 0; i < list->count(); ++i)
                seen->items << list->itemText(i);
            seen->preselected = list->currentIndex();
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (label->buddy() == list)
                    seen->label = label->text();
            if (pick >= 0)
                list->setCurrentIndex(pick);
        }
        // As the dialog's own Choose and Cancel buttons do.
        QMetaObject::invokeMethod(dialog, pick >= 0 ? "accept" : "reject", Qt::DirectConnection);
    });
}

} // namespace

TEST(FolderAndFormatDialog, ListsEveryConversionTargetAndReturnsThePickedOne) {
    TestApp();
    rxtest::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    rx::FolderAndFormat answer{folder, rx::OutputFormat::Gif};
    Seen seen;
    AnswerWhenOpen(&seen, 7);
    ASSERT_TRUE(rx::ChooseFolderAndFormat(nullptr, answer));
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.items,
              (QStringList{"Don't change", "JPEG", "PNG", "BMP", "GIF", "TIFF", "WebP", "AVIF"}))
        << "stored numbers keep their meaning: the new formats come after TIFF";
    EXPECT_EQ(seen.label, QStringLiteral("File format:"));
    EXPECT_EQ(seen.preselected, 4) << "GIF";
    EXPECT_EQ(answer.format, rx::OutputFormat::Avif);
    EXPECT_EQ(answer.folder, folder);

    // Cancelled: the answer stays as it was.
    rx::FolderAndFormat kept{folder, rx::OutputFormat::Webp};
    Seen again;
    AnswerWhenOpen(&again, -1);
    EXPECT_FALSE(rx::ChooseFolderAndFormat(nullptr, kept));
    EXPECT_EQ(again.preselected, 6) << "WebP";
    EXPECT_EQ(kept.format, rx::OutputFormat::Webp);

    // A format that is not in the list (HEIC is read, never written to) preselects the first.
    rx::FolderAndFormat heic{folder, rx::OutputFormat::Heic};
    Seen third;
    AnswerWhenOpen(&third, -1);
    EXPECT_FALSE(rx::ChooseFolderAndFormat(nullptr, heic));
    EXPECT_EQ(third.preselected, 0) << "Don't change";
}
