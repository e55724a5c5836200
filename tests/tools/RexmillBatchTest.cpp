// Drives the built rexmill-batch executable end to end: real processes, real files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <boost/filesystem/operations.hpp>

#include "engine/Imaging.h"
#include "engine/OutputFormat.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace std::chrono_literals;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
    std::string lastLine() const {
        std::string s = out;
        while (!s.empty() && s.back() == '\n')
            s.pop_back();
        const auto nl = s.rfind('\n');
        return nl == std::string::npos ? s : s.substr(nl + 1);
    }
};

std::string Slurp(const fs::path& p) {
    std::ifstream f(p.string());
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Starts the tool with its own settings folder and no display; output goes to files in dir.
pid_t Spawn(const rxtest::TempDir& dir, const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open((dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        std::vector<char*> argv{const_cast<char*>(RX_BATCH_EXE)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(RX_BATCH_EXE, argv.data());
        _exit(127);
    }
    return pid;
}

Result Finish(const rxtest::TempDir& dir, pid_t pid) {
    Result r;
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = Slurp(dir / "stdout");
    r.err = Slurp(dir / "stderr");
    return r;
}

Result RunTool(const rxtest::TempDir& dir, const std::vector<std::string>& args) {
    return Finish(dir, Spawn(dir, args));
}

std::vector<fs::path> Listing(const fs::path& folder) {
    std::vector<fs::path> v;
    if (fs::exists(folder))
        for (fs::directory_iterator it(folder), end; it != end; ++it)
            v.push_back(it->path().filename());
    std::sort(v.begin(), v.end());
    return v;
}

void MakeInputs(const rxtest::TempDir& dir, int count, int width = 120) {
    fs::create_directories(dir / "in");
    for (int i = 0; i < count; ++i)
        rxtest::WriteFile(dir / "in" / ("p" + std::to_string(i) + (i % 2 ? ".png" : ".jpg")),
                          rxtest::MakeImage(i % 2 ? rx::OutputFormat::Png : rx::OutputFormat::Jpeg,
                                            {.width = width, .height = width / 2}));
}

} // namespace

TEST(RexmillBatch, HelpAndUsageErrors) {
    rxtest::TempDir dir;
    Result help = RunTool(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: rexmill-batch"), std::string::npos);
    EXPECT_EQ(RunTool(dir, {"-h"}).status, 0);

    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--bogus", "-o", "x", "y"},
                                               {"-o"},
                                               {"in"},
                                               {"-o", "out"},
                                               {"-f", "heic", "-o", "o", "i"},
                                               {"-f", "8", "-o", "o", "i"},
                                               {"-f", "jxl", "-o", "o", "i"},
                                               {"-j", "0", "-o", "o", "i"},
                                               {"-j", "2x", "-o", "o", "i"},
                                               {"-j", "257", "-o", "o", "i"},
                                               {"-p", "{}", "-n", "x", "-o", "o", "i"},
                                               {"-p", "@x", "-n", "x", "-o", "o", "i"}}) {
        Result r = RunTool(dir, args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("Try 'rexmill-batch --help'"), std::string::npos) << r.err;
    }
    MakeInputs(dir, 1);
    Result bad =
        RunTool(dir, {"-p", "{not json", "-o", (dir / "out").string(), (dir / "in").string()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_FALSE(fs::exists(dir / "out"));
    Result missing =
        RunTool(dir, {"-n", "Nope", "-o", (dir / "out").string(), (dir / "in").string()});
    EXPECT_EQ(missing.status, 2);
}

TEST(RexmillBatch, AllFourOperationsFromAPresetFile) {
    rxtest::TempDir dir;
    MakeInputs(dir, 3);
    rxtest::WriteFile(dir / "in" / "notes.txt", {'x'});
    const std::string preset =
        "{\"Watermark\":{\"mode\":\"0\",\"text\":\"Hi\",\"position\":{\"x\":\"0.5\",\"y\":\"0.5\"}}"
        ","
        "\"Bulk Resize\":{\"mode\":\"0\",\"width\":\"40\"},"
        "\"Optimize\":{\"mode\":\"0\",\"quality\":\"1\"},"
        "\"Rename\":{\"mode\":\"0\",\"common\":\"img_\",\"digits\":\"3\",\"startWith\":\"7\"}}\n";
    {
        std::ofstream f((dir / "preset.json").string());
        f << preset;
    }
    Result r = RunTool(dir, {"-q", "-p", "@" + (dir / "preset.json").string(), "-o",
                             (dir / "out").string(), (dir / "in").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path run = dir / "out" / "[watermark + resize + optimize + rename]";
    EXPECT_EQ(r.lastLine(), "Saved 3 of 3 files to " + run.string());
    EXPECT_EQ(r.err, "rexmill-batch: 1 file inside the folders is not a usable image and was "
                     "skipped (-v names it)\n")
        << "the text file is only summed up";
    ASSERT_EQ(Listing(run).size(), 3u);
    std::set<std::string> names;
    for (const fs::path& p : Listing(run)) {
        names.insert(p.stem().string());
        const auto d = rxtest::Inspect(rxtest::ReadFile(run / p));
        EXPECT_TRUE(d.ok) << p;
        EXPECT_EQ(d.width, 40) << p;
        EXPECT_EQ(d.height, 20) << p;
    }
    EXPECT_EQ(names, (std::set<std::string>{"img_007", "img_008", "img_009"}));
}

TEST(RexmillBatch, FilesInFlightGiveTheSameFilesAndProgressLines) {
    rxtest::TempDir dir;
    MakeInputs(dir, 6);
    const std::string preset = "{\"Bulk Resize\":{\"mode\":\"0\",\"width\":\"50\"},"
                               "\"Rename\":{\"mode\":\"0\",\"common\":\"x\"}}";
    Result one = RunTool(
        dir, {"-j", "1", "-p", preset, "-o", (dir / "one").string(), (dir / "in").string()});
    const std::string oneErr = one.err;
    Result three = RunTool(
        dir, {"--jobs", "3", "-p", preset, "-o", (dir / "three").string(), (dir / "in").string()});
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(three.status, 0) << three.err;
    EXPECT_EQ(three.err, oneErr) << "the same progress lines in the same order";
    const fs::path run = "[resize + rename]";
    const auto names = Listing(dir / "one" / run);
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(Listing(dir / "three" / run), names);
    for (const fs::path& name : names)
        EXPECT_EQ(rxtest::ReadFile(dir / "three" / run / name),
                  rxtest::ReadFile(dir / "one" / run / name))
            << name;
}

TEST(RexmillBatch, FormatsAndTheWindowProgramsWorkingSettings) {
    rxtest::TempDir dir;
    MakeInputs(dir, 2);
    // The working settings of the window program's own sub-key are used without -p and -n.
    fs::create_directories(dir / "config" / "Mornsby Software");
    {
        std::ofstream f((dir / "config" / "Mornsby Software" / "Rexmill.conf").string());
        f << "[1.0]\nrexmill\\Main%20Window\\Preset=\"{\\\"Bulk "
             "Resize\\\":{\\\"mode\\\":\\\"2\\\",\\\"percent\\\":\\\"50\\\"}}\"\n"
          << "Presets\\Half=\"{\\\"Bulk "
             "Resize\\\":{\\\"mode\\\":\\\"2\\\",\\\"percent\\\":\\\"25\\\"}}\"\n";
    }
    Result r = RunTool(dir, {"-f", "gif", "-o", (dir / "out").string(), (dir / "in").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path run = dir / "out" / "[resize]";
    EXPECT_EQ(Listing(run), (std::vector<fs::path>{"p0.gif", "p1.gif"}));
    EXPECT_EQ(rxtest::Inspect(rxtest::ReadFile(run / "p0.gif")).width, 60);
    EXPECT_NE(r.err.find("2/2 "), std::string::npos) << "a line per file when not a terminal";

    Result named = RunTool(dir, {"-n", "Half", "-f", "3", "-o", (dir / "out").string(),
                                 (dir / "in" / "p1.png").string()});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(rxtest::Inspect(rxtest::ReadFile(dir / "out" / "[resize] 1" / "p1.bmp")).width, 30);

    // The photo formats after TIFF, by name or by number.
    for (const auto& [name, format] :
         {std::pair{"WebP", rx::OutputFormat::Webp}, {"7", rx::OutputFormat::Avif}}) {
        if (!rxtest::CanEncode(format))
            continue;
        Result photo = RunTool(dir, {"-p", "{}", "-f", name, "-o", (dir / "photo").string(),
                                     (dir / "in" / "p1.png").string()});
        ASSERT_EQ(photo.status, 0) << name << ": " << photo.err;
        const fs::path folder = dir / "photo" / "[]";
        EXPECT_EQ(Listing(folder),
                  std::vector<fs::path>{std::string("p1") + rx::OutputFormatExtension(format)});
        const rx::Bytes bytes = rxtest::ReadFile(folder / Listing(folder).at(0));
        EXPECT_EQ(rx::SniffFormat(bytes.data(), bytes.size()), format) << name;
        fs::remove_all(dir / "photo");
    }

    Result verbose = RunTool(dir, {"-v", "-p", "{}", "-f", "Don't Change", "-o",
                                   (dir / "out").string(), (dir / "in" / "p0.jpg").string()});
    ASSERT_EQ(verbose.status, 0);
    EXPECT_NE(verbose.err.find("Saving file #0 'p0.jpg'"), std::string::npos) << verbose.err;
    EXPECT_EQ(rxtest::ReadFile(dir / "out" / "[]" / "p0.jpg"),
              rxtest::ReadFile(dir / "in" / "p0.jpg"));
}

TEST(RexmillBatch, NothingUsableAndFoldersThatCannotBeCreated) {
    rxtest::TempDir dir;
    fs::create_directories(dir / "empty");
    rxtest::WriteFile(dir / "empty" / "a.txt", {'x'});
    Result none = RunTool(dir, {"-o", (dir / "out").string(), (dir / "empty").string()});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("No supported files were found among those you just added."),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out"));

    MakeInputs(dir, 1);
    rxtest::WriteFile(dir / "blocker", {1});
    Result blocked =
        RunTool(dir, {"-p", "{}", "-o", (dir / "blocker" / "out").string(), (dir / "in").string()});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("Failed to create directory"), std::string::npos) << blocked.err;
    EXPECT_EQ(blocked.lastLine(),
              "Saved 0 of 1 files to " + (dir / "blocker" / "out" / "[]").string());
}

TEST(RexmillBatch, CtrlCCancelsAndKeepsCompleteFilesOnly) {
    rxtest::TempDir dir;
    MakeInputs(dir, 40, 1600);
    const std::string preset = "{\"Bulk Resize\":{\"mode\":\"2\",\"percent\":\"150\"}}";
    const pid_t pid = Spawn(dir, {"-q", "-p", preset, "-f", "png", "-o", (dir / "out").string(),
                                  (dir / "in").string()});
    const fs::path run = dir / "out" / "[resize]";
    // Outputs are written under a temporary "RX" name first: wait for a named one.
    const auto named = [&] {
        for (const fs::path& p : Listing(run))
            if (p.string().compare(0, 2, "RX") != 0)
                return true;
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!named() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    kill(pid, SIGINT);
    Result r = Finish(dir, pid);
    EXPECT_EQ(r.status, 130);
    const auto saved = Listing(run);
    EXPECT_GE(saved.size(), 1u);
    EXPECT_LT(saved.size(), 40u);
    for (const fs::path& p : saved) {
        EXPECT_NE(p.string().compare(0, 2, "RX"), 0) << p << ": a cancel leaves no temporary file";
        const auto d = rxtest::Inspect(rxtest::ReadFile(run / p));
        EXPECT_TRUE(d.ok) << p << " is incomplete";
        EXPECT_EQ(d.width, 2400) << p;
    }
}
