// Names of the program's temporary files and their clean-up. Every temporary file is named
// "RX<pid>-<random>.tmp" (a PNG backup adds ".bak"), so that a later process can tell those
// left behind by a process that no longer runs (killed, crashed) and remove them.
#pragma once

#include <string>

#include <boost/filesystem/path.hpp>

#include "engine/Stream.h"

namespace rx {

// The user's temporary folder (TMPDIR, else /tmp); empty when there is none.
boost::filesystem::path TempFolder();

// A fresh candidate name "RX<pid>-<random>.tmp" for this process.
std::string NewTempFileName();

// Creates an empty temporary file in the folder for writing (never replacing a file). Null on
// failure, with *status the reason; *path gets the name that was created.
StreamPtr CreateTempFile(const boost::filesystem::path& folder, boost::filesystem::path* path,
                         StreamStatus* status);

// The process id a temporary file name carries; 0 when the name is not one of ours.
long TempFileOwner(const std::string& name);

// Removes the temporary files in the folder (not below it) whose process no longer runs.
// Returns how many were removed.
int RemoveStaleTempFiles(const boost::filesystem::path& folder);

// Removes the temporary files of ended processes from the run folders ("[...]") directly in
// the output folder, and from every folder below them, where an interrupted save leaves its
// file. Symbolic links are not followed. Returns how many were removed.
int RemoveStaleTempFilesInRunFolders(const boost::filesystem::path& outputFolder);

} // namespace rx
