#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "engine/Stream.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;

TEST(Stream, OpenNeverCreatesAndCreateNewFailsOnTakenNames) {
    rxtest::TempDir dir;
    EXPECT_EQ(OpenFileStream(dir / "missing.jpg", false), nullptr);
    EXPECT_EQ(OpenFileStream(dir / "missing.jpg", true), nullptr);
    EXPECT_FALSE(fs::exists(dir / "missing.jpg"));
    EXPECT_EQ(OpenFileStream("", false), nullptr);
    EXPECT_EQ(OpenFileStream(dir.path(), false), nullptr) << "a folder is no file stream";

    rxtest::WriteFile(dir / "a.bin", {1, 2, 3});
    StreamStatus st = StreamStatus::Ok;
    EXPECT_EQ(CreateNewFileStream(dir / "a.bin", &st), nullptr);
    EXPECT_EQ(st, StreamStatus::FileExists);
    EXPECT_EQ(rxtest::ReadFile(dir / "a.bin"), (Bytes{1, 2, 3}));

    EXPECT_EQ(CreateNewFileStream(dir / "no" / "b.bin", &st), nullptr);
    EXPECT_EQ(st, StreamStatus::NotFound);
    auto created = CreateNewFileStream(dir / "b.bin", &st);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(st, StreamStatus::Ok);
}

TEST(Stream, CopyTakesTheWholeSourceFromItsStart) {
    rxtest::TempDir dir;
    auto src = NewMemoryStream("hello world", 11);
    src->Seek(5, SeekOrigin::Begin);
    auto dst = NewMemoryStream("><", 2);
    dst->Seek(0, SeekOrigin::End);
    ASSERT_EQ(CopyStream(src.get(), dst.get()), StreamStatus::Ok);
    const Bytes expect = {'>', '<', 'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    EXPECT_EQ(*dst->Contents(), expect);
    EXPECT_EQ(CopyStream(nullptr, dst.get()), StreamStatus::InvalidArgument);
    EXPECT_EQ(CopyStream(src.get(), nullptr), StreamStatus::InvalidArgument);

    // A read-only file stream cannot be written to.
    rxtest::WriteFile(dir / "r.bin", {9});
    auto ro = OpenFileStream(dir / "r.bin", false);
    EXPECT_NE(CopyStream(src.get(), ro.get()), StreamStatus::Ok);
}

TEST(Stream, SharedBlocksAreReferencedAndDetachOnWrite) {
    auto block = std::make_shared<const Bytes>(Bytes{1, 2, 3});
    auto a = NewMemoryStream(block);
    EXPECT_EQ(a->Contents().get(), block.get()) << "no copy for a reader";
    a->Seek(0, SeekOrigin::End);
    ASSERT_EQ(a->Write("\x04", 1), StreamStatus::Ok);
    EXPECT_EQ(*block, (Bytes{1, 2, 3})) << "the shared block is never changed";
    EXPECT_EQ(*a->Contents(), (Bytes{1, 2, 3, 4}));

    auto owned = StreamToGlobalMemory(a.get());
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(*owned, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(StreamToGlobalMemory(nullptr), nullptr);
}

TEST(Stream, FileContentsAreReadOnceAndKept) {
    rxtest::TempDir dir;
    rxtest::WriteFile(dir / "f.bin", {5, 6, 7});
    auto s = OpenFileStream(dir / "f.bin", false);
    auto first = s->Contents();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(*first, (Bytes{5, 6, 7}));
    EXPECT_EQ(s->Contents().get(), first.get());
    std::uint64_t size = 0;
    EXPECT_EQ(s->Stat(&size), StreamStatus::Ok);
    EXPECT_EQ(size, 3u);
}

TEST(Stream, OnlyRegularFilesAreOpenedAndAFifoNeverBlocks) {
    rxtest::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe.png").c_str(), 0600), 0);
    // Without a writer, a blocking open of a FIFO would wait for good: the alarm ends the test.
    alarm(20);
    EXPECT_EQ(OpenFileStream(dir / "pipe.png", false), nullptr);
    EXPECT_EQ(OpenFileStream(dir / "pipe.png", true), nullptr);
    EXPECT_EQ(OpenFileStream("/dev/zero", false), nullptr);
    alarm(0);
    rxtest::WriteFile(dir / "a.bin", {4, 5});
    auto stream = OpenFileStream(dir / "a.bin", false);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(*stream->Contents(), (Bytes{4, 5}));
    symlink((dir / "a.bin").c_str(), (dir / "link.bin").c_str());
    EXPECT_NE(OpenFileStream(dir / "link.bin", false), nullptr) << "a link to a file is a file";
}
