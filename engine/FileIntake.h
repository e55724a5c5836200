// Taking dropped or imported paths into the job: single files, and folders walked recursively
// with the folder as base. Every file goes through the input test; the outcome is reported with
// the fixed messages. The window and the command-line tool call the same code (UI thread).
#pragma once

#include <boost/filesystem/path.hpp>

namespace rx {

class RXWorker;

// Why a path was not taken in.
enum class IntakeRefusal {
    Missing,              // nothing of that name
    NotRegularFile,       // a FIFO, a device, a socket: never opened
    Unreadable,           // no permission, or a folder that cannot be walked
    UnsupportedExtension, // not one of the image extensions
    NotAnImage,           // cannot be decoded as one of the formats read
    SeveralFrames,        // an animation or a multi-page file
};

// "does not exist", "is not a regular file", ...
const char* IntakeRefusalText(IntakeRefusal reason);

// Told about every refused path. `inFolder` is true for files met while walking a folder,
// false for the paths given themselves.
class IntakeListener {
public:
    virtual ~IntakeListener() = default;
    virtual void Refused(const boost::filesystem::path& path, IntakeRefusal reason,
                         bool inFolder) = 0;
};

class FileIntake {
public:
    explicit FileIntake(RXWorker& job, IntakeListener* listener = nullptr)
        : job_(job), listener_(listener) {}

    // Starts a new drop or selection: clears the animated flag.
    void Begin() { animated_ = false; }
    // Adds one file or one folder tree; true when at least one file is (or already was) listed.
    bool AddPath(const boost::filesystem::path& path);
    // Tests and adds one file with the folder its output path is counted from.
    bool AddFile(const boost::filesystem::path& path, const boost::filesystem::path& base) {
        return AddFile(path, base, false);
    }
    // A refused file had more than one frame.
    bool animated() const { return animated_; }
    // Shows the messages after a whole drop or selection. True when files were added (the
    // caller then moves on to the files-added state).
    bool ReportIntake(bool anyAdded) const;

private:
    bool AddFile(const boost::filesystem::path& path, const boost::filesystem::path& base,
                 bool inFolder);
    void Refuse(const boost::filesystem::path& path, IntakeRefusal reason, bool inFolder);

    RXWorker& job_;
    IntakeListener* listener_;
    bool animated_ = false;
};

} // namespace rx
