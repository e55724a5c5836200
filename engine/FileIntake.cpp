#include "engine/FileIntake.h"

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

bool FileIntake::AddPath(const fs::path& given) {
    boost::system::error_code ec;
    const fs::path path = fs::absolute(given);
    if (!fs::is_directory(path, ec))
        return AddFile(path, path.parent_path());
    bool any = false;
    try {
        // Links to folders are not entered (the iterator's default); links to files are followed.
        for (fs::recursive_directory_iterator it(path), end; it != end; ++it) {
            if (fs::is_regular_file(it->path(), ec))
                any = AddFile(it->path(), path) || any;
        }
    } catch (const fs::filesystem_error& e) {
        DebugLog(L"%s\n", Widen(e.what()).c_str());
    }
    return any;
}

bool FileIntake::AddFile(const fs::path& path, const fs::path& base) {
    switch (CheckInputFile(path)) {
    case 0:
        job_.AddEntry(path, base);
        return true;
    case 3:
        animated_ = true;
        return false;
    default:
        return false;
    }
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
