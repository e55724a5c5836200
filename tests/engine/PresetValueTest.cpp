#include <gtest/gtest.h>

#include <climits>
#include <string>

#include <boost/property_tree/ptree.hpp>

#include "engine/PresetValue.h"

using namespace rx;
using boost::property_tree::wptree;

TEST(PresetValue, UnsignedTakesEveryCompleteThirtyTwoBitNumberWhateverItsLength) {
    EXPECT_EQ(ParseUnsigned(L"0"), 0u);
    EXPECT_EQ(ParseUnsigned(L"4294967295"), 4294967295u);
    EXPECT_EQ(ParseUnsigned(L"00000000100"), 100u) << "leading zeros are not too long";
    EXPECT_EQ(ParseUnsigned(L"000000000000000000000000000007"), 7u);
    EXPECT_EQ(ParseUnsigned(L"4294967296"), std::nullopt) << "one past 32 bits";
    EXPECT_EQ(ParseUnsigned(L"18446744073709551617"), std::nullopt) << "past 64 bits, no wrap";
    EXPECT_EQ(ParseUnsigned(L"99999999999999999999999999999"), std::nullopt);
    for (const wchar_t* bad : {L"", L"-1", L"+1", L" 1", L"1 ", L"12px", L"0x10", L"1.0", L"٣"})
        EXPECT_EQ(ParseUnsigned(bad), std::nullopt) << std::wstring(bad).size();
}

TEST(PresetValue, SignedTakesTheWholeIntRangeAndNothingPastIt) {
    EXPECT_EQ(ParseSigned(L"-2147483648"), INT_MIN);
    EXPECT_EQ(ParseSigned(L"2147483647"), INT_MAX);
    EXPECT_EQ(ParseSigned(L"-0000000000042"), -42);
    EXPECT_EQ(ParseSigned(L"2147483648"), std::nullopt);
    EXPECT_EQ(ParseSigned(L"-2147483649"), std::nullopt);
    for (const wchar_t* bad : {L"", L"-", L"--1", L"+3", L"3x", L" 3", L"1e3"})
        EXPECT_EQ(ParseSigned(bad), std::nullopt) << std::wstring(bad).size();
}

TEST(PresetValue, FloatTakesFiniteGeneralNotationOnly) {
    EXPECT_EQ(ParseFloat(L"0.5"), 0.5f);
    EXPECT_EQ(ParseFloat(L"0.3333333"), 0.3333333f);
    EXPECT_EQ(ParseFloat(L"1e-3"), 1e-3f);
    for (const wchar_t* bad : {L"", L"inf", L"nan", L"1e99", L"0.5 ", L",5", L"0,5", L"0.5\u00e9"})
        EXPECT_EQ(ParseFloat(bad), std::nullopt) << std::wstring(bad).size();
}

TEST(PresetValue, ReadersGiveTheDefaultForAbsentOrUnconvertibleValuesAndFollowDottedKeys) {
    wptree section;
    section.put(L"font.size", L"0018");
    section.put(L"big", L"4294967296");
    section.put(L"neg", L"-7");
    section.put(L"x", L"0.25");
    EXPECT_EQ(ReadUnsigned(section, L"font.size", 12), 18u);
    EXPECT_EQ(ReadUnsigned(section, L"big", 12), 12u);
    EXPECT_EQ(ReadUnsigned(section, L"absent", 12), 12u);
    EXPECT_EQ(ReadUnsigned(section, L"neg", 3), 3u);
    EXPECT_EQ(ReadSigned(section, L"neg", 3), -7);
    EXPECT_EQ(ReadSigned(section, L"big", 3), 3);
    EXPECT_EQ(ReadFloat(section, L"x", 1.0f), 0.25f);
    EXPECT_EQ(ReadFloat(section, L"neg.x", 1.0f), 1.0f);
    EXPECT_EQ(ReadText(section, L"font.size"), L"0018");
    EXPECT_EQ(ReadText(section, L"font.name"), std::nullopt);
}
