#include <gtest/gtest.h>

#include <cstdlib>

#include <boost/filesystem/operations.hpp>

#include "engine/ImageFile.h"
#include "engine/OutputLocations.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {
class Dummy final : public Operation {
public:
    explicit Dummy(int kind) : kind_(kind) {}
    void apply(ImageFile&) override {}
    int type() const override { return kind_; }
    std::unique_ptr<Operation> clone() const override { return std::make_unique<Dummy>(*this); }
    void load(const boost::property_tree::wptree&) override {}
    void save(boost::property_tree::wptree&) const override {}

private:
    int kind_;
};
} // namespace

TEST(OutputLocations, RunFolderNamesFollowPanelOrder) {
    Dummy w(0), r(1), o(2), n(3);
    EXPECT_EQ(RunFolderName({&w, &r, nullptr, nullptr}), "[watermark + resize]");
    EXPECT_EQ(RunFolderName({&w, &r, &o, &n}), "[watermark + resize + optimize + rename]");
    EXPECT_EQ(RunFolderName({nullptr, nullptr, &o, nullptr}), "[optimize]");
    EXPECT_EQ(RunFolderName({}), "[]");
}

TEST(OutputLocations, RunFoldersAreNumberedWhenTakenAndCreatedWithTheirParents) {
    rxtest::TempDir dir;
    Dummy r(1);
    const OperationList list{nullptr, &r, nullptr, nullptr};
    fs::path formed;
    const fs::path out = dir / "not" / "yet";
    EXPECT_EQ(CreateRunFolder(out, list, &formed), out / "[resize]");
    EXPECT_EQ(CreateRunFolder(out, list, &formed), out / "[resize] 1");
    EXPECT_EQ(CreateRunFolder(out, list, &formed), out / "[resize] 2");
    EXPECT_TRUE(fs::is_directory(out / "[resize] 2"));

    // A regular file with the run folder's name is an error, not a reason to number.
    rxtest::WriteFile(dir / "[]", {1});
    EXPECT_THROW(CreateRunFolder(dir.path(), {}, &formed), fs::filesystem_error);
    EXPECT_EQ(formed, dir / "[]");
    EXPECT_FALSE(fs::exists(dir / "[] 1"));
    EXPECT_EQ(rxtest::ReadFile(dir / "[]"), (Bytes{1}));
}

TEST(OutputLocations, RelativeFoldersBySingleBaseFlag) {
    EXPECT_EQ(RelativeFolder({"/d/Photos", "/d/Photos/a.jpg"}, true), fs::path());
    EXPECT_EQ(RelativeFolder({"/d/Photos", "/d/Photos/2014/b.jpg"}, true), fs::path("2014"));
    EXPECT_EQ(RelativeFolder({"/c/A", "/c/A/x.jpg"}, true), fs::path());
    EXPECT_EQ(RelativeFolder({"/d/X", "/d/X/s/a.jpg"}, false), fs::path("X/s"));
    EXPECT_EQ(RelativeFolder({"/c/A", "/c/A/x.jpg"}, false), fs::path("A"));
    EXPECT_EQ(RelativeFolder({"/c/B/C", "/c/B/C/y.jpg"}, false), fs::path("C"));
    EXPECT_EQ(RelativeFolder({"/d/Photos/", "/d/Photos/2014/b.jpg"}, true), fs::path("2014"))
        << "a trailing separator still counts as consumed";
    EXPECT_THROW(RelativeFolder({"/d/Other", "/d/Photos/a.jpg"}, true), std::out_of_range);
    EXPECT_THROW(RelativeFolder({"/d/photos", "/d/Photos/a.jpg"}, true), std::out_of_range)
        << "elements compare case-sensitively";
}

TEST(OutputLocations, ProposalIsTheCommonBaseElseTheDesktop) {
    rxtest::TempDir dir;
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", dir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    EXPECT_EQ(ProposedOutputFolder({{"/c/Pics", "/c/Pics/a.jpg"}, {"/c/Pics", "/c/Pics/b.jpg"}}),
              fs::path("/c/Pics"));
    EXPECT_EQ(ProposedOutputFolder({{"/c/Pics", "/c/Pics/a.jpg"}, {"/c/Other", "/c/Other/b.jpg"}}),
              dir / "Desktop");
    EXPECT_EQ(ProposedOutputFolder({}), dir / "Desktop");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_FALSE(HasSingleBase({}));
    EXPECT_TRUE(HasSingleBase({{"/a", "/a/b.jpg"}}));
    EXPECT_FALSE(SamePath("/a/b", "/a/B"));
    EXPECT_FALSE(SamePath("/a/b", "/a/b/c"));
}

TEST(OutputLocations, TargetFoldersAreCreatedOncePerJob) {
    rxtest::TempDir dir;
    std::set<fs::path> created;
    CreateTargetFolder(dir / "R" / "X", created);
    EXPECT_TRUE(fs::is_directory(dir / "R" / "X"));
    fs::remove(dir / "R" / "X");
    CreateTargetFolder(dir / "R" / "X", created);
    EXPECT_FALSE(fs::exists(dir / "R" / "X")) << "a folder already met is not created again";
    CreateTargetFolder(dir.path(), created); // an existing folder is fine
}
