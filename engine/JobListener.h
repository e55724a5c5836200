// What a running job reports: one method per message, with values. RXWorker calls the four
// message methods on its worker thread, in the order the job produces them; the owner's hooks
// (a new generation, a call that waits for the owner) are described on each method.
#pragma once

#include <string>

#include <boost/filesystem/path.hpp>

namespace rx {

// The fixed numbers of the worker's four messages, for the log and the tests.
enum class JobMessage : unsigned {
    JobStarted = 0x0438,   // files n, progress range n x 4
    FileDone = 0x0439,     // files done so far (index + 1)
    ProgressStep = 0x043A, // progress position
    JobFinished = 0x043B,  // files saved, run folder
};

class JobListener {
public:
    virtual ~JobListener() = default;

    // Worker thread. None of these may wait for the owner thread.
    // First action of the job: n files, progress range n x 4.
    virtual void jobStarted(unsigned files, unsigned range) = 0;
    // After each of the four operation slots of a file, and after a failed file.
    virtual void progressStep(unsigned position) = 0;
    // After every file, also after a failed one: files done so far.
    virtual void fileDone(unsigned done) = 0;
    // Last action of a job that was not cancelled: files saved and the run folder (empty when
    // it could not be named).
    virtual void jobFinished(unsigned saved, boost::filesystem::path runFolder) = 0;

    // Worker thread, optional. The run folder has been created; files will be saved below it.
    virtual void runFolderCreated(const boost::filesystem::path& runFolder) { (void)runFolder; }
    // Worker thread, optional, before fileDone: file `index` of the list was saved under
    // `path`, or was not saved for `reason` (its pixels could not be decoded, it could not be
    // read or written).
    virtual void fileSaved(unsigned index, const boost::filesystem::path& path) {
        (void)index;
        (void)path;
    }
    virtual void fileFailed(unsigned index, const std::string& reason) {
        (void)index;
        (void)reason;
    }

    // Owner thread, from RXWorker::Start (before the worker starts) and RXWorker::Cancel (after
    // the worker has been stopped). Events still on their way from an earlier generation belong
    // to a job that was cancelled or replaced and must be dropped.
    virtual void generationChanged(unsigned generation) { (void)generation; }
    // Worker thread: the job waits for a call on the owner thread (the "Failed to create
    // directory" message box); the owner must call RXWorker::RunPendingCalls soon. Must not wait.
    virtual void ownerCallWaiting() {}
};

} // namespace rx
