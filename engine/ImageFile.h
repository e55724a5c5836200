// One file in flight through a job or the preview: its target name, the format of its current
// bytes, its place in the job, the source's modification time and the encoded bytes as a
// stream. Operations decode and re-encode it or replace its bytes; the job converts and saves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <boost/filesystem/path.hpp>

#include "engine/Bitmap.h"
#include "engine/OutputFormat.h"
#include "engine/Stream.h"

namespace rx {

class ImageFile {
public:
    // Opens the source for reading. Throws boost::filesystem::filesystem_error with the
    // operation "FileInputStream" when the file cannot be opened.
    ImageFile(const boost::filesystem::path& source, int index);
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    const boost::filesystem::path& name() const { return name_; }
    void setName(boost::filesystem::path name) { name_ = std::move(name); }
    // The format of the current bytes; DontChange until known, or when none of the formats.
    OutputFormat format() const { return format_; }
    int index() const { return index_; }
    std::int64_t modified() const { return modified_; }
    const StreamPtr& data() const { return data_; }
    // Replaces the bytes (releasing the previous stream). Operations that produce new bytes of
    // the same format (rescale, optimise) use this. When the new bytes are in another format (a
    // HEIC result written as JPEG for want of an HEVC encoder), the format and the name's
    // extension follow them.
    void setData(StreamPtr data);

    // Why a step that needed the file's pixels could not have them (damaged, truncated or
    // unknown data); empty otherwise. The first reason is kept. A failed file is not saved.
    const std::string& failure() const { return failure_; }
    void setFailure(const std::string& reason) {
        if (failure_.empty())
            failure_ = reason.empty() ? "the image cannot be decoded" : reason;
    }

    // Decodes the current bytes (header now, pixels on first use). Identifies the format when it
    // was not known. Always returns a bitmap; an undecodable one is invalid.
    std::unique_ptr<Bitmap> GetImage();
    // Encodes the bitmap in the format (any but DontChange) and makes it the data. Consumes the
    // bitmap. Re-encoding in the record's own format when its encoder is missing (HEIC without
    // HEVC, AVIF without AV1) writes JPEG instead, with the format and extension changed and a log
    // line saying why.
    bool Encode(OutputFormat format, std::unique_ptr<Bitmap> bitmap);
    // Re-encodes the bitmap in the record's own format. Consumes the bitmap.
    bool SetImage(std::unique_ptr<Bitmap> bitmap);
    // Converts to the output format (DontChange keeps the bytes as they are) and fixes the
    // extension.
    // A conversion that cannot decode the pixels or encode them sets the failure, and so does
    // a format that is not in the format list (HEIC, or no format at all).
    void ConvertFormat(OutputFormat outputFormat);
    // Writes the bytes into the folder under the name, numbering " 1", " 2", ... when the name
    // is taken, and shortening the stem when the name would exceed the file system's limit.
    // The bytes go to a temporary file first, which gets its final name only when complete,
    // without ever replacing a file. False when nothing was written (the reason is logged).
    // An interruption requested before the file has its name leaves nothing and is raised.
    bool Save(const boost::filesystem::path& folder);
    // The path the last successful Save wrote.
    const boost::filesystem::path& savedPath() const { return savedPath_; }

private:
    boost::filesystem::path name_;
    OutputFormat format_ = OutputFormat::DontChange;
    int index_ = 0;
    std::int64_t modified_ = -1;
    StreamPtr data_;
    std::string failure_;
    ImageStatus encodeStatus_ = ImageStatus::Ok; // of the last failed Encode
    boost::filesystem::path savedPath_;
};

// stem + tail, the stem cut at a UTF-8 character boundary so that the whole fits maxBytes
// (tail is the number and the extension, never cut).
std::string FitFileName(const std::string& stem, const std::string& tail, size_t maxBytes);

// The file dialogs' filter: every format's usual extensions, each one IsSupportedExtension.
extern const char kImageFileFilter[];

// Whether an extension (with or without its dot, any case) is one the program reads.
bool IsSupportedExtension(const std::string& extension);

// What the input test found.
enum class InputCheck {
    Usable,
    UnsupportedExtension, // decided from the name alone; the file is not opened
    NotAnImage,           // cannot be opened, or not decodable as one of the formats read
    SeveralFrames,        // an animation, an image sequence, several pages or images
};
InputCheck CheckInputFile(const boost::filesystem::path& path);

} // namespace rx
