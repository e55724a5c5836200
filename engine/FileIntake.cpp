#include "engine/FileIntake.h"

#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/MessageBox.h"
#include "engine/RXWorker.h"
#include "engine/Text.h"

namespace fs = boost::filesystem;

namespace rx {

namespace {
const wchar_t kAnimatedCaption[] = L"Animated GIF file(s) found";
const wchar_t kAnimatedText[] =
    L"This type of files cannot be processed as the animation will be lost. These files will be "
    L"omitted.";
const wchar_t kUnsupportedCaption[] = L"Unsupported file format";
const wchar_t kUnsupportedText[] = L"No supported files were found among those you just added.";
} // namespace

const char* IntakeRefusalText(IntakeRefusal reason) {
    switch (reason) {
    case IntakeRefusal::Missing:
        return "does not exist";
    case IntakeRefusal::NotRegularFile:
        return "is not a regular file";
    case IntakeRefusal::Unreadable:
        return "cannot be read";
    case IntakeRefusal::UnsupportedExtension:
        return "does not have an image file extension";
    case IntakeRefusal::NotAnImage:
        return "is not an image that can be read";
    case IntakeRefusal::SeveralFrames:
        return "has several frames or pages (animation will be lost)";
    }
    return "cannot be used";
}

bool FileIntake::AddPath(const fs::path& given) {
    boost::system::error_code ec;
    const fs::path path = fs::absolute(given);
    if (!fs::is_directory(path, ec))
        return AddFile(path, path.parent_path(), false);
    bool any = false;
    try {
        // Links to folders are not entered (the iterator's default); links to files are followed.
        fs::recursive_directory_iterator it;
        try {
            it = fs::recursive_directory_iterator(path);
        } catch (const fs::filesystem_error&) {
            Refuse(path, IntakeRefusal::Unreadable, false);
            throw;
        }
        for (fs::recursive_directory_iterator end; it != end; ++it) {
            const fs::file_status status = fs::status(it->path(), ec);
            if (fs::is_regular_file(status))
                any = AddFile(it->path(), path, true) || any;
            else if (!fs::is_directory(status))
                Refuse(it->path(),
                       fs::exists(status) ? IntakeRefusal::NotRegularFile : IntakeRefusal::Missing,
                       true);
        }
    } catch (const fs::filesystem_error& e) {
        DebugLog(L"%s\n", Widen(e.what()).c_str());
        if (!e.path1().empty() && e.path1() != path)
            Refuse(e.path1(), IntakeRefusal::Unreadable, true);
    }
    return any;
}

bool FileIntake::AddFile(const fs::path& path, const fs::path& base, bool inFolder) {
    // Only regular files are ever opened: a FIFO would block the open for good.
    boost::system::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        Refuse(path, IntakeRefusal::Missing, inFolder);
        return false;
    }
    if (!fs::is_regular_file(status)) {
        Refuse(path, IntakeRefusal::NotRegularFile, inFolder);
        return false;
    }
    switch (CheckInputFile(path)) {
    case InputCheck::Usable:
        job_.AddEntry(path, base);
        return true;
    case InputCheck::UnsupportedExtension:
        Refuse(path, IntakeRefusal::UnsupportedExtension, inFolder);
        return false;
    case InputCheck::SeveralFrames:
        animated_ = true;
        Refuse(path, IntakeRefusal::SeveralFrames, inFolder);
        return false;
    case InputCheck::NotAnImage:
        break;
    }
    Refuse(path,
           ::access(path.c_str(), R_OK) != 0 ? IntakeRefusal::Unreadable
                                             : IntakeRefusal::NotAnImage,
           inFolder);
    return false;
}

void FileIntake::Refuse(const fs::path& path, IntakeRefusal reason, bool inFolder) {
    if (listener_)
        listener_->Refused(path, reason, inFolder);
}

bool FileIntake::ReportIntake(bool anyAdded) const {
    if (animated_)
        ShowMessageBox(kAnimatedText, kAnimatedCaption, MB_OK | MB_ICONEXCLAMATION);
    if (anyAdded)
        return true;
    if (!animated_)
        ShowMessageBox(kUnsupportedText, kUnsupportedCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

} // namespace rx
