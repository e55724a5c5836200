// The watermark record: defaults, readiness, preset keys and their text forms, the date a
// date stamp shows and its formatting under the time locale.
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <sstream>

#include <boost/filesystem/operations.hpp>
#include <boost/property_tree/json_parser.hpp>
#include <gtest/gtest.h>
#include <langinfo.h>

#include "engine/Text.h"
#include "ops/WatermarkDate.h"
#include "ops/WatermarkOp.h"
#include "tests/support/TestImages.h"

namespace {

using boost::gregorian::date;
using boost::property_tree::wptree;
using rx::WatermarkKind;
using rx::WatermarkOp;

std::vector<std::wstring> Keys(const wptree& tree, const std::wstring& prefix = L"") {
    std::vector<std::wstring> keys;
    for (const auto& [name, child] : tree) {
        const std::wstring key = prefix.empty() ? name : prefix + L"." + name;
        if (child.empty())
            keys.push_back(key);
        else
            for (auto& k : Keys(child, key))
                keys.push_back(k);
    }
    return keys;
}

WatermarkOp RoundTrip(const WatermarkOp& op) {
    wptree section;
    op.save(section);
    // Through the JSON text, as presets store it.
    std::wostringstream text;
    boost::property_tree::write_json(text, section, false);
    std::wistringstream in(text.str());
    wptree back;
    boost::property_tree::read_json(in, back);
    WatermarkOp loaded;
    loaded.mode = op.mode;
    loaded.load(back);
    return loaded;
}

TEST(WatermarkRecord, FreshRecordIsWhiteArialTextAtTopLeftAndNotReady) {
    WatermarkOp op;
    EXPECT_EQ(op.kind(), WatermarkKind::Text);
    EXPECT_EQ(op.type(), 0);
    EXPECT_EQ(op.fontName, L"Arial");
    EXPECT_EQ(op.fontSize, 12u);
    EXPECT_EQ(op.fontColor, 16777215u);
    EXPECT_EQ(op.alpha, 100u);
    EXPECT_EQ(op.positionX, 0.0f);
    EXPECT_EQ(op.positionY, 0.0f);
    EXPECT_EQ(op.dateFormat, WatermarkOp::ShortDate);
    EXPECT_FALSE(op.isReady());
    op.text = L"x";
    EXPECT_TRUE(op.isReady());
}

TEST(WatermarkRecord, ReadinessByKind) {
    WatermarkOp op;
    op.mode = static_cast<int>(WatermarkKind::Script);
    EXPECT_FALSE(op.isReady());
    op.mode = static_cast<int>(WatermarkKind::Image);
    op.imagePath = "/tmp/logo.png";
    op.imageWidth = 10;
    EXPECT_FALSE(op.isReady()); // no height
    op.imageHeight = 5;
    EXPECT_TRUE(op.isReady());
    op.mode = static_cast<int>(WatermarkKind::Datestamp);
    EXPECT_TRUE(op.isReady());
    op.mode = 7;
    EXPECT_FALSE(op.isReady());
}

TEST(WatermarkPreset, KeysOfEachKindInWrittenOrder) {
    WatermarkOp op;
    op.text = L"Hi";
    wptree text;
    op.save(text);
    EXPECT_EQ(Keys(text), (std::vector<std::wstring>{L"text", L"angle", L"alpha", L"font.name",
                                                     L"font.style", L"font.size", L"font.color",
                                                     L"position.x", L"position.y"}));
    op.mode = static_cast<int>(WatermarkKind::Image);
    wptree image;
    op.save(image);
    EXPECT_EQ(Keys(image),
              (std::vector<std::wstring>{L"image.path", L"image.width", L"image.height", L"angle",
                                         L"alpha", L"position.x", L"position.y"}));
    op.mode = static_cast<int>(WatermarkKind::Script);
    wptree script;
    op.save(script);
    EXPECT_EQ(Keys(script),
              (std::vector<std::wstring>{L"text", L"angle", L"alpha", L"font.name", L"font.style",
                                         L"font.size", L"font.color"}));
    op.mode = static_cast<int>(WatermarkKind::Datestamp);
    wptree stamp;
    op.save(stamp);
    EXPECT_EQ(Keys(stamp).front(), L"dateFormat");
    EXPECT_EQ(Keys(stamp).size(), 9u);
}

TEST(WatermarkPreset, TextFormsOfValues) {
    WatermarkOp op;
    op.text = L"Hi";
    op.positionX = 0.5f;
    op.positionY = 1.0f / 3.0f;
    op.fontColor = 255;
    wptree s;
    op.save(s);
    EXPECT_EQ(s.get<std::wstring>(L"position.x"), L"0.5");
    EXPECT_EQ(s.get<std::wstring>(L"position.y"), L"0.3333333");
    EXPECT_EQ(s.get<std::wstring>(L"font.color"), L"255");
    EXPECT_EQ(s.get<std::wstring>(L"alpha"), L"100");

    op.mode = static_cast<int>(WatermarkKind::Image);
    op.imagePath = "/home/me/a & b/\"logo\".png";
    wptree i;
    op.save(i);
    EXPECT_EQ(i.get<std::wstring>(L"image.path"), L"\"/home/me/a && b/&\"logo&\".png\"");
}

TEST(WatermarkPreset, RoundTripsKeepEveryFieldOfTheKind) {
    WatermarkOp text;
    text.text = L"© Ünïcode & \"quotes\"";
    text.angle = 400;
    text.alpha = 37;
    text.fontName = L"Lucida Sans Unicode";
    text.fontStyle = 5;
    text.fontSize = 288;
    text.fontColor = 0x123456;
    text.positionX = 0.1234567f;
    text.positionY = 1.0f;
    const WatermarkOp t = RoundTrip(text);
    EXPECT_EQ(t.text, text.text);
    EXPECT_EQ(t.angle, 400u);
    EXPECT_EQ(t.alpha, 37u);
    EXPECT_EQ(t.fontName, text.fontName);
    EXPECT_EQ(t.fontStyle, 5u);
    EXPECT_EQ(t.fontSize, 288u);
    EXPECT_EQ(t.fontColor, 0x123456u);
    EXPECT_EQ(t.positionX, 0.1234567f);
    EXPECT_EQ(t.positionY, 1.0f);

    WatermarkOp image;
    image.mode = static_cast<int>(WatermarkKind::Image);
    image.imagePath = "/srv/my pictures/R&D \"final\"/logo & co.png";
    image.imageWidth = 640;
    image.imageHeight = -3;
    image.positionX = 0.75f;
    const WatermarkOp i = RoundTrip(image);
    EXPECT_EQ(i.imagePath, image.imagePath);
    EXPECT_EQ(i.imageWidth, 640);
    EXPECT_EQ(i.imageHeight, -3);
    EXPECT_EQ(i.positionX, 0.75f);

    WatermarkOp stamp;
    stamp.mode = static_cast<int>(WatermarkKind::Datestamp);
    stamp.dateFormat = WatermarkOp::LongDate;
    EXPECT_EQ(RoundTrip(stamp).dateFormat, WatermarkOp::LongDate);
}

TEST(WatermarkPreset, LoadingAnotherKindResetsTheOtherFields) {
    WatermarkOp image;
    image.mode = static_cast<int>(WatermarkKind::Image);
    image.imagePath = "/a.png";
    image.imageWidth = image.imageHeight = 50;
    wptree section;
    image.save(section);

    WatermarkOp op; // holds a text watermark with its own font and position
    op.text = L"old";
    op.fontName = L"Pacifico";
    op.fontSize = 48;
    op.fontStyle = 3;
    op.fontColor = 0;
    op.dateFormat = WatermarkOp::LongDate;
    op.load(section);
    EXPECT_EQ(op.text, L"");
    EXPECT_EQ(op.fontName, L"Arial");
    EXPECT_EQ(op.fontSize, 12u);
    EXPECT_EQ(op.fontStyle, 0u);
    EXPECT_EQ(op.fontColor, 16777215u);
    EXPECT_EQ(op.dateFormat, WatermarkOp::ShortDate);
    EXPECT_EQ(op.imagePath, "/a.png");

    WatermarkOp script;
    script.mode = static_cast<int>(WatermarkKind::Script);
    script.text = L"tile";
    wptree s;
    script.save(s);
    op.positionX = op.positionY = 0.5f;
    op.load(s);
    EXPECT_EQ(op.positionX, 0.0f);
    EXPECT_EQ(op.positionY, 0.0f);
    EXPECT_TRUE(op.imagePath.empty());
    EXPECT_EQ(op.imageWidth, 0);
}

TEST(WatermarkPreset, MalformedValuesGiveDefaults) {
    wptree s;
    s.put(L"alpha", L"50%");
    s.put(L"angle", L"-5");
    s.put(L"font.size", L"99999999999");
    s.put(L"position.x", L"0.5x");
    s.put(L"position.y", L"nan");
    s.put(L"image.width", L"12.5");
    s.put(L"image.path", L"/no quotes/with space.png");
    WatermarkOp op;
    op.load(s);
    EXPECT_EQ(op.alpha, 100u);
    EXPECT_EQ(op.angle, 0u);
    EXPECT_EQ(op.fontSize, 12u);
    EXPECT_EQ(op.positionX, 0.0f);
    EXPECT_EQ(op.positionY, 0.0f);
    EXPECT_EQ(op.imageWidth, 0);
    EXPECT_TRUE(op.imagePath.empty());

    s.put(L"image.path", L"/plain/path.png"); // unquoted without white space is taken as is
    op.load(s);
    EXPECT_EQ(op.imagePath, "/plain/path.png");
    for (const wchar_t* bad : {L"\"unterminated", L"\"a\"b", L"\"ends in escape&\""}) {
        s.put(L"image.path", bad);
        op.load(s);
        EXPECT_TRUE(op.imagePath.empty()) << bad;
    }
}

TEST(WatermarkDate, ExifDateIsValidatedAndFallsBackToTheModificationDay) {
    EXPECT_EQ(rx::ParseExifDate("2014:05:06 12:34:56"), date(2014, 5, 6));
    EXPECT_EQ(rx::ParseExifDate("2014:05:06"), date(2014, 5, 6));
    for (const char* bad : {"0000:00:00 00:00:00", "2014:02:30 00:00:00", "1399:01:01 00:00:00",
                            "2014:13:01 00:00:00", "2014:05", "    :  :   ", "abcd:ef:gh"})
        EXPECT_FALSE(rx::ParseExifDate(bad)) << bad;
    // 2001-09-09 01:46:40 UTC, whatever the local time zone says.
    EXPECT_EQ(rx::StampDate(std::string("0000:00:00 00:00:00"), 1000000000), date(2001, 9, 9));
    EXPECT_EQ(rx::StampDate(std::nullopt, 1000000000), date(2001, 9, 9));
    EXPECT_EQ(rx::StampDate(std::string("2014:05:06 12:34:56"), 1000000000), date(2014, 5, 6));
    EXPECT_EQ(rx::StampDate(std::nullopt, -1), boost::gregorian::day_clock::universal_day());
}

// Sets LC_TIME to a UTF-8 locale, compiling it into a private folder when the system has not
// generated it (the locale sources ship with glibc's locales package).
bool UseTimeLocale(const std::string& name) {
    const std::string full = name + ".UTF-8";
    if (std::setlocale(LC_TIME, full.c_str()))
        return true;
    static const rxtest::TempDir folder;
    const std::string target = (folder.path() / full).string();
    if (!boost::filesystem::exists(target)) {
        const std::string cmd =
            "localedef -i " + name + " -f UTF-8 '" + target + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0 && !boost::filesystem::exists(target))
            return false;
    }
    setenv("LOCPATH", folder.path().string().c_str(), 1);
    const bool ok = std::setlocale(LC_TIME, full.c_str()) != nullptr;
    unsetenv("LOCPATH");
    return ok;
}

class WatermarkFormatDate : public ::testing::Test {
protected:
    void TearDown() override { std::setlocale(LC_TIME, "C"); }
};

TEST_F(WatermarkFormatDate, CLocale) {
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(rx::FormatDate(date(1995, 3, 14), WatermarkOp::ShortDate), L"03/14/95");
    EXPECT_EQ(rx::FormatDate(date(1995, 3, 14), WatermarkOp::LongDate), L"Tuesday, March 14, 1995");
    EXPECT_EQ(rx::FormatDate(date(1995, 3, 14), static_cast<WatermarkOp::DateFormat>(2)), L"");
}

// What the current LC_TIME locale itself calls a weekday (0 Sunday) and a month (0 January).
std::wstring LocaleName(nl_item item) {
    return rx::Widen(nl_langinfo(item));
}

TEST_F(WatermarkFormatDate, UserLocalesUseTheirOwnNamesAndOrder) {
    // 1995-03-14 was a Tuesday. Each locale that can be had is checked the same way, against
    // its own names and its short date's order of day and month, not a C library's spelling.
    int checked = 0;
    for (const char* locale : {"en_US", "de_DE", "en_GB"}) {
        if (!UseTimeLocale(locale))
            continue;
        ++checked;
        const std::wstring shortDate = rx::FormatDate(date(1995, 3, 14), WatermarkOp::ShortDate);
        const std::wstring longDate = rx::FormatDate(date(1995, 3, 14), WatermarkOp::LongDate);
        EXPECT_NE(shortDate.find(L"14"), std::wstring::npos) << locale;
        EXPECT_NE(shortDate.find(L"95"), std::wstring::npos) << locale;
        EXPECT_EQ(shortDate.find(LocaleName(MON_3)), std::wstring::npos) << "no names: " << locale;
        const size_t weekday = longDate.find(LocaleName(DAY_3));
        const size_t month = longDate.find(LocaleName(MON_3));
        const size_t day = longDate.find(L"14");
        ASSERT_NE(weekday, std::wstring::npos) << locale;
        ASSERT_NE(month, std::wstring::npos) << locale;
        ASSERT_NE(day, std::wstring::npos) << locale;
        EXPECT_NE(longDate.find(L"1995"), std::wstring::npos) << locale;
        EXPECT_LT(weekday, std::min(month, day)) << locale;
        // The long date orders day and month as the short one does (14.03. and "14. März").
        const std::wstring shortPattern = rx::Widen(nl_langinfo(D_FMT));
        const bool dayFirst =
            shortPattern.find_first_of(L"de") < shortPattern.find_first_of(L"mbB");
        EXPECT_EQ(day < month, dayFirst) << locale;
    }
    if (checked == 0)
        GTEST_SKIP() << "none of the locales can be made on this machine";
}

TEST(WatermarkDate, TextOfUpTo127CharactersIsKeptLongerIsNot) {
    std::setlocale(LC_TIME, "C");
    const date day(1995, 3, 14);
    const std::wstring fill127(123, L'x'); // plus "1995"
    EXPECT_EQ(rx::FormatDatePattern(day, fill127 + L"%Y"), fill127 + L"1995");
    EXPECT_EQ(rx::FormatDatePattern(day, fill127 + L"x%Y"), L"") << "128 characters";
    EXPECT_EQ(
        rx::FormatDatePattern(boost::gregorian::date(boost::gregorian::not_a_date_time), L"%Y"),
        L"");
}

TEST(WatermarkDate, ModificationTimesBefore1970AreRealDates) {
    EXPECT_EQ(rx::StampDate(std::nullopt, -31536000), date(1969, 1, 1));
    EXPECT_EQ(rx::StampDate(std::nullopt, -2), date(1969, 12, 31));
    EXPECT_EQ(rx::StampDate(std::nullopt, -86400LL * 365 * 100), date(1870, 1, 25));
    EXPECT_EQ(rx::StampDate(std::nullopt, rx::kUnknownModified),
              boost::gregorian::day_clock::universal_day());
}

TEST(WatermarkPreset, HandEditedValuesAreKeptWithinTheirRanges) {
    wptree s;
    s.put(L"alpha", L"101");
    s.put(L"text", std::wstring(50000, L'w'));
    WatermarkOp op;
    op.load(s);
    EXPECT_EQ(op.alpha, 100u) << "no wrap to almost transparent";
    EXPECT_EQ(op.text.size(), WatermarkOp::kMaxTextLength);
    s.put(L"alpha", L"4294967295");
    s.put(L"text", std::wstring(WatermarkOp::kMaxTextLength, L'w'));
    op.load(s);
    EXPECT_EQ(op.alpha, 100u);
    EXPECT_EQ(op.text.size(), WatermarkOp::kMaxTextLength);
    s.put(L"alpha", L"0000000000000000037");
    op.load(s);
    EXPECT_EQ(op.alpha, 37u) << "leading zeros are a number";
}

} // namespace
