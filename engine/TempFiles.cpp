#include "engine/TempFiles.h"

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <random>

#include <boost/filesystem/operations.hpp>

namespace fs = boost::filesystem;

namespace rx {
namespace {

constexpr char kPrefix[] = "RX";
constexpr int kNameAttempts = 64;

bool ProcessRuns(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace

fs::path TempFolder() {
    boost::system::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    return ec ? fs::path() : folder;
}

std::string NewTempFileName() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char name[64];
    std::snprintf(name, sizeof name, "%s%ld-%08llx.tmp", kPrefix, static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFull));
    return name;
}

StreamPtr CreateTempFile(const fs::path& folder, fs::path* path, StreamStatus* status) {
    *status = StreamStatus::Failed;
    for (int i = 0; i < kNameAttempts; ++i) {
        const fs::path candidate = folder / NewTempFileName();
        StreamPtr stream = CreateNewFileStream(candidate, status);
        if (stream) {
            *path = candidate;
            return stream;
        }
        if (*status != StreamStatus::FileExists)
            return nullptr;
    }
    return nullptr;
}

long TempFileOwner(const std::string& name) {
    if (name.compare(0, 2, kPrefix) != 0)
        return 0;
    long pid = 0;
    size_t i = 2;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 100000000; ++i)
        pid = pid * 10 + (name[i] - '0');
    if (i == 2 || i >= name.size() || name[i] != '-')
        return 0;
    const std::string rest = name.substr(i + 1);
    // "<8 hex>.tmp", optionally followed by ".bak"
    if (rest.size() < 12 || rest.compare(8, 4, ".tmp") != 0)
        return 0;
    if (rest.size() != 12 && rest.substr(12) != ".bak")
        return 0;
    for (size_t k = 0; k < 8; ++k)
        if (!std::isxdigit(static_cast<unsigned char>(rest[k])))
            return 0;
    return pid;
}

int RemoveStaleTempFiles(const fs::path& folder) {
    int removed = 0;
    if (folder.empty())
        return 0;
    boost::system::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const long pid = TempFileOwner(it->path().filename().string());
        if (pid <= 0 || pid == static_cast<long>(::getpid()) || ProcessRuns(pid))
            continue;
        boost::system::error_code rc;
        if (fs::is_regular_file(it->symlink_status(rc)) && fs::remove(it->path(), rc))
            ++removed;
    }
    return removed;
}

int RemoveStaleTempFilesInRunFolders(const fs::path& outputFolder) {
    int removed = 0;
    if (outputFolder.empty())
        return 0;
    boost::system::error_code ec;
    for (fs::directory_iterator it(outputFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        boost::system::error_code sc;
        if (name.empty() || name.front() != '[' || !fs::is_directory(it->symlink_status(sc)))
            continue;
        removed += RemoveStaleTempFiles(it->path());
        boost::system::error_code wc;
        for (fs::recursive_directory_iterator sub(it->path(), wc), subEnd; !wc && sub != subEnd;
             sub.increment(wc)) {
            boost::system::error_code dc;
            if (fs::is_directory(sub->symlink_status(dc)))
                removed += RemoveStaleTempFiles(sub->path());
        }
    }
    return removed;
}

} // namespace rx
