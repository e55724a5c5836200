// Where a job writes: the output folder proposed at START, the run folder named after the
// switched-on operations, and the sub-folder of every file below it.
#pragma once

#include <set>
#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>

#include "engine/Operation.h"

namespace rx {

// One listed file and the folder it was added from.
struct FileEntry {
    boost::filesystem::path base;
    boost::filesystem::path file;
};

// Element-by-element, case-sensitive path equality (no normalisation).
bool SamePath(const boost::filesystem::path& a, const boost::filesystem::path& b);

// A text that is equal for two paths exactly when SamePath holds (for hashing).
std::string PathKey(const boost::filesystem::path& p);

// Every entry has the first entry's base; false for an empty list.
bool HasSingleBase(const std::vector<FileEntry>& entries);

// The current user's desktop folder.
boost::filesystem::path DesktopFolder();

// The first entry's base when all share it, otherwise the desktop folder.
boost::filesystem::path ProposedOutputFolder(const std::vector<FileEntry>& entries);

// "[" + the words of the filled slots in panel order, joined by " + ", + "]".
std::string RunFolderName(const OperationList& list);

// Creates a new run folder (and any missing parents) in the output folder: the name, or the name
// + " 1", " 2", ... while the name is taken by a folder. *formed holds the candidate being
// created, so it names the failing path when a boost::filesystem::filesystem_error is thrown.
boost::filesystem::path CreateRunFolder(const boost::filesystem::path& outputFolder,
                                        const OperationList& list, boost::filesystem::path* formed);

// The file's folder relative to its base (single base) or to the base's parent folder.
// Throws std::out_of_range when the base is not a leading part of the file's folder.
boost::filesystem::path RelativeFolder(const FileEntry& entry, bool singleBase);

// Creates the folder and its missing parents the first time it is met in a job.
void CreateTargetFolder(const boost::filesystem::path& folder,
                        std::set<boost::filesystem::path>& created);

} // namespace rx
