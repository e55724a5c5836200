// The engine's run of one file: trials, already-optimised files, backups, threads and hooks.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

#include "PngTestFiles.h"

using namespace rx::png;
using namespace rxtest::png;

namespace {

std::string WriteSample(const std::string& dir, const std::string& name, int colorType = 2,
                        int depth = 8, std::uint32_t seed = 3) {
    const std::string path = dir + "/" + name;
    WriteFile(path, EncodePng(MakeRaw(colorType, depth, 96, 64, 0, seed)));
    return path;
}

} // namespace

TEST(PngEngine, LevelTwoRunsExactlyItsEightTrials) {
    const std::string dir = TempFolder("level2");
    const std::string path = WriteSample(dir, "rgb.png");
    const EngineRun run = Optimize(path, 2);
    ASSERT_EQ(run.result, 0) << run.text;
    const std::vector<std::string> expected = {
        "zc = 9  zm = 8  zs = 0  f = 0", "zc = 9  zm = 8  zs = 1  f = 0",
        "zc = 1  zm = 8  zs = 2  f = 0", "zc = 9  zm = 8  zs = 3  f = 0",
        "zc = 9  zm = 8  zs = 0  f = 5", "zc = 9  zm = 8  zs = 1  f = 5",
        "zc = 1  zm = 8  zs = 2  f = 5", "zc = 9  zm = 8  zs = 3  f = 5"};
    ASSERT_EQ(run.trials.size(), expected.size()) << run.text;
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(run.trials[i].substr(0, expected[i].size()), expected[i]);
}

TEST(PngEngine, TrialCountsFollowTheLevel) {
    const std::string dir = TempFolder("levels");
    const int counts[] = {1, 8, 16, 24, 48};
    for (int level = 1; level <= 5; ++level) {
        const std::string path = WriteSample(dir, "l" + std::to_string(level) + ".png");
        const EngineRun run = Optimize(path, level);
        ASSERT_EQ(run.result, 0) << run.text;
        EXPECT_EQ(int(run.trials.size()), counts[level - 1]) << "level " << level;
    }
    // A palette image takes strategy 0 and filter 0 as its level-1 default.
    const std::string pal = WriteSample(dir, "pal.png", 3, 4);
    const EngineRun run = Optimize(pal, 1);
    ASSERT_EQ(run.trials.size(), 1u);
    EXPECT_EQ(run.trials[0].substr(0, 29), "zc = 9  zm = 8  zs = 0  f = 0");
}

TEST(PngEngine, AlreadyOptimizedFileKeepsBytesAndTimeStamp) {
    const std::string dir = TempFolder("already");
    const std::string path = WriteSample(dir, "a.png");
    ASSERT_EQ(Optimize(path, 1).result, 0);
    const Bytes once = ReadFile(path);
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
    std::filesystem::last_write_time(path, old);

    const EngineRun again = Optimize(path, 1);
    EXPECT_EQ(again.result, 0);
    EXPECT_NE(again.text.find(path + " is already optimized."), std::string::npos) << again.text;
    EXPECT_EQ(ReadFile(path), once);
    EXPECT_EQ(std::filesystem::last_write_time(path), old);
    EXPECT_FALSE(Exists(path + ".bak"));
}

TEST(PngEngine, OpaqueRgbaIsRewrittenAsRgbOnlyWhenSmaller) {
    const std::string dir = TempFolder("rgba");
    RawPng raw = MakeRaw(6, 8, 64, 64, 0, 9);
    for (std::size_t i = 3; i < raw.rows.size(); i += 4)
        raw.rows[i] = 255;
    const std::string path = dir + "/opaque.png";
    WriteFile(path, EncodePng(raw));
    const EngineRun run = Optimize(path, 2);
    ASSERT_EQ(run.result, 0) << run.text;
    EXPECT_NE(run.text.find("Reducing image to 64x64 pixels, 3x8 bits/pixel, RGB"),
              std::string::npos)
        << run.text;
    EXPECT_EQ(ReadHeader(ReadFile(path)).colorType, 2);
    // Once written as RGB with its best parameters there is nothing left to gain.
    const Bytes written = ReadFile(path);
    EXPECT_NE(Optimize(path, 2).text.find("is already optimized"), std::string::npos);
    EXPECT_EQ(ReadFile(path), written);
}

TEST(PngEngine, ParallelTrialsGiveTheSequentialResult) {
    const std::string dir = TempFolder("parallel");
    for (int colorType : {0, 2, 6}) {
        const std::string a = WriteSample(dir, "a.png", colorType, 8, 11);
        const std::string b = WriteSample(dir, "b.png", colorType, 8, 11);
        const EngineRun one = Optimize(a, 5, 1);
        const EngineRun four = Optimize(b, 5, 4);
        ASSERT_EQ(one.result, 0);
        ASSERT_EQ(four.result, 0);
        EXPECT_EQ(ReadFile(a), ReadFile(b)) << "colour type " << colorType;
        const auto pick = [](const std::string& t) { return t.substr(t.find("Selecting")); };
        EXPECT_EQ(pick(one.text).substr(0, 60), pick(four.text).substr(0, 60));
    }
}

TEST(PngEngine, TwoEnginesRunAtTheSameTime) {
    const std::string dir = TempFolder("engines");
    const std::string a = WriteSample(dir, "a.png", 2, 8, 5);
    const std::string b = WriteSample(dir, "b.png", 6, 16, 6);
    const std::string refA = WriteSample(dir, "ra.png", 2, 8, 5);
    const std::string refB = WriteSample(dir, "rb.png", 6, 16, 6);
    ASSERT_EQ(Optimize(refA, 3, 1).result, 0);
    ASSERT_EQ(Optimize(refB, 3, 1).result, 0);
    int ra = -1, rb = -1;
    std::thread ta([&] { ra = Optimize(a, 3).result; });
    std::thread tb([&] { rb = Optimize(b, 3).result; });
    ta.join();
    tb.join();
    EXPECT_EQ(ra, 0);
    EXPECT_EQ(rb, 0);
    EXPECT_EQ(ReadFile(a), ReadFile(refA));
    EXPECT_EQ(ReadFile(b), ReadFile(refB));
}

TEST(PngEngine, FailedWriteAfterBackupRestoresTheInput) {
    const std::string dir = TempFolder("writefail");
    const std::string path = WriteSample(dir, "w.png");
    const Bytes original = ReadFile(path);
    // Writes past 64 bytes fail with EFBIG once the input has been moved to its backup.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const EngineRun run = Optimize(path, 1);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(run.result, -1);
    EXPECT_NE(run.text.find("Error: Can't write the output file"), std::string::npos) << run.text;
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_FALSE(Exists(path + ".bak"));
}

TEST(PngEngine, ExistingBackupNameStopsTheRewrite) {
    const std::string dir = TempFolder("bak");
    const std::string path = WriteSample(dir, "b.png");
    const Bytes original = ReadFile(path);
    WriteFile(path + ".bak", {1, 2, 3});
    const EngineRun run = Optimize(path, 1);
    EXPECT_EQ(run.result, -1);
    EXPECT_NE(run.text.find("Can't back up the existing output file"), std::string::npos);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(ReadFile(path + ".bak"), (Bytes{1, 2, 3}));
}

TEST(PngEngine, InPlaceFileWhoseBackupNameWouldPass255CharactersNamesTheBackup) {
    // A folder deep enough that the file's own path is 254 and then 300 characters long.
    for (const size_t length : {size_t(254), size_t(300)}) {
        std::string dir = TempFolder("longname");
        while (dir.size() + 1 + 60 + 7 < length) {
            dir += "/" + std::string(60, 'd');
            std::filesystem::create_directory(dir);
        }
        const std::string name = std::string(length - dir.size() - 1 - 4, 'n') + ".png";
        const std::string path = WriteSample(dir, name);
        ASSERT_EQ(path.size(), length);
        const Bytes original = ReadFile(path);
        const EngineRun run = Optimize(path, 1);
        EXPECT_EQ(run.result, -1) << length;
        EXPECT_NE(run.text.find("Error: Can't create backup file (name too long)"),
                  std::string::npos)
            << length << ": " << run.text;
        EXPECT_EQ(run.text.find("output file"), std::string::npos) << length << ": " << run.text;
        EXPECT_EQ(ReadFile(path), original);
    }
}

TEST(PngEngine, HooksAndLifecycle) {
    PngEngine engine;
    PngEngineOptions options;
    PngEngineHooks hooks;
    hooks.control = [](int) {};
    hooks.progress = [](unsigned long, unsigned long) {};
    EXPECT_EQ(engine.InitializeEngine(options, hooks), -1); // no panic hook

    std::string panicked;
    hooks.panic = [&](const char* m) { panicked = m; };
    EXPECT_EQ(engine.OptimizeFile("/nonexistent.png"), -1);
    EXPECT_TRUE(panicked.empty()); // no hooks installed yet: nothing to call

    PngEngine second;
    std::string text;
    hooks.text = [&](const char* f, va_list a) {
        char buf[512];
        std::vsnprintf(buf, sizeof buf, f, a);
        text += buf;
    };
    options.level = 2;
    ASSERT_EQ(second.InitializeEngine(options, hooks), 0);
    EXPECT_EQ(second.OptimizeFile("/nonexistent/x.png"), -1);
    EXPECT_NE(text.find("Error: Can't open the input file"), std::string::npos) << text;
    second.FinalizeEngine();
    EXPECT_NE(text.find("1 error(s) have been encountered."), std::string::npos) << text;
    EXPECT_EQ(second.OptimizeFile("/nonexistent/x.png"), -1);
    EXPECT_EQ(panicked, "The PNG engine is not running");
}

TEST(PngEngine, KeptChunksSurviveTheRewrite) {
    const std::string dir = TempFolder("chunks");
    std::vector<Chunk> chunks = SplitChunks(EncodePng(MakeRaw(2, 8, 64, 64, 0, 4)));
    chunks.insert(chunks.begin() + 1, Chunk{"gAMA", {0, 0, 0xb1, 0x8f}});
    chunks.insert(chunks.end() - 1, Chunk{"tEXt", {'K', 0, 'v'}});
    const std::string path = dir + "/c.png";
    WriteFile(path, JoinChunks(chunks));
    ASSERT_EQ(Optimize(path, 2).result, 0);
    std::vector<std::string> names;
    for (const Chunk& c : SplitChunks(ReadFile(path)))
        names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"IHDR", "gAMA", "IDAT", "tEXt", "IEND"}));
}

TEST(PngEngine, LargeImagesKeepPixelsAndChunksWhenTrialsShareFiltering) {
    // Large enough for the trials with filters 1 to 5 to go straight through zlib.
    const std::string dir = TempFolder("large");
    for (const auto& [colorType, depth] : {std::pair{6, 8}, std::pair{0, 16}, std::pair{3, 8}}) {
        std::vector<Chunk> chunks =
            SplitChunks(EncodePng(MakeRaw(colorType, depth, 320, 160, 0, 9)));
        const auto at = colorType == 3 ? chunks.begin() + 2 : chunks.begin() + 1;
        chunks.insert(at, Chunk{"gAMA", {0, 0, 0xb1, 0x8f}});
        chunks.insert(chunks.end() - 1, Chunk{"tEXt", {'K', 0, 'v'}});
        const Bytes original = JoinChunks(chunks);
        const std::string path = dir + "/large.png";
        WriteFile(path, original);
        const EngineRun run = Optimize(path, 2);
        ASSERT_EQ(run.result, 0) << run.text;
        const Bytes written = ReadFile(path);
        ASSERT_LT(written.size(), original.size()) << "colour type " << colorType;
        const Pixels before = Decode(original), after = Decode(written);
        ASSERT_TRUE(after.ok);
        EXPECT_EQ(VisibleDifferences(before, after), 0u) << "colour type " << colorType;
        std::vector<std::string> names;
        for (const Chunk& c : SplitChunks(written))
            if (c.name != "PLTE" && c.name != "tRNS")
                names.push_back(c.name);
        EXPECT_EQ(names, (std::vector<std::string>{"IHDR", "gAMA", "IDAT", "tEXt", "IEND"}));
    }
}
