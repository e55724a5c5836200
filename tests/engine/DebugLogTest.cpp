#include <gtest/gtest.h>

#include <vector>

#include "engine/DebugLog.h"

using namespace rx;

TEST(DebugLog, WideAndNarrowStringsAsWritten) {
    std::vector<std::wstring> lines;
    auto previous = SetDebugLogSink([&](const std::wstring& s) { lines.push_back(s); });
    DebugLog(L"Saving file #%ld '%s' to '%s' folder.", 7L, L"a\u00e9.jpg", L"/out");
    DebugLog(L"filesystem error: %S\n", "No such file");
    DebugLog(L"100%% %d %5.2f", 3, 1.5);
    SetDebugLogSink(previous);
    DebugLog(L"not seen");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"Saving file #7 'a\u00e9.jpg' to '/out' folder.");
    EXPECT_EQ(lines[1], L"filesystem error: No such file\n");
    EXPECT_EQ(lines[2], L"100% 3  1.50");
}

TEST(DebugLog, LongLinesAreNotCut) {
    const std::wstring long_text(5000, L'x');
    EXPECT_EQ(FormatWide(L"[%s]", long_text.c_str()), L"[" + long_text + L"]");
}
