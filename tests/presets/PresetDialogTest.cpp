// The preset name dialog and its skinned base, driven with real keyboard and mouse events.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "presets/CPresetDialog.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/ui/QtTestApp.h"
#include "ui/CLabel.h"
#include "ui/SkinResources.h"

using namespace rx;

namespace {

const QStringList kNames{QString(), QStringLiteral("Print"), QStringLiteral("Web"),
                         QStringLiteral("alpha")};

class PresetDialogTest : public ::testing::Test {
protected:
    TestAppGuard app;
    void SetUp() override { InitSkinResources(); }

    QStringList Items(const QComboBox& list) {
        QStringList out;
        for (int i = 0; i < list.count(); ++i)
            out << list.itemText(i);
        return out;
    }
};

TEST_F(PresetDialogTest, ShowsThePromptAndTheNamedPresetsInTheListsOrder) {
    CPresetDialog dialog(nullptr, kNames, QString());
    EXPECT_EQ(dialog.templateName(), QStringLiteral("PRESETDLG"));
    EXPECT_EQ(dialog.label()->text(),
              QStringLiteral("Type a new name for your preset or select an existing one:"));
    EXPECT_EQ(Items(*dialog.nameList()), (QStringList{"Print", "Web", "alpha"}))
        << "Default Preset is not offered and the order is kept";
    EXPECT_TRUE(dialog.nameList()->isEditable());
    EXPECT_EQ(dialog.okButton()->text(), QStringLiteral("Ok"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);

    CPresetDialog named(nullptr, kNames, QStringLiteral("Web"));
    EXPECT_EQ(named.nameList()->currentText(), QStringLiteral("Web"));
    EXPECT_TRUE(named.okButton()->isEnabled());
}

TEST_F(PresetDialogTest, OkFollowsTheTextTypedOrChosen) {
    CPresetDialog dialog(nullptr, kNames, QString());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* edit = dialog.nameList()->lineEdit();
    QTest::keyClick(edit, Qt::Key_X);
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(dialog.name(), QStringLiteral("x"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_FALSE(dialog.okButton()->isEnabled());

    // Enter with no name does nothing; picking a name from the list enables Ok.
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    dialog.nameList()->setCurrentIndex(1);
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(dialog.name(), QStringLiteral("Web"));
    // The typed-over text is what Ok confirms, and the list does not grow.
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Web 2"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.name(), QStringLiteral("Web 2"));
    EXPECT_EQ(dialog.nameList()->count(), 3);
}

TEST_F(PresetDialogTest, AskingGivesTheNameOnOkAndLeavesItOnCancelOrEscape) {
    SetAskPresetNameHook({});
    QString name = QStringLiteral("Web");
    {
        rxtest::OnPresetDialog answer([](CPresetDialog& dialog) {
            QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        });
        EXPECT_FALSE(AskPresetName(name, nullptr, kNames));
        EXPECT_EQ(answer.runs, 1);
    }
    {
        rxtest::OnPresetDialog answer([](CPresetDialog& dialog) {
            QTest::keyClicks(dialog.nameList()->lineEdit(), QStringLiteral(" big"));
            QTest::keyClick(dialog.nameList()->lineEdit(), Qt::Key_Escape);
        });
        EXPECT_FALSE(AskPresetName(name, nullptr, kNames));
    }
    EXPECT_EQ(name, QStringLiteral("Web"));
    {
        rxtest::OnPresetDialog answer([](CPresetDialog& dialog) {
            QTest::keyClick(dialog.nameList()->lineEdit(), Qt::Key_End);
            QTest::keyClicks(dialog.nameList()->lineEdit(), QStringLiteral(" big"));
            QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        });
        EXPECT_TRUE(AskPresetName(name, nullptr, kNames));
    }
    EXPECT_EQ(name, QStringLiteral("Web big"));
}

TEST_F(PresetDialogTest, LayoutFollowsTheDialogUnitsOfItsFont) {
    CPresetDialog dialog(nullptr, kNames, QString());
    const QRect label = dialog.label()->geometry();
    const QRect list = dialog.nameList()->geometry();
    const QRect cancel = dialog.cancelButton()->geometry();
    const QRect ok = dialog.okButton()->geometry();
    // Shared edges of the layout stay shared after scaling (within the rounding of a unit).
    EXPECT_EQ(label.left(), list.left());
    EXPECT_EQ(label.right(), list.right());
    EXPECT_LE(std::abs(ok.right() - list.right()), 1);
    EXPECT_EQ(ok.top(), cancel.top());
    EXPECT_EQ(ok.size(), cancel.size());
    EXPECT_LT(cancel.right(), ok.left());
    EXPECT_LT(label.bottom(), list.top());
    EXPECT_LT(list.bottom(), ok.top());
    EXPECT_LT(ok.bottom(), dialog.height());
    // 300 x 80 units: horizontal units are a quarter, vertical ones an eighth of the font's
    // character cell, so the dialog is far wider than high and grows with its font.
    const QSize base = dialog.BaseUnits();
    EXPECT_EQ(dialog.size(), QSize(300 * base.width() / 4 + 2, 80 * base.height() / 8 + 2));
    EXPECT_EQ(list.left(), 16 * base.width() / 4 + 1);
    EXPECT_EQ(list.top(), 30 * base.height() / 8 + 1);

    CRXDialog larger(QStringLiteral("PRESETDLG"), nullptr);
    QFont big = larger.font();
    big.setPixelSize(2 * QFontInfo(big).pixelSize());
    larger.setFont(big);
    EXPECT_GT(larger.DialogSize(300, 80).width(), dialog.width() * 3 / 2);
    EXPECT_GT(larger.DialogSize(300, 80).height(), dialog.height() * 3 / 2);
}

TEST_F(PresetDialogTest, TheBackgroundIsTheTiledTextureInsideAFrame) {
    CPresetDialog dialog(nullptr, kNames, QString());
    ASSERT_TRUE(dialog.hasBackground());
    QImage texture;
    ASSERT_TRUE(LoadPngResource(QStringLiteral("SETTINGS"), texture));
    texture = texture.convertToFormat(QImage::Format_RGB32);
    const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), dialog.size());
    // Points on no control, one of them past the first tile so the tiling shows.
    for (const QPoint p : {QPoint(3, 3), QPoint(dialog.width() - 4, dialog.height() - 4),
                           QPoint(texture.width() + 5, 5)}) {
        ASSERT_LT(p.x(), dialog.width());
        const QPoint inTexture((p.x() - 1) % texture.width(), (p.y() - 1) % texture.height());
        EXPECT_EQ(shot.pixel(p), texture.pixel(inTexture)) << p.x() << "," << p.y();
    }
    EXPECT_EQ(shot.pixel(0, 0), qRgb(0x64, 0x64, 0x64));
    EXPECT_EQ(shot.pixel(dialog.width() - 1, dialog.height() / 2), qRgb(0x64, 0x64, 0x64));
}

TEST_F(PresetDialogTest, DraggedByAnyPointThatIsNotAControl) {
    CPresetDialog dialog(nullptr, kNames, QString());
    dialog.move(100, 100);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();
    const QPoint grip(5, dialog.height() - 5);
    QTest::mousePress(&dialog, Qt::LeftButton, Qt::NoModifier, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(40, 25)),
                     QPointF(dialog.mapToGlobal(grip) + QPoint(40, 25)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QTest::mouseRelease(&dialog, Qt::LeftButton, Qt::NoModifier, grip + QPoint(40, 25));
    EXPECT_EQ(dialog.pos(), start + QPoint(40, 25));

    // A press on the label (not a control) drags too; one on the name list does not.
    const QPoint onLabel = dialog.label()->geometry().center();
    QTest::mousePress(&dialog, Qt::LeftButton, Qt::NoModifier, onLabel);
    QMouseEvent back(QEvent::MouseMove, QPointF(onLabel - QPoint(40, 25)),
                     QPointF(dialog.mapToGlobal(onLabel) - QPoint(40, 25)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &back);
    QTest::mouseRelease(&dialog, Qt::LeftButton, Qt::NoModifier, onLabel - QPoint(40, 25));
    EXPECT_EQ(dialog.pos(), start);

    QWidget* list = dialog.nameList()->lineEdit();
    QTest::mousePress(list, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QMouseEvent drag(QEvent::MouseMove, QPointF(45, 30), QPointF(list->mapToGlobal(QPoint(45, 30))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drag);
    QTest::mouseRelease(list, Qt::LeftButton, Qt::NoModifier, QPoint(45, 30));
    EXPECT_EQ(dialog.pos(), start);
}

} // namespace
