#include "engine/OutputLocations.h"

#include <cstdint>
#include <stdexcept>

#include <QStandardPaths>
#include <boost/filesystem/operations.hpp>

namespace fs = boost::filesystem;

namespace rx {

bool SamePath(const fs::path& a, const fs::path& b) {
    auto i = a.begin(), j = b.begin();
    for (; i != a.end() && j != b.end(); ++i, ++j)
        if (i->native() != j->native())
            return false;
    return i == a.end() && j == b.end();
}

std::string PathKey(const fs::path& p) {
    std::string key;
    for (const fs::path& element : p) {
        key += element.native();
        key += '\0'; // cannot occur inside an element
    }
    return key;
}

bool HasSingleBase(const std::vector<FileEntry>& entries) {
    if (entries.empty())
        return false;
    for (const FileEntry& e : entries)
        if (!SamePath(e.base, entries.front().base))
            return false;
    return true;
}

fs::path DesktopFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return fs::path(desktop.toStdString());
}

fs::path ProposedOutputFolder(const std::vector<FileEntry>& entries) {
    return HasSingleBase(entries) ? entries.front().base : DesktopFolder();
}

std::string RunFolderName(const OperationList& list) {
    std::string name = "[";
    bool first = true;
    for (int slot = 0; slot < kOperationCount; ++slot) {
        if (!list[static_cast<size_t>(slot)])
            continue;
        if (!first)
            name += " + ";
        name += OperationRunFolderWord(slot);
        first = false;
    }
    return name + "]";
}

fs::path CreateRunFolder(const fs::path& outputFolder, const OperationList& list,
                         fs::path* formed) {
    const std::string name = RunFolderName(list);
    *formed = outputFolder / name;
    // create_directories answers false only when the candidate already is a folder; anything
    // else in the way (a file, no access) throws.
    if (fs::create_directories(*formed))
        return *formed;
    for (std::uint64_t k = 1;; ++k) {
        *formed = outputFolder / (name + " " + std::to_string(k));
        if (fs::create_directories(*formed))
            return *formed;
    }
}

fs::path RelativeFolder(const FileEntry& entry, bool singleBase) {
    const fs::path prefix = singleBase ? entry.base : entry.base.parent_path();
    const fs::path folder = entry.file.parent_path();
    auto p = prefix.begin();
    auto f = folder.begin();
    while (p != prefix.end() && f != folder.end() && p->native() == f->native()) {
        ++p;
        ++f;
    }
    if (p != prefix.end() && p->native() != ".")
        throw std::out_of_range("`" + prefix.string() + "` is not prefix of `" + folder.string() +
                                "`.");
    fs::path result;
    for (; f != folder.end(); ++f)
        result /= *f;
    return result;
}

void CreateTargetFolder(const fs::path& folder, std::set<fs::path>& created) {
    if (!created.insert(folder).second)
        return;
    fs::create_directories(folder);
}

} // namespace rx
