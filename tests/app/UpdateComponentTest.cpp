// The program's side of the update component, against a recording stand-in library.
#include "app/UpdateComponent.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <vector>

#include "engine/MessageBox.h"
#include "engine/Version.h"
#include "tests/app/FakeAutoUpdateControl.h"
#include "tests/ui/QtTestApp.h"

using namespace rx;
using namespace rx::update;
using rxtest::Fake;

using namespace rxtest::fake_outcome;

namespace {

struct Shown {
    std::wstring text;
    std::wstring caption;
    unsigned style;
    QThread* thread;
    std::string logAtShow;
};

const std::string kRemoveManual = "Set_OnError(null,0);Set_OnNoUpdatesAvailable(null,0)";

class UpdateComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = SetMessageBoxHandler(
            [this](const std::wstring& text, const std::wstring& caption, unsigned style) {
                shown_.push_back({text, caption, style, QThread::currentThread(), fake_.Log()});
                return answer_;
            });
    }
    void TearDown() override { SetMessageBoxHandler(previous_); }

    // An initialised component on the stand-in, with the calls of Init cleared from the log.
    void InitComponent(UpdateComponent& component) {
        ASSERT_TRUE(component.isLoaded());
        ASSERT_EQ(component.Init(), UpdateStart::Continue);
        fake_.clearLog();
    }

    TestAppGuard app_;
    Fake fake_{QStringLiteral(RX_FAKE_AUTOUPDATE)};
    std::vector<Shown> shown_;
    int answer_ = IDOK;
    MessageBoxHandler previous_;
};

TEST(UpdateValueLayout, StringsArePrefixedWithTheirByteLengthAndTerminated) {
    const long before = RxBstrLiveCount();
    RxBstr s = RxBstrAlloc(u"1.0.257");
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 14u);
    EXPECT_EQ(s[7], u'\0');
    EXPECT_EQ(RxBstrLength(s), 7u);
    EXPECT_EQ(RxBstrView(s), std::u16string_view(u"1.0.257"));

    // A character outside the basic plane is two code units, four bytes.
    RxBstr wide = RxBstrAlloc(u"a\U0001F600");
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(wide) - 4, 4);
    EXPECT_EQ(prefix, 6u);
    EXPECT_EQ(RxBstrLength(wide), 3u);

    RxBstr empty = RxBstrAlloc(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], u'\0');
    EXPECT_EQ(RxBstrLength(empty), 0u);
    EXPECT_EQ(RxBstrLength(nullptr), 0u);
    EXPECT_TRUE(RxBstrView(nullptr).empty());

    EXPECT_EQ(RxBstrLiveCount(), before + 3);
    RxBstrFree(s);
    RxBstrFree(wide);
    RxBstrFree(empty);
    RxBstrFree(nullptr);
    EXPECT_EQ(RxBstrLiveCount(), before);
}

TEST(UpdateValueLayout, VariantsOwnTheirStringUntilCleared) {
    const long before = RxBstrLiveCount();
    RxVariant v = RxVariantFromText(u"https://example");
    EXPECT_EQ(v.vt, RX_VT_BSTR);
    EXPECT_EQ(v.reserved[0] | v.reserved[1] | v.reserved[2], 0);
    EXPECT_EQ(RxBstrView(v.bstrVal), std::u16string_view(u"https://example"));
    EXPECT_EQ(RxBstrLiveCount(), before + 1);
    RxVariantClear(v);
    EXPECT_EQ(v.vt, RX_VT_EMPTY);
    EXPECT_EQ(v.bstrVal, nullptr);
    EXPECT_EQ(RxBstrLiveCount(), before);

    // A number owns nothing: clearing it frees nothing.
    RxVariant n{};
    n.vt = RX_VT_I4;
    n.lVal = 5;
    RxVariantClear(n);
    EXPECT_EQ(RxBstrLiveCount(), before);
    {
        ScopedVariant scoped(u"x");
        EXPECT_EQ(RxBstrLiveCount(), before + 1);
    }
    EXPECT_EQ(RxBstrLiveCount(), before);
}

TEST_F(UpdateComponentTest, FindsTheLibraryBesideTheExecutableFirst) {
    const QStringList candidates = UpdateComponent::LibraryCandidates();
    ASSERT_EQ(candidates.size(), 2);
    EXPECT_EQ(candidates.first(), QCoreApplication::applicationDirPath() + "/AutoUpdate");
    EXPECT_EQ(candidates.last(), "AutoUpdate");

    // The stand-in is built beside this test as libAutoUpdate.so.
    UpdateComponent component;
    ASSERT_TRUE(component.isLoaded());
    EXPECT_EQ(QFileInfo(component.libraryFile()).canonicalFilePath(),
              QFileInfo(QStringLiteral(RX_FAKE_AUTOUPDATE)).canonicalFilePath());
}

TEST_F(UpdateComponentTest, InitRegistersBothCallbacksThenPassesAddressAndVersion) {
    const long before = RxBstrLiveCount();
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    EXPECT_EQ(component.Init(), UpdateStart::Continue);
    EXPECT_EQ(fake_.Log(), "Set_OnCloseApplication(cb,1);Set_OnUpdatesAvailable(cb,1);"
                           "Update_Init(\"" +
                               UpdateComponent::kSettingsAddress.toStdString() + "\",\"" +
                               std::string(kVersion) + "\")");
    // Both values were released after the call.
    EXPECT_EQ(RxBstrLiveCount(), before);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(UpdateComponentTest, InitResultOneStopsStartUpBeforeAnyWindowAndWithoutMessage) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    fake_.setInitResult(1);
    EXPECT_EQ(component.Init(), UpdateStart::Stop);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    EXPECT_TRUE(shown_.empty());
    // Only exactly 1 asks the program to end.
    for (std::int32_t other : {0, 2, -1}) {
        fake_.setInitResult(other);
        EXPECT_EQ(component.Init(), UpdateStart::Continue) << other;
    }
}

TEST_F(UpdateComponentTest, AttachGivesTheWindowRegistersCloseAgainAndChecksSilently) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    InitComponent(component);
    // A manual check before the automatic one leaves a callback the component may still call.
    fake_.setManualOutcome(kNoUpdates);
    component.CheckManual();
    ASSERT_EQ(shown_.size(), 1u);
    fake_.clearLog();

    QWidget window;
    window.show();
    fake_.setAutoOutcome(kStaleNoUpdates);
    component.AttachMainWindow(&window);
    // The left-over callback did run (and removed the manual callbacks once more).
    EXPECT_EQ(fake_.Log(), "Update_SetParentWnd(window);Set_OnCloseApplication(cb,1);" +
                               kRemoveManual + ";Update_Check();" + kRemoveManual);
    EXPECT_EQ(fake_.parentWindow(), std::uintptr_t(window.winId()));
    // The automatic check's report, through a callback left over, shows nothing.
    EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(UpdateComponentTest, ManualCheckReportsNoUpdatesExactlyOnce) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    InitComponent(component);
    fake_.setManualOutcome(kNoUpdates);
    component.CheckManual();
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, L"Currently there are no updates available.");
    EXPECT_EQ(shown_[0].caption, UpdateComponent::kCaption);
    EXPECT_EQ(shown_[0].style, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(shown_[0].thread, QCoreApplication::instance()->thread());
    // Both manual callbacks were removed before the box showed.
    const std::string order = "Set_OnError(cb,1);Set_OnNoUpdatesAvailable(cb,1);"
                              "Update_CheckManual();" +
                              kRemoveManual;
    EXPECT_EQ(shown_[0].logAtShow, order);

    // A later report without a new manual request shows nothing, even through a callback the
    // component kept.
    fake_.report(kNoUpdates);
    fake_.report(kStaleNoUpdates);
    EXPECT_EQ(shown_.size(), 1u);

    // A component that reports twice for one check is shown once.
    const long lookups = component.lookupCount();
    fake_.setManualOutcome(kNoUpdatesTwice);
    component.CheckManual();
    EXPECT_EQ(shown_.size(), 2u);
    // The entry points were looked up again for the second check.
    EXPECT_GT(component.lookupCount(), lookups + 3);
}

TEST_F(UpdateComponentTest, ManualCheckErrorShowsTheErrorOnceWithTheAnswer) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    InitComponent(component);
    fake_.setManualOutcome(kError);
    component.CheckManual();
    ASSERT_EQ(shown_.size(), 1u);
    const std::wstring& text = shown_[0].text;
    const std::wstring lead =
        L"An error occurred while checking for updates. Please try again later.";
    EXPECT_EQ(text.substr(0, lead.size()), lead);
    // One more sentence with an e-mail address and a web site.
    const std::wstring rest = text.substr(lead.size());
    EXPECT_NE(rest.find(L'@'), std::wstring::npos);
    EXPECT_NE(rest.find(L"www."), std::wstring::npos);
    EXPECT_EQ(rest.back(), L'.');
    EXPECT_EQ(shown_[0].style, MB_OK | MB_ICONERROR);
    EXPECT_EQ(shown_[0].logAtShow.substr(shown_[0].logAtShow.size() - kRemoveManual.size()),
              kRemoveManual);
    EXPECT_EQ(fake_.callError(), -1) << "the error callback stays removed";

    // The error callback answers with the box's result.
    fake_.setManualOutcome(kNothing);
    component.CheckManual();
    answer_ = IDCANCEL;
    EXPECT_EQ(fake_.callError(), IDCANCEL);
    EXPECT_EQ(shown_.size(), 2u);
}

TEST_F(UpdateComponentTest, ReportFromAnotherThreadShowsOnTheUiThread) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    InitComponent(component);
    fake_.setManualOutcome(kNoUpdatesOnThread);
    component.CheckManual();
    // The component's thread has ended its call; the box waits for the UI thread.
    EXPECT_TRUE(shown_.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, UpdateComponent::kNoUpdatesText);
    EXPECT_EQ(shown_[0].thread, QCoreApplication::instance()->thread());
    QCoreApplication::processEvents();
    EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(UpdateComponentTest, CloseCallbackFromAnotherThreadEndsTheMessageLoop) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    InitComponent(component);
    EXPECT_EQ(fake_.callClose(1), 1);
    // Failing case only: without the quit the loop would run on; end it with another code.
    QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(UpdateComponentTest, UpdatesAvailableReleasesTheValueAndShowsNothing) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    InitComponent(component);
    const long before = RxBstrLiveCount();
    RxVariant value = RxVariantFromText(u"2.0.0");
    EXPECT_EQ(fake_.callUpdatesAvailable(value), 0);
    EXPECT_EQ(RxBstrLiveCount(), before);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(UpdateComponentTest, CloseCallsUpdateCloseEvenWithoutInitialisation) {
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE));
    component.Close();
    EXPECT_EQ(fake_.Log(), "Update_Close()");
}

TEST_F(UpdateComponentTest, WithoutTheLibraryEveryOperationDoesNothing) {
    UpdateComponent component(QDir::temp().filePath("no-such-folder/AutoUpdate"));
    EXPECT_FALSE(component.isLoaded());
    EXPECT_TRUE(component.libraryFile().isEmpty());
    EXPECT_EQ(component.Init(), UpdateStart::Continue);
    QWidget window;
    component.AttachMainWindow(&window);
    component.CheckManual();
    component.Close();
    EXPECT_EQ(component.lookupCount(), 0);
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(fake_.Log(), "");
}

TEST_F(UpdateComponentTest, LibraryWithoutProductNameIsNeitherInitialisedNorChecked) {
    Fake partial(QStringLiteral(RX_FAKE_AUTOUPDATE_PARTIAL));
    UpdateComponent component(QStringLiteral(RX_FAKE_AUTOUPDATE_PARTIAL));
    ASSERT_TRUE(component.isLoaded());
    partial.setInitResult(1);
    partial.setManualOutcome(kNoUpdates);
    EXPECT_EQ(component.Init(), UpdateStart::Continue);
    QWidget window;
    component.AttachMainWindow(&window);
    component.CheckManual();
    EXPECT_EQ(partial.Log(), "");
    EXPECT_TRUE(shown_.empty());
    component.Close();
    EXPECT_EQ(partial.Log(), "Update_Close()");
}

} // namespace
