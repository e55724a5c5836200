#include "engine/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rx {
namespace {

StreamStatus StatusFromErrno(int e) {
    switch (e) {
    case EEXIST:
        return StreamStatus::FileExists;
    case ENOENT:
    case ENOTDIR:
        return StreamStatus::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return StreamStatus::AccessDenied;
    default:
        return StreamStatus::Failed;
    }
}

class FileStream final : public Stream {
public:
    FileStream(int fd, bool write) : fd_(fd), write_(write) {}
    ~FileStream() override { ::close(fd_); }

    StreamStatus Read(void* data, size_t size, size_t* read) override {
        *read = 0;
        if (write_)
            return StreamStatus::AccessDenied;
        while (*read < size) {
            const ssize_t n = ::read(fd_, static_cast<char*>(data) + *read, size - *read);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return StreamStatus::ReadFault;
            if (n == 0)
                break;
            *read += static_cast<size_t>(n);
        }
        return StreamStatus::Ok;
    }

    StreamStatus Write(const void* data, size_t size) override {
        if (!write_)
            return StreamStatus::AccessDenied;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd_, static_cast<const char*>(data) + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return StreamStatus::WriteFault;
            done += static_cast<size_t>(n);
        }
        return StreamStatus::Ok;
    }

    StreamStatus Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* position) override {
        const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                           : origin == SeekOrigin::Current ? SEEK_CUR
                                                           : SEEK_END;
        const off_t p = ::lseek(fd_, offset, whence);
        if (p < 0)
            return StreamStatus::InvalidArgument;
        if (position)
            *position = static_cast<std::uint64_t>(p);
        return StreamStatus::Ok;
    }

    StreamStatus Stat(std::uint64_t* size) override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            return StreamStatus::Failed;
        *size = static_cast<std::uint64_t>(st.st_size);
        return StreamStatus::Ok;
    }

    SharedBytes Contents() override {
        if (contents_ || write_)
            return contents_;
        std::uint64_t size = 0;
        if (Stat(&size) != StreamStatus::Ok)
            return nullptr;
        auto bytes = std::make_shared<Bytes>(size);
        size_t done = 0;
        while (done < size) {
            const ssize_t n =
                ::pread(fd_, bytes->data() + done, size - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return nullptr;
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        bytes->resize(done);
        contents_ = std::move(bytes);
        return contents_;
    }

private:
    int fd_;
    bool write_;
    SharedBytes contents_;
};

class MemoryStream final : public Stream {
public:
    explicit MemoryStream(std::shared_ptr<Bytes> bytes) : bytes_(std::move(bytes)) {}

    StreamStatus Read(void* data, size_t size, size_t* read) override {
        const size_t n = pos_ < bytes_->size() ? std::min(size, bytes_->size() - pos_) : 0;
        if (n)
            std::memcpy(data, bytes_->data() + pos_, n);
        pos_ += n;
        *read = n;
        return StreamStatus::Ok;
    }

    StreamStatus Write(const void* data, size_t size) override {
        if (bytes_.use_count() > 1) // shared with a reader: detach before changing
            bytes_ = std::make_shared<Bytes>(*bytes_);
        if (pos_ + size > bytes_->size())
            bytes_->resize(pos_ + size);
        if (size)
            std::memcpy(bytes_->data() + pos_, data, size);
        pos_ += size;
        return StreamStatus::Ok;
    }

    StreamStatus Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* position) override {
        const std::int64_t base = origin == SeekOrigin::Begin ? 0
                                  : origin == SeekOrigin::Current
                                      ? static_cast<std::int64_t>(pos_)
                                      : static_cast<std::int64_t>(bytes_->size());
        if (base + offset < 0)
            return StreamStatus::InvalidArgument;
        pos_ = static_cast<size_t>(base + offset);
        if (position)
            *position = pos_;
        return StreamStatus::Ok;
    }

    StreamStatus Stat(std::uint64_t* size) override {
        *size = bytes_->size();
        return StreamStatus::Ok;
    }

    SharedBytes Contents() override { return bytes_; }

private:
    std::shared_ptr<Bytes> bytes_;
    size_t pos_ = 0;
};

} // namespace

StreamPtr OpenFileStream(const boost::filesystem::path& path, bool write) {
    if (path.empty())
        return nullptr;
    // O_NONBLOCK: opening a FIFO (or a device) must not wait for a writer; only a regular file
    // is ever used, and for one the flag changes nothing and is cleared again.
    const int fd = ::open(path.c_str(), (write ? O_WRONLY : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return std::make_shared<FileStream>(fd, write);
}

StreamPtr CreateNewFileStream(const boost::filesystem::path& path, StreamStatus* status) {
    if (path.empty()) {
        *status = StreamStatus::InvalidArgument;
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *status = StatusFromErrno(errno);
        return nullptr;
    }
    *status = StreamStatus::Ok;
    return std::make_shared<FileStream>(fd, true);
}

StreamPtr NewMemoryStream(const void* data, size_t size) {
    auto bytes = std::make_shared<Bytes>();
    if (data && size)
        bytes->assign(static_cast<const std::uint8_t*>(data),
                      static_cast<const std::uint8_t*>(data) + size);
    return std::make_shared<MemoryStream>(std::move(bytes));
}

StreamPtr NewMemoryStream(Bytes&& bytes) {
    return std::make_shared<MemoryStream>(std::make_shared<Bytes>(std::move(bytes)));
}

StreamPtr NewMemoryStream(SharedBytes bytes) {
    if (!bytes)
        return NewMemoryStream();
    // The block stays shared until the stream is written to (MemoryStream::Write detaches).
    return std::make_shared<MemoryStream>(std::const_pointer_cast<Bytes>(std::move(bytes)));
}

StreamStatus CopyStream(Stream* source, Stream* destination) {
    if (!source || !destination)
        return StreamStatus::InvalidArgument;
    StreamStatus st = source->Seek(0, SeekOrigin::Begin);
    if (st != StreamStatus::Ok)
        return st;
    std::uint64_t size = 0;
    if ((st = source->Stat(&size)) != StreamStatus::Ok)
        return st;
    std::vector<std::uint8_t> buffer(static_cast<size_t>(std::min<std::uint64_t>(size, 1 << 20)));
    std::uint64_t left = size;
    while (left > 0) {
        size_t got = 0;
        const size_t want = static_cast<size_t>(std::min<std::uint64_t>(left, buffer.size()));
        if ((st = source->Read(buffer.data(), want, &got)) != StreamStatus::Ok)
            return st;
        if (got == 0)
            return StreamStatus::ReadFault; // shorter than it said
        if ((st = destination->Write(buffer.data(), got)) != StreamStatus::Ok)
            return st;
        left -= got;
    }
    return StreamStatus::Ok;
}

std::unique_ptr<Bytes> StreamToGlobalMemory(Stream* source) {
    auto block = std::make_unique<Bytes>();
    auto target = std::make_shared<MemoryStream>(std::make_shared<Bytes>());
    if (CopyStream(source, target.get()) != StreamStatus::Ok)
        return nullptr;
    SharedBytes bytes = target->Contents();
    target.reset();
    // The target was the only owner, so the block can be moved out.
    *block = std::move(*std::const_pointer_cast<Bytes>(bytes));
    return block;
}

PieceBuffer::~PieceBuffer() {
    Release();
}

void PieceBuffer::Release() {
    for (std::uint8_t* piece : pieces_)
        if (piece)
            ::munmap(piece, kPieceSize);
    pieces_.clear();
    size_ = 0;
    position_ = 0;
}

std::uint8_t* PieceBuffer::Piece(std::size_t index) {
    if (index >= pieces_.size())
        pieces_.resize(index + 1, nullptr);
    if (!pieces_[index]) {
        // A mapping of its own, not the heap: a piece given back is gone from the process at
        // once, and its pages are zero until written.
        void* p =
            ::mmap(nullptr, kPieceSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return nullptr;
        pieces_[index] = static_cast<std::uint8_t*>(p);
    }
    return pieces_[index];
}

bool PieceBuffer::Write(const void* data, std::size_t size) {
    const auto* from = static_cast<const std::uint8_t*>(data);
    std::uint64_t at = position_;
    while (size > 0) {
        std::uint8_t* piece = Piece(static_cast<std::size_t>(at / kPieceSize));
        if (!piece)
            return false;
        const std::size_t offset = static_cast<std::size_t>(at % kPieceSize);
        const std::size_t n = std::min(size, kPieceSize - offset);
        std::memcpy(piece + offset, from, n);
        from += n;
        size -= n;
        at += n;
        position_ = at;
        size_ = std::max(size_, at);
    }
    return true;
}

std::size_t PieceBuffer::Read(void* data, std::size_t size) {
    auto* to = static_cast<std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size && position_ < size_) {
        const std::size_t index = static_cast<std::size_t>(position_ / kPieceSize);
        const std::size_t offset = static_cast<std::size_t>(position_ % kPieceSize);
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>({size - done, kPieceSize - offset, size_ - position_}));
        if (index < pieces_.size() && pieces_[index])
            std::memcpy(to + done, pieces_[index] + offset, n);
        else
            std::memset(to + done, 0, n); // skipped over by a seek, never written
        done += n;
        position_ += n;
    }
    return done;
}

std::int64_t PieceBuffer::Seek(std::int64_t offset, int whence) {
    const std::int64_t base = whence == SEEK_SET   ? 0
                              : whence == SEEK_CUR ? static_cast<std::int64_t>(position_)
                              : whence == SEEK_END ? static_cast<std::int64_t>(size_)
                                                   : -1;
    if (base < 0 || base + offset < 0)
        return -1;
    position_ = static_cast<std::uint64_t>(base + offset);
    return base + offset;
}

Bytes PieceBuffer::Take(std::size_t spare) {
    Bytes out;
    out.reserve(static_cast<std::size_t>(size_) + spare);
    std::uint64_t left = size_;
    for (std::size_t i = 0; i < pieces_.size() && left > 0; ++i) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPieceSize));
        if (pieces_[i]) {
            out.insert(out.end(), pieces_[i], pieces_[i] + n);
            ::munmap(pieces_[i], kPieceSize);
            pieces_[i] = nullptr;
        } else {
            out.resize(out.size() + n, 0);
        }
        left -= n;
    }
    Release();
    return out;
}

std::uint32_t StreamStatusCode(StreamStatus status) {
    switch (status) {
    case StreamStatus::Ok:
        return 0;
    case StreamStatus::InvalidArgument:
        return 0x80070057; // E_INVALIDARG
    case StreamStatus::FileExists:
        return 0x80070050; // from ERROR_FILE_EXISTS
    case StreamStatus::NotFound:
        return 0x80070002; // from ERROR_FILE_NOT_FOUND
    case StreamStatus::AccessDenied:
        return 0x80070005; // E_ACCESSDENIED
    case StreamStatus::ReadFault:
        return 0x8007001E; // from ERROR_READ_FAULT
    case StreamStatus::WriteFault:
        return 0x8007001D; // from ERROR_WRITE_FAULT
    case StreamStatus::Failed:
        break;
    }
    return 0x80004005; // E_FAIL
}

} // namespace rx
