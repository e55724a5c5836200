#include <gtest/gtest.h>

#include <map>

#include "presets/PresetDocument.h"

using namespace rx;
namespace pt = boost::property_tree;

namespace {

// A record with two keys of its own, to see what the envelope hands to load and save.
class Fake final : public Operation {
public:
    explicit Fake(int kind) : kind_(kind) {}
    std::wstring a = L"a0";
    int b = 7;
    int loads = 0;
    void apply(ImageFile&) override {}
    int type() const override { return kind_; }
    std::unique_ptr<Operation> clone() const override { return std::make_unique<Fake>(*this); }
    void load(const pt::wptree& s) override {
        ++loads;
        a = s.get<std::wstring>(L"a", L"a0");
        b = s.get<int>(L"b", 7);
    }
    void save(pt::wptree& s) const override {
        s.put(L"a", a);
        s.put(L"b", std::to_wstring(b));
    }

private:
    int kind_;
};

struct Four {
    Fake w{0}, r{1}, o{2}, n{3};
    OperationRecords records() { return {&w, &r, &o, &n}; }
};

} // namespace

TEST(PresetDocument, SavesSwitchedOnSectionsCompactInPanelOrder) {
    Four f;
    f.w.mode = 2;
    f.w.a = L"x \"q\" & y";
    f.n.mode = 1;
    const std::wstring doc = PresetDocument::Save(f.records(), {true, false, false, true});
    EXPECT_EQ(doc, L"{\"Watermark\":{\"mode\":\"2\",\"a\":\"x \\\"q\\\" & y\",\"b\":\"7\"},"
                   L"\"Rename\":{\"mode\":\"1\",\"a\":\"a0\",\"b\":\"7\"}}\n");
    EXPECT_EQ(PresetDocument::Save(f.records(), {false, false, false, false}), L"{}\n");
}

TEST(PresetDocument, ApplyingRoundTripsAndSwitchesBySections) {
    Four src;
    src.r.mode = 4;
    src.r.a = L"Grüße/\\";
    src.r.b = -3;
    src.o.mode = 1;
    const std::wstring doc = PresetDocument::Save(src.records(), {false, true, true, false});
    Four dst;
    dst.w.a = L"changed";
    OperationFlags on{true, false, false, true};
    ASSERT_TRUE(PresetDocument::Apply(doc, dst.records(), &on));
    EXPECT_EQ(on, (OperationFlags{false, true, true, false}));
    EXPECT_EQ(dst.r.mode, 4);
    EXPECT_EQ(dst.r.a, L"Grüße/\\");
    EXPECT_EQ(dst.r.b, -3);
    EXPECT_EQ(dst.o.mode, 1);
    EXPECT_EQ(dst.w.a, L"a0") << "a missing section loads the defaults";
    EXPECT_EQ(dst.w.loads, 1);
    EXPECT_EQ(PresetDocument::Save(dst.records(), on), doc);

    ASSERT_TRUE(PresetDocument::Apply(PresetDocument::kDefault, dst.records(), &on));
    EXPECT_EQ(on, (OperationFlags{false, false, false, false}));
    EXPECT_EQ(dst.r.mode, 0);
    EXPECT_EQ(dst.r.a, L"a0");
}

TEST(PresetDocument, ModeAloneSwitchesOnAndOddModesAreZero) {
    Four f;
    OperationFlags on{};
    ASSERT_TRUE(PresetDocument::Apply(
        L"{\"Optimize\":{\"mode\":\"2\"},\"Rename\":{\"mode\":\"3x\",\"a\":\"k\"},"
        L"\"Bulk Resize\":{\"b\":\"9\"},\"Watermark\":{},\"Other\":{\"mode\":\"1\"}}",
        f.records(), &on));
    EXPECT_EQ(on, (OperationFlags{false, true, true, true}));
    EXPECT_EQ(f.o.mode, 2);
    EXPECT_EQ(f.n.mode, 0) << "a number that does not convert completely is 0";
    EXPECT_EQ(f.n.a, L"k");
    EXPECT_EQ(f.r.mode, 0) << "no mode is 0";
    EXPECT_EQ(f.r.b, 9);
}

TEST(PresetDocument, TextThatDoesNotParseChangesNothing) {
    Four f;
    f.w.mode = 3;
    f.w.a = L"kept";
    OperationFlags on{true, false, true, false};
    for (const wchar_t* bad : {L"", L"{", L"not json", L"{\"Watermark\":{\"mode\":}", L"[1,2"}) {
        EXPECT_FALSE(PresetDocument::Apply(bad, f.records(), &on)) << bad;
        EXPECT_EQ(on, (OperationFlags{true, false, true, false}));
        EXPECT_EQ(f.w.mode, 3);
        EXPECT_EQ(f.w.a, L"kept");
        EXPECT_EQ(f.w.loads, 0);
    }
}
