#include "engine/ImageFile.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

#include <boost/filesystem/operations.hpp>
#include <boost/system/error_code.hpp>

#include "engine/DebugLog.h"
#include "engine/Imaging.h"
#include "engine/Text.h"

namespace fs = boost::filesystem;

namespace rx {
namespace {

// The encoders the program writes with and the extension patterns each declares.
struct EncoderTable {
    bool hasEncoder[kOutputFormatCount] = {};
    std::set<std::string> extensions;
};

const EncoderTable& Encoders() {
    static EncoderTable table;
    static std::once_flag once;
    std::call_once(once, [] {
        EnsureImagingStarted();
        static const char* const patterns[kOutputFormatCount] = {
            nullptr, "*.JPG;*.JPEG;*.JPE;*.JFIF", "*.PNG", "*.BMP;*.DIB;*.RLE", "*.GIF",
            "*.TIF;*.TIFF"};
        for (int i = 1; i < kOutputFormatCount; ++i) {
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

} // namespace

ImageFile::ImageFile(const fs::path& source, int index)
    : name_(source.filename()), index_(index) {
    boost::system::error_code ec;
    const std::time_t t = fs::last_write_time(source, ec);
    modified_ = ec ? -1 : static_cast<std::int64_t>(t);
    data_ = OpenFileStream(source, false);
    if (!data_)
        throw fs::filesystem_error("FileInputStream", source,
                                   boost::system::errc::make_error_code(
                                       boost::system::errc::no_such_file_or_directory));
}

std::unique_ptr<Bitmap> ImageFile::GetImage() {
    SharedBytes bytes = data_ ? data_->Contents() : nullptr;
    auto bitmap = Bitmap::FromData(std::move(bytes));
    if (bitmap->IsValid() && format_ == 0 && bitmap->RawFormat() != 0)
        format_ = bitmap->RawFormat();
    return bitmap;
}

bool ImageFile::Encode(int format, std::unique_ptr<Bitmap> bitmap) {
    const EncoderTable& table = Encoders();
    if (!bitmap || format <= 0 || format >= kOutputFormatCount || !table.hasEncoder[format])
        return false;
    Bytes out;
    if (!bitmap->EncodeTo(format, &out))
        return false;
    data_ = NewMemoryStream(std::move(out));
    return true;
}

bool ImageFile::SetImage(std::unique_ptr<Bitmap> bitmap) {
    if (format_ == 0)
        GetImage(); // learns the format; the bitmap is discarded
    if (format_ == 0)
        return false;
    return Encode(format_, std::move(bitmap));
}

void ImageFile::ConvertFormat(int outputFormat) {
    auto bitmap = GetImage();
    if (outputFormat == 0 || outputFormat == format_ || outputFormat >= kOutputFormatCount)
        return;
    if (Encode(outputFormat, std::move(bitmap))) {
        format_ = outputFormat;
        name_.replace_extension(OutputFormatExtension(outputFormat));
    }
}

bool ImageFile::Save(const fs::path& folder) {
    DebugLog(L"Saving file #%ld '%s' to '%s' folder.", static_cast<long>(index_),
             PathText(name_).c_str(), PathText(folder).c_str());
    if (!data_)
        return false;
    const fs::path name = SafeFileName(name_);
    fs::path target = folder / name;
    const std::string stem = name.stem().string();
    const std::string ext = name.extension().string();
    StreamStatus status = StreamStatus::Ok;
    StreamPtr out;
    for (long n = 1;; ++n) {
        out = CreateNewFileStream(target, &status);
        if (status != StreamStatus::FileExists)
            break;
        target = folder / (stem + " " + std::to_string(n) + ext);
    }
    DebugLog(L" Target path is '%s'. Writing ...", PathText(target).c_str());
    const bool success = out && CopyStream(data_.get(), out.get()) == StreamStatus::Ok;
    DebugLog(L"Saved.");
    out.reset();
    if (!success && status == StreamStatus::Ok) {
        // The file is ours (created just now): a half-written copy must not stay behind.
        boost::system::error_code ec;
        fs::remove(target, ec);
    }
    return success;
}

bool IsSupportedExtension(const std::string& extension) {
    const EncoderTable& table = Encoders();
    std::string ext = extension;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    return table.extensions.count(ext) != 0;
}

int CheckInputFile(const fs::path& path) {
    if (!IsSupportedExtension(path.extension().string()))
        return 1;
    StreamPtr stream = OpenFileStream(path, false);
    if (!stream)
        return 2;
    auto bitmap = Bitmap::FromData(stream->Contents());
    if (!bitmap->IsValid())
        return 2;
    for (const FrameDimension& d : bitmap->FrameDimensions())
        if (d.count > 1)
            return 3;
    return 0;
}

} // namespace rx
