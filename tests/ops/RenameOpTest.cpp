#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <boost/property_tree/ptree.hpp>

#include "engine/ImageFile.h"
#include "ops/RenameOp.h"
#include "tests/support/TestImages.h"

using namespace rx;
using boost::property_tree::wptree;

namespace {

RenameOp Op(int mode, const std::wstring& common, std::uint32_t startWith, std::uint32_t digits) {
    RenameOp op;
    op.mode = mode;
    op.common = common;
    op.startWith = startWith;
    op.digits = digits;
    return op;
}

} // namespace

TEST(RenameOp, PrefixNumbersFromStartWithAndKeepsEachExtension) {
    const RenameOp op = Op(RenameOp::Prefix, L"Holiday_", 1, 3);
    EXPECT_EQ(op.newName(0, "IMG_7.jpg"), "Holiday_001.jpg");
    EXPECT_EQ(op.newName(1, "scan.png"), "Holiday_002.png");
    EXPECT_EQ(op.newName(999, "x.tiff"), "Holiday_1000.tiff");
}

TEST(RenameOp, SuffixPutsTheNumberFirst) {
    const RenameOp op = Op(RenameOp::Suffix, L"_final", 10, 2);
    EXPECT_EQ(op.newName(0, "a.jpg"), "10_final.jpg");
    EXPECT_EQ(op.newName(1, "b.jpg"), "11_final.jpg");
}

TEST(RenameOp, DigitsPadWithoutCuttingWiderNumbers) {
    for (std::uint32_t digits : {0u, 1u}) {
        const RenameOp op = Op(RenameOp::Prefix, L"", 1, digits);
        EXPECT_EQ(op.newName(0, "a.jpg"), "1.jpg");
        EXPECT_EQ(op.newName(10, "a.jpg"), "11.jpg");
    }
    EXPECT_EQ(Op(RenameOp::Prefix, L"n", 123, 2).newName(0, "a.gif"), "n123.gif");
    // A hand-edited preset cannot ask for a name no file system takes.
    const auto wide = Op(RenameOp::Prefix, L"", 1, 4000000000u).newName(0, "a.jpg");
    EXPECT_EQ(wide.string().size(), RenameOp::kMaxDigits + 4);
}

TEST(RenameOp, NameWithoutExtensionStaysWithoutAndTextStaysOneFileName) {
    EXPECT_EQ(Op(RenameOp::Prefix, L"photo", 5, 0).newName(0, "README"), "photo5");
    EXPECT_EQ(Op(RenameOp::Prefix, L"../up/", 1, 0).newName(0, "a.jpg"), ".._up_1.jpg");
    EXPECT_EQ(Op(RenameOp::Prefix, L"Été ", 1, 0).newName(0, "a.jpg"), "Été 1.jpg");
}

TEST(RenameOp, TextEndsAtANulAndTheSavedNameKeepsItsNumberAndExtension) {
    const std::wstring withNul(L"Trip\0../../etc", 15);
    EXPECT_EQ(Op(RenameOp::Prefix, withNul, 1, 2).newName(0, "a.jpg"), "Trip01.jpg");
    EXPECT_EQ(Op(RenameOp::Suffix, withNul, 1, 2).newName(0, "a.jpg"), "01Trip.jpg");
    EXPECT_EQ(Op(RenameOp::Prefix, std::wstring(L"\0x", 2), 3, 0).newName(0, "a.png"), "3.png");

    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "a.jpg", rxtest::MakeImage(OutputFormat::Jpeg));
    ImageFile file(dir / "a.jpg", 0);
    RenameOp record = Op(RenameOp::Prefix, withNul, 1, 2);
    record.apply(file);
    boost::filesystem::create_directory(dir / "out");
    ASSERT_TRUE(file.Save(dir / "out"));
    EXPECT_TRUE(boost::filesystem::exists(dir / "out" / "Trip01.jpg"));
}

TEST(RenameOp, AppliesToJobFilesButNotToThePreview) {
    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "a.jpg", rxtest::MakeImage(OutputFormat::Jpeg));
    const RenameOp op = Op(RenameOp::Prefix, L"Holiday_", 1, 3);
    RenameOp record = op;
    ImageFile preview(dir / "a.jpg", -1);
    record.apply(preview);
    EXPECT_EQ(preview.name(), "a.jpg");
    ImageFile job(dir / "a.jpg", 4);
    const StreamPtr bytes = job.data();
    record.apply(job);
    EXPECT_EQ(job.name(), "Holiday_005.jpg");
    EXPECT_EQ(job.data(), bytes);
    EXPECT_EQ(record.type(), 3);
    EXPECT_TRUE(record.isReady());
}

TEST(RenameOp, SavesAllThreeKeysAndLoadsWithDefaults) {
    for (int mode : {RenameOp::Prefix, RenameOp::Suffix}) {
        wptree section;
        Op(mode, L"x y", 7, 3).save(section);
        std::vector<std::wstring> keys;
        for (const auto& [key, value] : section)
            keys.push_back(key);
        EXPECT_EQ(keys, (std::vector<std::wstring>{L"common", L"digits", L"startWith"}));
        EXPECT_EQ(section.get<std::wstring>(L"common"), L"x y");
        EXPECT_EQ(section.get<std::wstring>(L"digits"), L"3");
        EXPECT_EQ(section.get<std::wstring>(L"startWith"), L"7");
        RenameOp loaded;
        loaded.load(section);
        EXPECT_EQ(loaded.common, L"x y");
        EXPECT_EQ(loaded.digits, 3u);
        EXPECT_EQ(loaded.startWith, 7u);
    }
    wptree padded;
    padded.put(L"startWith", L"00000000007");
    padded.put(L"digits", L"4294967296");
    RenameOp zeros;
    zeros.load(padded);
    EXPECT_EQ(zeros.startWith, 7u) << "leading zeros do not make a number too long";
    EXPECT_EQ(zeros.digits, 0u) << "past 32 bits: the default";

    RenameOp loaded = Op(RenameOp::Prefix, L"old", 9, 9);
    wptree bad;
    bad.put(L"digits", L"2x");
    loaded.load(bad);
    EXPECT_EQ(loaded.common, L"");
    EXPECT_EQ(loaded.digits, 0u);
    EXPECT_EQ(loaded.startWith, 1u);
}
