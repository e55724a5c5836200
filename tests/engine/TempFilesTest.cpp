#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "engine/TempFiles.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

namespace {
// The id of a process that has ended (and been reaped).
long EndedProcess() {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}
} // namespace

TEST(TempFiles, NamesCarryTheProcessAndOnlyOurNamesAreRecognised) {
    const std::string name = NewTempFileName();
    EXPECT_EQ(TempFileOwner(name), static_cast<long>(getpid())) << name;
    EXPECT_NE(NewTempFileName(), name);
    EXPECT_EQ(TempFileOwner("RX123-0badf00d.tmp"), 123);
    EXPECT_EQ(TempFileOwner("RX123-0badf00d.tmp.bak"), 123);
    for (const char* other : {"RX123-0badf00.tmp", "RX-0badf00d.tmp", "RXa-0badf00d.tmp",
                              "RX123-0badf00d.tmpx", "RX123-0badf00g.tmp", "photo.tmp", "RX123.jpg",
                              "rx123-0badf00d.tmp", "RX123-0badf00d.tmp.old"})
        EXPECT_EQ(TempFileOwner(other), 0) << other;

    rxtest::TempDir dir;
    fs::path path;
    StreamStatus status = StreamStatus::Failed;
    StreamPtr stream = CreateTempFile(dir.path(), &path, &status);
    ASSERT_TRUE(stream);
    EXPECT_EQ(status, StreamStatus::Ok);
    EXPECT_EQ(path.parent_path(), dir.path());
    EXPECT_EQ(TempFileOwner(path.filename().string()), static_cast<long>(getpid()));
    EXPECT_EQ(stream->Write("abc", 3), StreamStatus::Ok);
    stream.reset();
    EXPECT_EQ(fs::file_size(path), 3u);
    EXPECT_FALSE(CreateTempFile(dir / "missing", &path, &status));
    EXPECT_EQ(status, StreamStatus::NotFound);
}

TEST(TempFiles, OnlyFilesOfEndedProcessesAreRemoved) {
    rxtest::TempDir dir;
    const long ended = EndedProcess();
    const std::string dead = "RX" + std::to_string(ended) + "-00c0ffee.tmp";
    const std::string mine = "RX" + std::to_string(getpid()) + "-00c0ffee.tmp";
    const std::string parent = "RX" + std::to_string(getppid()) + "-00c0ffee.tmp";
    for (const std::string& n :
         {dead, dead + ".bak", mine, parent, std::string("RX.txt"), std::string("photo.jpg")})
        rxtest::WriteFile(dir / n, {1});
    fs::create_directories(dir / ("RX" + std::to_string(ended) + "-00000001.tmp"));
    fs::create_directories(dir / "sub");
    rxtest::WriteFile(dir / "sub" / dead, {1});

    EXPECT_EQ(RemoveStaleTempFiles(dir.path()), 2);
    EXPECT_FALSE(fs::exists(dir / dead));
    EXPECT_FALSE(fs::exists(dir / (dead + ".bak")));
    for (const std::string& n : {mine, parent, std::string("RX.txt"), std::string("photo.jpg")})
        EXPECT_TRUE(fs::exists(dir / n)) << n << " belongs to a running process or is not ours";
    EXPECT_TRUE(fs::is_directory(dir / ("RX" + std::to_string(ended) + "-00000001.tmp")));
    EXPECT_TRUE(fs::exists(dir / "sub" / dead)) << "only the folder itself is cleaned";
    EXPECT_EQ(RemoveStaleTempFiles(dir / "missing"), 0);
}

TEST(TempFiles, RunFoldersAreSweptThroughoutButNothingElseOfTheOutputFolder) {
    rxtest::TempDir dir;
    const std::string dead = "RX" + std::to_string(EndedProcess()) + "-0badf00d.tmp";
    const std::string mine = "RX" + std::to_string(getpid()) + "-0badf00d.tmp";
    const fs::path run = dir / "[watermark + resize] 2";
    for (const fs::path& folder : {run, run / "a" / "b", dir / "[resize]", dir / "holiday"})
        fs::create_directories(folder);
    for (const fs::path& p : {run / dead, run / "a" / "b" / dead, dir / "[resize]" / dead,
                              run / mine, dir / "holiday" / dead, dir / dead})
        rxtest::WriteFile(p, {1});
    // A link into another folder is not followed: what it points at is not ours to clean.
    fs::create_directory_symlink(dir / "holiday", run / "link");

    EXPECT_EQ(RemoveStaleTempFilesInRunFolders(dir.path()), 3);
    EXPECT_FALSE(fs::exists(run / dead));
    EXPECT_FALSE(fs::exists(run / "a" / "b" / dead));
    EXPECT_FALSE(fs::exists(dir / "[resize]" / dead));
    EXPECT_TRUE(fs::exists(run / mine)) << "a running process's file stays";
    EXPECT_TRUE(fs::exists(dir / "holiday" / dead)) << "not a run folder";
    EXPECT_TRUE(fs::exists(dir / dead)) << "the output folder itself is the user's";
    EXPECT_EQ(RemoveStaleTempFilesInRunFolders(dir / "missing"), 0);
}
