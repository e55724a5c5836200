// Reference-counted byte streams: file streams that never create a file unless asked to create
// a new one (and then fail when it exists), and memory streams whose block can be shared
// without copying. Used for the encoded bytes of every file in flight.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <boost/filesystem/path.hpp>

namespace rx {

using Bytes = std::vector<std::uint8_t>;
using SharedBytes = std::shared_ptr<const Bytes>;

enum class StreamStatus {
    Ok,
    InvalidArgument,
    FileExists,
    NotFound,
    AccessDenied,
    ReadFault,
    WriteFault,
    Failed,
};

// The number a status is logged with, in the numbering of the platform's COM results: 0 for
// Ok, 0x80070057 for InvalidArgument, 0x80070050 for FileExists, 0x80004005 for Failed, ...
std::uint32_t StreamStatusCode(StreamStatus status);

enum class SeekOrigin { Begin, Current, End };

class Stream {
public:
    virtual ~Stream() = default;
    // Reads up to size bytes; *read gets the count (0 at the end).
    virtual StreamStatus Read(void* data, size_t size, size_t* read) = 0;
    virtual StreamStatus Write(const void* data, size_t size) = 0;
    virtual StreamStatus Seek(std::int64_t offset, SeekOrigin origin,
                              std::uint64_t* position = nullptr) = 0;
    virtual StreamStatus Stat(std::uint64_t* size) = 0;
    // The whole content as one shared block: a reference for memory streams, one read of the
    // file for file streams (kept for later calls). Null when it cannot be read.
    virtual SharedBytes Contents() = 0;
};

using StreamPtr = std::shared_ptr<Stream>;

// A stream on an existing file, read-only or write-only; never creates the file. Null for an
// empty path or on failure.
StreamPtr OpenFileStream(const boost::filesystem::path& path, bool write);

// Creates the file for writing only when it does not exist yet (O_CREAT | O_EXCL). Null on
// failure, with *status FileExists when the name is taken.
StreamPtr CreateNewFileStream(const boost::filesystem::path& path, StreamStatus* status);

// An in-memory stream, empty or holding a copy of the bytes.
StreamPtr NewMemoryStream(const void* data = nullptr, size_t size = 0);
// An in-memory stream that takes the block (no copy).
StreamPtr NewMemoryStream(Bytes&& bytes);
// An in-memory stream over a shared block; it is copied only when the stream is written to.
StreamPtr NewMemoryStream(SharedBytes bytes);

// Copies the whole source (from its start) to the destination at its current position.
StreamStatus CopyStream(Stream* source, Stream* destination);

// A block owned by the caller holding a copy of the whole source; null when the copy failed.
std::unique_ptr<Bytes> StreamToGlobalMemory(Stream* source);

// Bytes written (and read back, and overwritten after a seek) in pieces of a few MiB, each
// mapped on its own, for encoders that write their output piece by piece. Take() gathers them
// into one block, letting each piece go as soon as it is copied: the output is never held
// twice, as it would be while a growing vector moves to a larger block. Unwritten bytes below
// the end read as zeros. Not thread-safe.
class PieceBuffer {
public:
    static constexpr std::size_t kPieceSize = std::size_t(4) << 20;

    PieceBuffer() = default;
    ~PieceBuffer();
    PieceBuffer(const PieceBuffer&) = delete;
    PieceBuffer& operator=(const PieceBuffer&) = delete;

    // Writes at the position and moves past; false when memory ran out (nothing is lost).
    bool Write(const void* data, std::size_t size);
    // Reads up to `size` bytes at the position and moves past; the count read (0 at the end).
    std::size_t Read(void* data, std::size_t size);
    // Moves the position as lseek does (SEEK_SET, SEEK_CUR, SEEK_END); -1 for a position before
    // the start, which leaves the position as it was.
    std::int64_t Seek(std::int64_t offset, int whence);
    std::uint64_t size() const { return size_; }

    // The bytes as one block with room for `spare` more without moving; the buffer is then
    // empty.
    Bytes Take(std::size_t spare = 0);

private:
    std::uint8_t* Piece(std::size_t index); // mapped on first use; null when out of memory
    void Release();

    std::vector<std::uint8_t*> pieces_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

} // namespace rx
