// rexmill-batch against unusual and hostile input: FIFOs, odd preset files, closed pipes,
// refused paths, processes killed in the middle of a write. Real processes, real files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include <boost/filesystem/operations.hpp>

#include "tests/support/TestImages.h"
#include "tests/tools/BatchRunner.h"

namespace fs = boost::filesystem;
using namespace std::chrono_literals;
using rxtest::BatchResult;
using rxtest::Listing;
using rxtest::RunBatch;
using rxtest::SpawnBatch;

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

bool IsTempName(const fs::path& p) {
    return p.filename().string().compare(0, 2, "RX") == 0;
}

} // namespace

TEST(HostileInput, AFifoIsRefusedAsInputAndAsWatermarkPictureWithoutHanging) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    rxtest::WriteFile(dir / "in" / "good.png", rxtest::MakeImage(rx::OutputFormat::Png));
    ASSERT_EQ(mkfifo((dir / "in" / "pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "logo.png").c_str(), 0600), 0);
    const std::string preset = "{\"Watermark\":{\"mode\":\"1\",\"image\":{\"path\":\"\\\"" +
                               (dir / "logo.png").string() +
                               "\\\"\",\"width\":\"10\",\"height\":\"10\"}}}";
    // A blocking open would wait for a writer for good: the runner kills the tool after 60 s.
    BatchResult r = RunBatch(dir,
                             {"-q", "-p", preset, "-o", (dir / "out").string(),
                              (dir / "in").string(), (dir / "in" / "pipe.png").string()},
                             60s);
    ASSERT_FALSE(r.timedOut) << "the tool hung";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Count(r.err, "'" + (dir / "in" / "pipe.png").string() + "' is not a regular file"),
              1u)
        << r.err;
    EXPECT_NE(r.err.find("1 file inside the folders is not a usable image"), std::string::npos)
        << r.err;
    EXPECT_EQ(Listing(dir / "out" / "[watermark]"), (std::vector<fs::path>{"good.png"}));
}

TEST(HostileInput, PresetFilesMustBeRegularAndReasonablySmall) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    rxtest::WriteFile(dir / "in" / "a.png", rxtest::MakeImage(rx::OutputFormat::Png));
    ASSERT_EQ(mkfifo((dir / "preset.fifo").c_str(), 0600), 0);
    { std::ofstream big((dir / "big.json").string()); }
    ASSERT_EQ(truncate((dir / "big.json").c_str(), (16 << 20) + 1), 0); // sparse: no disk used
    for (const std::string& file :
         {dir.path().string(), std::string("/dev/zero"), (dir / "preset.fifo").string(),
          (dir / "big.json").string(), (dir / "missing.json").string()}) {
        BatchResult r = RunBatch(
            dir, {"-p", "@" + file, "-o", (dir / "out").string(), (dir / "in").string()}, 60s);
        ASSERT_FALSE(r.timedOut) << file;
        EXPECT_EQ(r.status, 2) << file;
        EXPECT_EQ(Lines(r.err).size(), 1u) << file << ": " << r.err;
        EXPECT_NE(r.err.find("preset file '" + file + "'"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    // Exactly at the limit is still read (and then judged as a document).
    ASSERT_EQ(truncate((dir / "big.json").c_str(), 16 << 20), 0);
    BatchResult r = RunBatch(dir,
                             {"-p", "@" + (dir / "big.json").string(), "-o", (dir / "out").string(),
                              (dir / "in").string()},
                             60s);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not a valid preset document"), std::string::npos) << r.err;
}

TEST(HostileInput, AClosedPipeStopsTheProgressNotTheJob) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    for (int i = 0; i < 4; ++i)
        rxtest::WriteFile(dir / "in" / ("p" + std::to_string(i) + ".png"),
                          rxtest::MakeImage(rx::OutputFormat::Png));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]); // like `| head -1` that has already gone
    const pid_t pid = SpawnBatch(
        dir, {"-f", "jpeg", "-o", (dir / "out").string(), (dir / "in").string()}, fds[1], fds[1]);
    close(fds[1]);
    BatchResult r = rxtest::FinishBatch(dir, pid, 60s);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << "killed by signal " << r.status - 128;
    EXPECT_EQ(Listing(dir / "out" / "[]").size(), 4u);
}

TEST(HostileInput, EveryRefusedPathIsNamedAndFolderRefusalsAreSummedUp) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in" / "sub");
    rxtest::WriteFile(dir / "good.png", rxtest::MakeImage(rx::OutputFormat::Png));
    rxtest::WriteFile(dir / "notes.png", {'n', 'o'});
    rxtest::WriteFile(dir / "in" / "b.png", rxtest::MakeImage(rx::OutputFormat::Png));
    rxtest::WriteFile(dir / "in" / "readme.txt", {'x'});
    rxtest::WriteFile(dir / "in" / "sub" / "script.jpg", {'#', '!'});
    const std::vector<std::string> args = {"-q",
                                           "-p",
                                           "{}",
                                           "-o",
                                           (dir / "out").string(),
                                           (dir / "good.png").string(),
                                           "/nonexistent.png",
                                           (dir / "notes.png").string(),
                                           (dir / "in").string()};
    BatchResult r = RunBatch(dir, args, 60s);
    EXPECT_EQ(r.status, 1) << "a refused path makes the run incomplete";
    EXPECT_EQ(r.lastLine(), "Saved 2 of 2 files to " + (dir / "out" / "[]").string());
    const auto lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 3u) << r.err;
    EXPECT_EQ(lines[0], "rexmill-batch: '/nonexistent.png' does not exist");
    EXPECT_EQ(lines[1], "rexmill-batch: '" + (dir / "notes.png").string() +
                            "' is not an image that can be read");
    EXPECT_EQ(lines[2], "rexmill-batch: 2 files inside the folders are not usable images and "
                        "were skipped (-v lists them)");

    std::vector<std::string> verbose = args;
    verbose[0] = "-v";
    BatchResult v = RunBatch(dir, verbose, 60s);
    EXPECT_EQ(v.status, 1);
    EXPECT_EQ(Count(v.err, "rexmill-batch: skipped '"), 2u) << v.err;
    EXPECT_NE(v.err.find("skipped '" + (dir / "in" / "readme.txt").string() +
                         "': it does not have an image file extension"),
              std::string::npos);
    EXPECT_NE(v.err.find("skipped '" + (dir / "in" / "sub" / "script.jpg").string() +
                         "': it is not an image that can be read"),
              std::string::npos);
}

TEST(HostileInput, AKillDuringASaveLeavesNoFileUnderItsFinalName) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    // Large outputs, so that the test sees a write in progress.
    for (int i = 0; i < 12; ++i)
        rxtest::WriteFile(dir / "in" / ("p" + std::to_string(i) + ".png"),
                          rxtest::MakeImage(rx::OutputFormat::Png,
                                            {.width = 3000, .height = 2000, .pattern = false}));
    const fs::path run = dir / "out" / "[]";
    const pid_t pid = SpawnBatch(
        dir, {"-q", "-p", "{}", "-f", "tiff", "-o", (dir / "out").string(), (dir / "in").string()});
    // Kill the moment a temporary output appears: the file is then being written.
    bool caught = false;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (!caught && std::chrono::steady_clock::now() < deadline) {
        boost::system::error_code ec;
        for (fs::directory_iterator it(run, ec), end; !ec && it != end; it.increment(ec))
            if (IsTempName(it->path()) && fs::file_size(it->path(), ec) > 0) {
                kill(pid, SIGKILL);
                caught = true;
                break;
            }
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            break;
    }
    BatchResult r = rxtest::FinishBatch(dir, pid, 60s);
    ASSERT_TRUE(caught) << "no write was seen in progress";
    EXPECT_EQ(r.status, 128 + SIGKILL);
    for (const fs::path& p : Listing(run)) {
        if (IsTempName(p))
            continue;
        const auto d = rxtest::Inspect(rxtest::ReadFile(run / p));
        EXPECT_TRUE(d.ok) << p << " is incomplete under its final name";
        EXPECT_EQ(d.width, 3000) << p;
    }
    // The next job into the same output folder removes what the killed save left behind.
    fs::remove_all(dir / "in");
    fs::create_directories(dir / "in");
    rxtest::WriteFile(dir / "in" / "small.png",
                      rxtest::MakeImage(rx::OutputFormat::Png, {.width = 8, .height = 8}));
    BatchResult next =
        RunBatch(dir, {"-q", "-p", "{}", "-o", (dir / "out").string(), (dir / "in").string()}, 60s);
    EXPECT_EQ(next.status, 0) << next.err;
    for (const fs::path& p : Listing(run))
        EXPECT_FALSE(IsTempName(p)) << p << " of the killed process is still there";
}

TEST(HostileInput, TemporaryFilesOfAKilledProcessAreRemovedByTheNextJob) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "tmp");
    rxtest::WriteFile(dir / "in" / "big.png",
                      rxtest::MakeImage(rx::OutputFormat::Png, {.width = 1600, .height = 1200}));
    const rxtest::Environment env = {{"TMPDIR", (dir / "tmp").string()}};
    const std::string optimize = "{\"Optimize\":{\"mode\":\"1\",\"quality\":\"5\"}}";
    const pid_t pid =
        SpawnBatch(dir, {"-q", "-p", optimize, "-o", (dir / "out").string(), (dir / "in").string()},
                   -1, -1, env);
    bool caught = false;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (!caught && std::chrono::steady_clock::now() < deadline &&
           waitpid(pid, nullptr, WNOHANG) == 0) {
        for (const fs::path& p : Listing(dir / "tmp"))
            if (IsTempName(p)) {
                kill(pid, SIGKILL);
                caught = true;
                break;
            }
    }
    rxtest::FinishBatch(dir, pid, 60s);
    ASSERT_TRUE(caught) << "the optimisation was not seen running";
    const auto left = Listing(dir / "tmp");
    ASSERT_FALSE(left.empty());
    EXPECT_NE(left.front().string().find("RX" + std::to_string(pid) + "-"), std::string::npos)
        << left.front() << " carries the process id";

    rxtest::WriteFile(dir / "tmp" / "other.tmp", {1});
    BatchResult next = RunBatch(
        dir, {"-q", "-p", "{}", "-o", (dir / "out").string(), (dir / "in").string()}, 60s, env);
    EXPECT_EQ(next.status, 0) << next.err;
    const auto after = Listing(dir / "tmp");
    EXPECT_EQ(std::count_if(after.begin(), after.end(), IsTempName), 0) << "the stale file is gone";
    EXPECT_EQ(std::count(after.begin(), after.end(), fs::path("other.tmp")), 1);
}

TEST(HostileInput, FilesWhosePixelsCannotBeDecodedFailWhenPixelsAreNeeded) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    rxtest::WriteFile(dir / "in" / "good.png", rxtest::MakeImage(rx::OutputFormat::Png));
    rx::Bytes jpeg = rxtest::MakeImage(rx::OutputFormat::Jpeg, {.width = 400, .height = 300});
    jpeg.resize(jpeg.size() / 2);
    jpeg.insert(jpeg.end(), {0xFF, 0xD9}); // the first half, then an end marker
    rxtest::WriteFile(dir / "in" / "half.jpg", jpeg);
    rx::Bytes png = rxtest::MakeImage(rx::OutputFormat::Png, {.width = 400, .height = 300});
    png.resize(png.size() / 2);
    rxtest::WriteFile(dir / "in" / "cut.png", png);
    const auto sources = Listing(dir / "in");

    const std::string in = (dir / "in").string();
    BatchResult converted =
        RunBatch(dir, {"-q", "-p", "{}", "-f", "gif", "-o", (dir / "out").string(), in}, 60s);
    EXPECT_EQ(converted.status, 1);
    EXPECT_EQ(converted.lastLine(), "Saved 1 of 3 files to " + (dir / "out" / "[]").string());
    EXPECT_NE(converted.err.find("'" + (dir / "in" / "half.jpg").string() +
                                 "' was not saved: damaged or truncated image data"),
              std::string::npos)
        << converted.err;
    EXPECT_NE(converted.err.find("'" + (dir / "in" / "cut.png").string() + "' was not saved"),
              std::string::npos)
        << converted.err;
    EXPECT_EQ(Listing(dir / "out" / "[]"), (std::vector<fs::path>{"good.gif"}));

    const std::string resize = "{\"Bulk Resize\":{\"mode\":\"2\",\"percent\":\"50\"}}";
    BatchResult resized =
        RunBatch(dir, {"-v", "-p", resize, "-o", (dir / "out").string(), in}, 60s);
    EXPECT_EQ(resized.status, 1);
    EXPECT_EQ(Listing(dir / "out" / "[resize]"), (std::vector<fs::path>{"good.png"}));
    // The debug log's own line, not the tool's "... was not saved: ..." summary of it.
    EXPECT_NE(resized.err.find("' not saved: the image cannot be rescaled"), std::string::npos)
        << "the debug log says why: " << resized.err;
    EXPECT_NE(resized.err.find("File #"), std::string::npos) << resized.err;

    // Nothing needs the pixels: the bytes are copied as they are.
    const std::string rename =
        "{\"Rename\":{\"mode\":\"0\",\"common\":\"n\",\"digits\":\"1\",\"startWith\":\"1\"}}";
    BatchResult renamed =
        RunBatch(dir, {"-q", "-p", rename, "-o", (dir / "out").string(), in}, 60s);
    EXPECT_EQ(renamed.status, 0) << renamed.err;
    const auto copies = Listing(dir / "out" / "[rename]");
    ASSERT_EQ(copies.size(), 3u);
    size_t identical = 0;
    for (const fs::path& c : copies)
        for (const fs::path& s : sources)
            identical +=
                rxtest::ReadFile(dir / "out" / "[rename]" / c) == rxtest::ReadFile(dir / "in" / s);
    EXPECT_EQ(identical, 3u);
    EXPECT_EQ(Listing(dir / "in"), sources) << "no source changed";
}

TEST(HostileInput, CtrlCWhileTheLastFileIsEncodedLeavesNothingForIt) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    rxtest::WriteFile(dir / "in" / "a.jpg", rxtest::MakeImage(rx::OutputFormat::Jpeg));
    rxtest::WriteFile(dir / "in" / "b.jpg", rxtest::MakeImage(rx::OutputFormat::Jpeg));
    rxtest::WriteFile(dir / "in" / "c.jpg",
                      rxtest::MakeImage(rx::OutputFormat::Jpeg, {.width = 6000, .height = 4000}));
    const pid_t pid =
        SpawnBatch(dir, {"-v", "-p", "{}", "-f", "png", "-o", (dir / "out").string(),
                         (dir / "in" / "a.jpg").string(), (dir / "in" / "b.jpg").string(),
                         (dir / "in" / "c.jpg").string()});
    // The third "Converting" line is the last file's: its encoding has begun.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream f((dir / "stderr").string());
        const std::string err(std::istreambuf_iterator<char>(f), {});
        if (Count(err, "Converting to PNG") == 3)
            break;
        std::this_thread::sleep_for(1ms);
    }
    kill(pid, SIGINT);
    BatchResult r = rxtest::FinishBatch(dir, pid, 60s);
    EXPECT_EQ(r.status, 130) << r.err;
    const fs::path run = dir / "out" / "[]";
    EXPECT_EQ(Listing(run), (std::vector<fs::path>{"a.png", "b.png"}));
    EXPECT_EQ(r.lastLine(), "Saved 2 of 3 files to " + run.string() + " before the cancel");
}

TEST(HostileInput, LibtiffWarningsGoToTheDebugLogOnly) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    rx::Bytes tiff = rxtest::MakeImage(rx::OutputFormat::Tiff, {.width = 50, .height = 40});
    // Give the first directory's tags private numbers out of order: libtiff warns about both.
    const bool little = tiff[0] == 'I';
    const auto get16 = [&](size_t at) {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    const size_t ifd = little ? tiff[4] | tiff[5] << 8 | tiff[6] << 16 | size_t(tiff[7]) << 24
                              : size_t(tiff[4]) << 24 | tiff[5] << 16 | tiff[6] << 8 | tiff[7];
    const int entries = get16(ifd);
    ASSERT_GT(entries, 3);
    const size_t last = ifd + 2 + 12 * size_t(entries - 1);
    tiff[last] = little ? 0x4C : 0x9C; // tag 40012
    tiff[last + 1] = little ? 0x9C : 0x4C;
    rxtest::WriteFile(dir / "in" / "odd.tif", tiff);
    for (const char* format : {"png", "tiff"}) {
        BatchResult r =
            RunBatch(dir,
                     {"-q", "-p", "{\"Bulk Resize\":{\"mode\":\"2\",\"percent\":\"50\"}}", "-f",
                      format, "-o", (dir / "out").string(), (dir / "in").string()},
                     60s);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "") << format;
    }
    BatchResult v = RunBatch(
        dir, {"-v", "-p", "{}", "-f", "png", "-o", (dir / "out").string(), (dir / "in").string()},
        60s);
    EXPECT_NE(v.err.find("40012"), std::string::npos)
        << "the warning is in the debug log: " << v.err;
}

// Values a panel cannot produce but a hand-edited preset file can, through the whole tool.
TEST(HostileInput, HandEditedPresetFilesOnRealImages) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "in");
    rxtest::WriteFile(dir / "in" / "photo.jpg",
                      rxtest::MakeImage(rx::OutputFormat::Jpeg, {.width = 800, .height = 533}));
    const auto run = [&](const std::string& name, const std::string& preset) {
        std::ofstream(dir / (name + ".json")) << preset;
        return RunBatch(dir,
                        {"-q", "-p", "@" + (dir / (name + ".json")).string(), "-o",
                         (dir / name).string(), (dir / "in").string()},
                        120s);
    };
    const auto watermark = [](const std::string& alpha, const std::string& text) {
        return "{\"Watermark\":{\"mode\":\"0\",\"text\":\"" + text + "\",\"alpha\":\"" + alpha +
               "\",\"font\":{\"size\":\"30\"},\"position\":{\"x\":\"0.1\",\"y\":\"0.4\"}}}";
    };
    const auto output = [&](const std::string& name) {
        return rxtest::ReadFile(dir / name / "[watermark]" / "photo.jpg");
    };

    // An alpha past 100 is full opacity, not a wrap to almost transparent.
    ASSERT_EQ(run("a100", watermark("100", "WWW")).status, 0);
    ASSERT_EQ(run("a101", watermark("101", "WWW")).status, 0);
    ASSERT_EQ(run("a50", watermark("50", "WWW")).status, 0);
    EXPECT_EQ(output("a101"), output("a100"));
    EXPECT_NE(output("a50"), output("a100")) << "the alpha is used at all";

    // A text of 50,000 characters draws as its first 4,096.
    ASSERT_EQ(run("long", watermark("100", std::string(50000, 'W'))).status, 0);
    ASSERT_EQ(run("cut", watermark("100", std::string(4096, 'W'))).status, 0);
    EXPECT_EQ(output("long"), output("cut"));

    // The 10240 limit of a width keeps the proportions.
    const BatchResult wide =
        run("wide", "{\"Bulk Resize\":{\"mode\":\"0\",\"width\":\"4294967295\"}}");
    ASSERT_EQ(wide.status, 0) << wide.err;
    const auto d = rxtest::Inspect(rxtest::ReadFile(dir / "wide" / "[resize]" / "photo.jpg"));
    EXPECT_EQ(d.width, 10240);
    EXPECT_EQ(d.height, 6822);

    // A document nested 100,000 deep is refused before parsing, as one that does not parse.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "{\"a\":";
    deep += "1" + std::string(100000, '}');
    const BatchResult nested = run("deep", deep);
    EXPECT_EQ(nested.status, 2);
    ASSERT_FALSE(nested.err.empty());
    EXPECT_EQ(Lines(nested.err)[0], "rexmill-batch: the preset is not a valid preset document");
    EXPECT_FALSE(fs::exists(dir / "deep"));
}
