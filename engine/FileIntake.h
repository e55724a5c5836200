// Taking dropped or imported paths into the job: single files, and folders walked recursively
// with the folder as base. Every file goes through the input test; the outcome is reported with
// the fixed messages. The window and the command-line tool call the same code.
#pragma once

#include <boost/filesystem/path.hpp>

namespace rx {

class RXWorker;

class FileIntake {
public:
    explicit FileIntake(RXWorker& job) : job_(job) {}

    // Starts a new drop or selection: clears the animated flag.
    void Begin() { animated_ = false; }
    // Adds one file or one folder tree; true when at least one file is (or already was) listed.
    bool AddPath(const boost::filesystem::path& path);
    // Tests and adds one file with the folder its output path is counted from.
    bool AddFile(const boost::filesystem::path& path, const boost::filesystem::path& base);
    // A refused file had more than one frame.
    bool animated() const { return animated_; }
    // Shows the messages after a whole drop or selection. True when files were added (the
    // caller then moves on to the files-added state).
    bool ReportIntake(bool anyAdded) const;

private:
    RXWorker& job_;
    bool animated_ = false;
};

} // namespace rx
