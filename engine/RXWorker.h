// The job: the files the user added, the output settings chosen at START, and the worker thread
// that takes every file through copies of the switched-on operations into a new run folder.
// Reports go to a JobListener (in the window: JobEvents, which turns them into queued signals);
// the preview renders single files through the same list. Owner thread unless stated.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include <boost/filesystem/path.hpp>
#include <boost/thread/thread.hpp>

#include "engine/Bitmap.h"
#include "engine/FilePipeline.h"
#include "engine/JobListener.h"
#include "engine/Operation.h"
#include "engine/OperationSnapshot.h"
#include "engine/OperationSource.h"
#include "engine/OutputFormat.h"
#include "engine/OutputLocations.h"

namespace rx {

class RXWorker {
public:
    explicit RXWorker(const OperationSource* source = nullptr);
    // Drops the thread handle without waiting (the owner cancels a running job first).
    ~RXWorker();
    RXWorker(const RXWorker&) = delete;
    RXWorker& operator=(const RXWorker&) = delete;

    void setOperationSource(const OperationSource* source) { source_ = source; }
    // Where the job's reports go (null: nowhere). Not while a job is running.
    void setListener(JobListener* listener) { listener_ = listener; }
    JobListener* listener() const { return listener_; }
    // Called after every change of the list with the new count (the window's proportions lock).
    void setListChanged(std::function<void(size_t)> fn) { listChanged_ = std::move(fn); }

    OutputFormat outputFormat() const { return outputFormat_; }
    void setOutputFormat(OutputFormat format) { outputFormat_ = format; }
    const boost::filesystem::path& outputFolder() const { return outputFolder_; }
    void setOutputFolder(boost::filesystem::path folder) { outputFolder_ = std::move(folder); }
    const std::vector<FileEntry>& files() const { return files_; }

    // Files prepared at once (read, run through the operations and encoded into memory on pool
    // threads) while the worker thread saves them in list order; 0, the default, means one per
    // core, and 1 prepares every file on the worker thread itself. The run folder, the names,
    // the bytes and the reports are the same for every value. Not while a job is running.
    void setFilesInFlight(unsigned files) { filesInFlight_ = files; }
    // The bytes the header estimates of the files in flight, results waiting to be saved
    // included, may take together (one file is always allowed); 0, the default, means a
    // quarter of physical memory.
    void setMemoryBudget(std::uint64_t bytes) { memoryBudget_ = bytes; }
    // Test hook, on the preparing thread: file `index` is about to run through the operations,
    // with `othersInFlight` other files started and not yet saved.
    using PrepareHook = std::function<void(size_t index, size_t othersInFlight)>;
    void setPrepareHook(PrepareHook hook) { prepareHook_ = std::move(hook); }
    int previewIndex() const { return previewIndex_; }

    // Appends the file unless it is listed already; true when it was listed already.
    bool AddEntry(const boost::filesystem::path& file, const boost::filesystem::path& base);
    bool HasSingleBase() const { return rx::HasSingleBase(files_); }
    // The folder offered at START; also stored as the output folder.
    boost::filesystem::path ProposedOutputFolder();
    // Empties the list, the preview index and the output folder (Clear, job finished).
    void Clear();

    // Copies of the records the operation source offers now (empty without a source).
    OperationSnapshot CopyReadyOperations() const;
    // Starts a job for the whole list on copies of the operations ready now. Refuses (returns
    // false, changes nothing) while a job is running; an earlier, ended thread is dropped. The
    // listener is told the new generation before the worker starts.
    bool Start();
    // The same with given copies (tools and tests that have no operation source).
    bool Start(OperationSnapshot operations);
    // Requests interruption and waits until the worker has ended; the listener is then told a
    // new generation, so no event of the stopped job is delivered afterwards. The operations
    // answer within a fraction of a second and leave nothing of the file in hand. A synchronous
    // call the worker waits on is abandoned, so this never blocks on the owner's own thread.
    // Returns false only when called from inside that synchronous call (the worker then ends
    // as soon as it returns, without another event).
    bool Cancel();
    // Counts jobs: raised by every Start and every Cancel of a started job.
    unsigned generation() const { return generation_; }
    // The worker thread is running (it has not ended yet).
    bool IsRunning();
    // Waits for the worker to end on its own, running synchronous calls meanwhile (tools, tests).
    void Wait();
    // On the owner thread: runs the synchronous call the worker waits on, if any. True if one ran.
    bool RunPendingCalls();

    // Preview rendering, on the preview thread at idle priority, with copies taken on the owner
    // thread when the render was requested (CopyReadyOperations). The copies keep what the
    // previous render's copies cached. With an empty list they do nothing and return an invalid
    // bitmap.
    std::unique_ptr<Bitmap> RenderCurrent(OperationSnapshot operations);
    std::unique_ptr<Bitmap> RenderNext(OperationSnapshot operations);
    std::unique_ptr<Bitmap> RenderPrevious(OperationSnapshot operations);

private:
    struct PendingCall;
    // From the worker: runs fn on the owner thread and waits. Throws boost::thread_interrupted
    // when a cancel is under way (the call is then not made, or abandoned before it started).
    void CallOnOwner(const std::function<void()>& fn);
    // The body of the worker thread.
    void Run(size_t n, const OperationSnapshot& operations);
    // Reads file i and takes it through the operations and the conversion, on the calling
    // thread; the admission, when given, is told its estimate before any pixel is decoded.
    std::unique_ptr<ImageFile> PrepareFile(size_t i, const OperationList& operations,
                                           const ProgressCallback& step,
                                           FilePipeline::Admission* admission);
    void NewGeneration();

    OutputFormat outputFormat_ = OutputFormat::DontChange;
    const OperationSource* source_ = nullptr;
    JobListener* listener_ = nullptr;
    std::vector<FileEntry> files_;
    std::unordered_set<std::string> listed_; // PathKey of every listed file
    boost::thread thread_;
    int previewIndex_ = 0;
    boost::filesystem::path outputFolder_;
    std::function<void(size_t)> listChanged_;
    unsigned generation_ = 0;
    unsigned filesInFlight_ = 0;
    std::uint64_t memoryBudget_ = 0;
    PrepareHook prepareHook_;
    OperationSnapshot previewCopies_; // the last render's copies, on the preview thread

    std::mutex callMutex_;
    std::condition_variable callDone_;
    PendingCall* pending_ = nullptr;
    bool cancelling_ = false;
    bool ended_ = true;
};

// Lowers the calling thread to idle priority (SCHED_IDLE, else the highest nice value allowed).
void SetIdlePriority();

} // namespace rx
