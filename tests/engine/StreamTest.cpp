#include <gtest/gtest.h>

#include <algorithm>

#include <stdio.h>
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

TEST(PieceBuffer, WritesReadsAndOverwritesAcrossPieces) {
    const std::size_t piece = PieceBuffer::kPieceSize;
    Bytes data(piece * 2 + 1000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 7 + i / 251);
    PieceBuffer buffer;
    // In uneven steps, so that writes straddle the piece boundaries.
    for (std::size_t at = 0; at < data.size(); at += 333333)
        ASSERT_TRUE(
            buffer.Write(data.data() + at, std::min<std::size_t>(333333, data.size() - at)));
    EXPECT_EQ(buffer.size(), data.size());

    // Back over a boundary: overwritten in place, the size unchanged; read back across it.
    const Bytes patch(64, 0xAB);
    EXPECT_EQ(buffer.Seek(std::int64_t(piece) - 32, SEEK_SET), std::int64_t(piece) - 32);
    ASSERT_TRUE(buffer.Write(patch.data(), patch.size()));
    std::copy(patch.begin(), patch.end(), data.begin() + std::ptrdiff_t(piece) - 32);
    EXPECT_EQ(buffer.size(), data.size());
    Bytes back(100);
    EXPECT_EQ(buffer.Seek(-100, SEEK_CUR), std::int64_t(piece) - 68);
    EXPECT_EQ(buffer.Read(back.data(), back.size()), back.size());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + std::ptrdiff_t(piece) - 68));
    // Reading stops at the end; a position before the start is refused and changes nothing.
    EXPECT_EQ(buffer.Seek(-10, SEEK_END), std::int64_t(data.size()) - 10);
    EXPECT_EQ(buffer.Read(back.data(), back.size()), 10u);
    EXPECT_EQ(buffer.Read(back.data(), back.size()), 0u);
    EXPECT_EQ(buffer.Seek(-1, SEEK_SET), -1);
    EXPECT_EQ(buffer.Seek(0, SEEK_CUR), std::int64_t(data.size()));

    const Bytes taken = buffer.Take(4096);
    EXPECT_EQ(taken, data);
    EXPECT_GE(taken.capacity(), data.size() + 4096) << "room asked for at the end";
    EXPECT_EQ(buffer.size(), 0u) << "taken away";
}

TEST(PieceBuffer, BytesSkippedByASeekReadAsZeros) {
    PieceBuffer buffer;
    const std::uint8_t head[] = {1, 2, 3};
    ASSERT_TRUE(buffer.Write(head, sizeof head));
    // Past the end, even past a whole piece never written: the gap is zeros, as in a file.
    const std::int64_t far = std::int64_t(PieceBuffer::kPieceSize) * 2 + 5;
    EXPECT_EQ(buffer.Seek(far, SEEK_SET), far);
    ASSERT_TRUE(buffer.Write(head, sizeof head));
    EXPECT_EQ(buffer.size(), std::uint64_t(far) + 3);
    Bytes expected(std::size_t(far) + 3, 0);
    std::copy(head, head + 3, expected.begin());
    std::copy(head, head + 3, expected.begin() + far);
    Bytes middle(16, 0xFF);
    EXPECT_EQ(buffer.Seek(std::int64_t(PieceBuffer::kPieceSize) + 8, SEEK_SET),
              std::int64_t(PieceBuffer::kPieceSize) + 8);
    EXPECT_EQ(buffer.Read(middle.data(), middle.size()), middle.size());
    EXPECT_EQ(middle, Bytes(16, 0));
    EXPECT_EQ(buffer.Take(), expected);
}
