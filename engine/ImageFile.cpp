#include "engine/ImageFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include <boost/filesystem/operations.hpp>
#include <boost/system/error_code.hpp>
#include <boost/thread/thread.hpp>

#include "engine/DebugLog.h"
#include "engine/Imaging.h"
#include "engine/JpegCheck.h"
#include "engine/StopRequest.h"
#include "engine/TempFiles.h"
#include "engine/Text.h"
#include "engine/VipsBridge.h"

namespace fs = boost::filesystem;

namespace rx {
namespace {

// The encoders the program writes with and the extension patterns each declares. HEIC and AVIF
// depend on libheif's encoders, which are asked for only when a file is to be written.
struct EncoderTable {
    bool hasEncoder[kImageFormatCount] = {};
    std::set<std::string> extensions;
};

const EncoderTable& Encoders() {
    static EncoderTable table;
    static std::once_flag once;
    std::call_once(once, [] {
        EnsureImagingStarted();
        static const char* const patterns[kImageFormatCount] = {nullptr,
                                                                "*.JPG;*.JPEG;*.JPE;*.JFIF",
                                                                "*.PNG",
                                                                "*.BMP;*.DIB;*.RLE",
                                                                "*.GIF",
                                                                "*.TIF;*.TIFF",
                                                                "*.WEBP",
                                                                "*.AVIF",
                                                                "*.HEIC;*.HEIF;*.HIF"};
        for (int i = 1; i < kImageFormatCount; ++i) {
            table.hasEncoder[i] = true;
            std::string piece;
            for (const char* p = patterns[i];; ++p) {
                if (*p == ';' || *p == '\0') {
                    if (!piece.empty())
                        table.extensions.insert(piece);
                    piece.clear();
                    if (!*p)
                        break;
                } else if (*p != '*' && *p != '.') {
                    piece += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
                }
            }
        }
    });
    return table;
}

// A name is one element inside the target folder: separators a rename put into it would write
// elsewhere (even outside the run folder), so they become "_", as do the names "." and "..".
boost::filesystem::path SafeFileName(const boost::filesystem::path& name) {
    std::string s = name.string();
    std::replace(s.begin(), s.end(), '/', '_');
    if (s.empty() || s == "." || s == "..")
        s = "_" + s;
    return s;
}

constexpr size_t kMaxExtensionBytes = 32;

size_t NameLimit(const fs::path& folder) {
    const long n = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<size_t>(n) : 255;
}

// Gives the complete temporary file its final name unless that name exists: 0, or the errno
// (EEXIST when the name is taken). Nothing is ever replaced.
int GiveName(const fs::path& temp, const fs::path& target) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // File systems without the flag: a hard link does not replace a file either.
    if (::link(temp.c_str(), target.c_str()) == 0) {
        ::unlink(temp.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return errno;
    // Nor hard links (FAT): claim the name with an empty file of our own, then move onto it.
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(target.c_str());
        return error;
    }
    return 0;
}

} // namespace

ImageFile::ImageFile(const fs::path& source, int index) : name_(source.filename()), index_(index) {
    boost::system::error_code ec;
    const std::time_t t = fs::last_write_time(source, ec);
    modified_ = ec ? -1 : static_cast<std::int64_t>(t);
    data_ = OpenFileStream(source, false);
    if (!data_)
        throw fs::filesystem_error(
            "FileInputStream", source,
            boost::system::errc::make_error_code(boost::system::errc::no_such_file_or_directory));
}

std::unique_ptr<Bitmap> ImageFile::GetImage() {
    SharedBytes bytes = data_ ? data_->Contents() : nullptr;
    auto bitmap = Bitmap::FromData(std::move(bytes));
    if (bitmap->IsValid() && format_ == OutputFormat::DontChange &&
        bitmap->RawFormat() != OutputFormat::DontChange)
        format_ = bitmap->RawFormat();
    return bitmap;
}

void ImageFile::setData(StreamPtr data) {
    data_ = std::move(data);
    if (format_ == OutputFormat::DontChange || !data_)
        return;
    const SharedBytes bytes = data_->Contents();
    const OutputFormat now =
        bytes ? SniffFormat(bytes->data(), bytes->size()) : OutputFormat::DontChange;
    if (now != OutputFormat::DontChange && now != format_) {
        format_ = now;
        name_.replace_extension(OutputFormatExtension(now));
    }
}

bool ImageFile::Encode(OutputFormat format, std::unique_ptr<Bitmap> bitmap) {
    const EncoderTable& table = Encoders();
    const int slot = FormatNumber(format);
    if (!bitmap || slot <= 0 || slot >= kImageFormatCount || !table.hasEncoder[slot])
        return false;
    if (format == format_ && !vipsbridge::EncoderAvailable(format)) {
        // A picture is never lost for want of an encoder: the result is written as JPEG.
        DebugLog(L"  No %s encoder on this system: '%s' is written as JPEG.",
                 OutputFormatName(format), PathText(name_).c_str());
        format = OutputFormat::Jpeg;
        format_ = OutputFormat::Jpeg;
        name_.replace_extension(OutputFormatExtension(OutputFormat::Jpeg));
    }
    // An encode from pixels (drawn on, or a BMP, which is only read whole) needs nothing of the
    // current bytes once the pixels are out of them: they are let go before the new bytes are
    // made. A failed encode fails the file, which is then never saved.
    if (bitmap->IsValid() && (bitmap->PixelsDecoded() || format == OutputFormat::Bmp ||
                              bitmap->RawFormat() == OutputFormat::Bmp)) {
        if (!bitmap->Pixels()) {
            encodeStatus_ = bitmap->LastStatus();
            return false;
        }
        data_.reset();
    }
    Bytes out;
    if (!bitmap->EncodeTo(format, &out)) {
        encodeStatus_ = bitmap->LastStatus();
        return false;
    }
    data_ = NewMemoryStream(std::move(out));
    if (format == OutputFormat::Jpeg)
        RememberSoundJpeg(data_->Contents()); // our own encoder's output needs no check
    return true;
}

bool ImageFile::SetImage(std::unique_ptr<Bitmap> bitmap) {
    if (format_ == OutputFormat::DontChange)
        GetImage(); // learns the format; the bitmap is discarded
    if (format_ == OutputFormat::DontChange)
        return false;
    return Encode(format_, std::move(bitmap));
}

void ImageFile::ConvertFormat(OutputFormat outputFormat) {
    auto bitmap = GetImage();
    if (outputFormat != OutputFormat::DontChange && !IsConversionTarget(outputFormat)) {
        // Never saved as it came: the user asked for a conversion, just not one that exists.
        const std::wstring name = OutputFormatName(outputFormat);
        setFailure("the output format " +
                   (name.empty() ? std::to_string(FormatNumber(outputFormat)) : Narrow(name)) +
                   " is not one that files can be converted to");
        return;
    }
    if (outputFormat == OutputFormat::DontChange || outputFormat == format_)
        return;
    DebugLog(L"Converting to %s ...", OutputFormatName(outputFormat));
    if (!bitmap->IsValid()) {
        setFailure(ImageStatusText(bitmap->LastStatus()));
        return;
    }
    if (Encode(outputFormat, std::move(bitmap))) {
        format_ = outputFormat;
        name_.replace_extension(OutputFormatExtension(outputFormat));
    } else {
        setFailure(ImageStatusText(encodeStatus_));
    }
}

bool ImageFile::Save(const fs::path& folder) {
    DebugLog(L"Saving file #%ld '%s' to '%s' folder.", static_cast<long>(index_),
             PathText(name_).c_str(), PathText(folder).c_str());
    savedPath_.clear();
    if (!data_) {
        DebugLog(L" Not saved: no data.");
        return false;
    }
    const fs::path name = SafeFileName(name_);
    std::string stem = name.stem().string();
    std::string ext = name.extension().string();
    if (ext.size() > kMaxExtensionBytes) { // not an extension worth keeping whole
        stem += ext;
        ext.clear();
    }
    const size_t limit = NameLimit(folder);

    // The bytes go to a temporary file next to the target; a killed or cancelled process then
    // never leaves a partial file under a real name.
    fs::path temp;
    StreamStatus status = StreamStatus::Ok;
    StreamPtr out = CreateTempFile(folder, &temp, &status);
    if (!out) {
        DebugLog(L" Not saved: no file can be created in '%s'.", PathText(folder).c_str());
        return false;
    }
    struct RemoveUnlessNamed {
        const fs::path& path;
        bool named = false;
        ~RemoveUnlessNamed() {
            if (!named)
                ::unlink(path.c_str());
        }
    } guard{temp};
    const StreamStatus copied = CopyStream(data_.get(), out.get());
    out.reset();
    if (copied != StreamStatus::Ok) {
        DebugLog(L" Not saved: writing '%s' failed.", PathText(temp).c_str());
        return false;
    }
    // A cancel that arrives while the file is still without its name leaves nothing.
    boost::this_thread::interruption_point();
    if (StopRequestedFromSignal())
        throw boost::thread_interrupted();

    fs::path target = folder / FitFileName(stem, ext, limit);
    for (long n = 1;; ++n) {
        const int error = GiveName(temp, target);
        if (error == 0)
            break;
        if (error != EEXIST) {
            DebugLog(L" Target path is '%s'. Not saved: %S.", PathText(target).c_str(),
                     std::strerror(error));
            return false;
        }
        target = folder / FitFileName(stem, " " + std::to_string(n) + ext, limit);
    }
    guard.named = true;
    savedPath_ = target;
    DebugLog(L" Target path is '%s'. Writing ...", PathText(target).c_str());
    DebugLog(L"Saved.");
    return true;
}

std::string FitFileName(const std::string& stem, const std::string& tail, size_t maxBytes) {
    if (stem.size() + tail.size() <= maxBytes || tail.size() >= maxBytes)
        return stem + tail;
    size_t cut = maxBytes - tail.size();
    // Back off over UTF-8 continuation bytes (at most three) so no character is split.
    for (int k = 0; k < 3 && cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80; ++k)
        --cut;
    return stem.substr(0, cut) + tail;
}

const char kImageFileFilter[] = "All images (*.bmp *.png *.gif *.jpg *.jpeg *.tif *.tiff *.webp "
                                "*.heic *.heif *.avif)";

bool IsSupportedExtension(const std::string& extension) {
    const EncoderTable& table = Encoders();
    std::string ext = extension;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    return table.extensions.count(ext) != 0;
}

InputCheck CheckInputFile(const fs::path& path) {
    if (!IsSupportedExtension(path.extension().string()))
        return InputCheck::UnsupportedExtension;
    StreamPtr stream = OpenFileStream(path, false);
    if (!stream)
        return InputCheck::NotAnImage;
    auto bitmap = Bitmap::FromData(stream->Contents());
    // An image sequence counts as animated even when it holds no still picture to show.
    for (const FrameDimension& d : bitmap->FrameDimensions())
        if (d.count > 1)
            return InputCheck::SeveralFrames;
    return bitmap->IsValid() ? InputCheck::Usable : InputCheck::NotAnImage;
}

} // namespace rx
