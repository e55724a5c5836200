#include "ops/OptimizeTempFile.h"

#include <boost/filesystem/operations.hpp>

#include "engine/TempFiles.h"

namespace fs = boost::filesystem;

namespace rx {
namespace {

constexpr int kNameAttempts = 64;

fs::path BackupOf(const fs::path& p) {
    fs::path backup = p;
    backup += ".bak";
    return backup;
}

} // namespace

OptimizeTempFile::OptimizeTempFile() {
    boost::system::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);
    if (ec)
        return;
    for (int i = 0; i < kNameAttempts; ++i) {
        const fs::path candidate = folder / NewTempFileName();
        // The PNG engine moves the file to this name while it rewrites it; a taken backup name
        // would make it fail, and would make the clean-up below ambiguous.
        if (fs::symlink_status(BackupOf(candidate), ec).type() != fs::file_not_found)
            continue;
        StreamStatus status = StreamStatus::Ok;
        stream_ = CreateNewFileStream(candidate, &status);
        if (stream_) {
            path_ = candidate;
            return;
        }
        if (status != StreamStatus::FileExists)
            return;
    }
}

OptimizeTempFile::~OptimizeTempFile() {
    stream_.reset();
    if (path_.empty())
        return;
    boost::system::error_code ec;
    fs::remove(path_, ec);
    fs::remove(BackupOf(path_), ec);
}

} // namespace rx
