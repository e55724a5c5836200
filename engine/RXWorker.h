// The job: the files the user added, the output settings chosen at START, and the worker thread
// that takes every file through the switched-on operations into a new run folder. Reports go to
// a notify target; the preview renders single files through the same list.
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
#include "engine/Operation.h"
#include "engine/OutputLocations.h"

namespace rx {

// The worker's messages, by their fixed numbers.
constexpr unsigned WM_RX_JOB_STARTED = 0x0438;   // wParam n files, lParam n x 4 (progress range)
constexpr unsigned WM_RX_FILE_DONE = 0x0439;     // wParam files done so far
constexpr unsigned WM_RX_PROGRESS_STEP = 0x043A; // wParam progress position
constexpr unsigned WM_RX_JOB_FINISHED =
    0x043B; // wParam files saved, lParam const wchar_t* run folder

// Receives the worker's messages. The window, the tests and the command-line tool implement it.
class WorkerNotifyTarget {
public:
    virtual ~WorkerNotifyTarget() = default;
    // Job started, progress step, file done. Called on the worker thread; must not wait.
    virtual void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Job finished. Called on the owner thread (from RunPendingCalls) while the worker waits;
    // the run-folder text is valid only during the call.
    virtual void Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Called on the worker thread when a synchronous call waits for the owner: the owner must
    // call RXWorker::RunPendingCalls soon. Must not wait.
    virtual void WakeOwner() = 0;
};

// Where the job finds the operations: a record for each slot whose toggle is on and whose panel
// is ready, null otherwise. Asked on the owner thread only.
class OperationSource {
public:
    virtual ~OperationSource() = default;
    virtual Operation* ReadyOperation(int slot) const = 0;
};

OperationList CollectOperationList(const OperationSource& source);

class RXWorker {
public:
    explicit RXWorker(const OperationSource* source = nullptr);
    // Drops the thread handle without waiting (the owner cancels a running job first).
    ~RXWorker();
    RXWorker(const RXWorker&) = delete;
    RXWorker& operator=(const RXWorker&) = delete;

    void setOperationSource(const OperationSource* source) { source_ = source; }
    void setNotifyTarget(WorkerNotifyTarget* target) { notify_ = target; }
    // Called after every change of the list with the new count (the window's proportions lock).
    void setListChanged(std::function<void(size_t)> fn) { listChanged_ = std::move(fn); }

    int outputFormat() const { return outputFormat_; }
    void setOutputFormat(int format) { outputFormat_ = format; }
    const boost::filesystem::path& outputFolder() const { return outputFolder_; }
    void setOutputFolder(boost::filesystem::path folder) { outputFolder_ = std::move(folder); }
    const std::vector<FileEntry>& files() const { return files_; }
    int previewIndex() const { return previewIndex_; }

    // Appends the file unless it is listed already; true when it was listed already.
    bool AddEntry(const boost::filesystem::path& file, const boost::filesystem::path& base);
    bool HasSingleBase() const { return rx::HasSingleBase(files_); }
    // The folder offered at START; also stored as the output folder.
    boost::filesystem::path ProposedOutputFolder();
    // Empties the list, the preview index and the output folder (Clear, job finished).
    void Clear();

    // Starts a job for the whole list with the operations ready now (the snapshot is taken here,
    // on the owner thread, and kept for the whole job). An earlier finished thread is dropped.
    void Start();
    // Starts a job with a given list of operations.
    void Start(const OperationList& operations);
    // Requests interruption and waits until the worker has ended. Synchronous calls the worker
    // is waiting on are abandoned, so this never blocks on the owner's own thread. Returns false
    // only when called from inside a synchronous call (the worker then ends after it returns).
    bool Cancel();
    // The worker thread is running (it has not ended yet).
    bool IsRunning();
    // Waits for the worker to end on its own, running synchronous calls meanwhile (tools, tests).
    void Wait();
    // On the owner thread: runs the synchronous call the worker waits on, if any. True if one ran.
    bool RunPendingCalls();

    // Preview rendering, on the preview thread at idle priority. With an empty list they do
    // nothing and return an invalid bitmap.
    std::unique_ptr<Bitmap> RenderCurrent(const OperationList& operations);
    std::unique_ptr<Bitmap> RenderNext(const OperationList& operations);
    std::unique_ptr<Bitmap> RenderPrevious(const OperationList& operations);

    // The body of the worker thread.
    void Run(size_t n, const OperationList& operations);

private:
    struct PendingCall;
    // From the worker: runs fn on the owner thread and waits. Throws boost::thread_interrupted
    // when a cancel is under way (the call is then not made, or abandoned before it started).
    void CallOnOwner(const std::function<void()>& fn);

    int outputFormat_ = 0;
    const OperationSource* source_ = nullptr;
    WorkerNotifyTarget* notify_ = nullptr;
    std::vector<FileEntry> files_;
    std::unordered_set<std::string> listed_; // PathKey of every listed file
    boost::thread thread_;
    int previewIndex_ = 0;
    boost::filesystem::path outputFolder_;
    std::function<void(size_t)> listChanged_;

    std::mutex callMutex_;
    std::condition_variable callDone_;
    PendingCall* pending_ = nullptr;
    bool cancelling_ = false;
    bool ended_ = true;
};

// Lowers the calling thread to idle priority (SCHED_IDLE, else the highest nice value allowed).
void SetIdlePriority();

} // namespace rx
