#include "engine/RXWorker.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <set>
#include <stdexcept>

#include <boost/filesystem/operations.hpp>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/MessageBox.h"
#include "engine/TempFiles.h"
#include "engine/Text.h"
#include "engine/ThreadBudget.h"

namespace fs = boost::filesystem;

namespace rx {

namespace {
const wchar_t kCreateFolderFailed[] =
    L"Failed to create directory %s. Further processing will be stopped. Make sure you have "
    L"write access rights and there is enough disk space.";
const wchar_t kErrorCaption[] = L"Error";
} // namespace

struct RXWorker::PendingCall {
    enum class State { Queued, Running, Done, Abandoned };
    const std::function<void()>* fn = nullptr;
    State state = State::Queued;
};

RXWorker::RXWorker(const OperationSource* source) : source_(source) {}

RXWorker::~RXWorker() {
    if (thread_.joinable())
        thread_.detach();
}

bool RXWorker::AddEntry(const fs::path& file, const fs::path& base) {
    // The same comparison as SamePath, through an index: intake stays linear in the list.
    if (!listed_.insert(PathKey(file)).second)
        return true;
    files_.push_back({base, file});
    if (listChanged_)
        listChanged_(files_.size());
    return false;
}

fs::path RXWorker::ProposedOutputFolder() {
    outputFolder_ = rx::ProposedOutputFolder(files_);
    return outputFolder_;
}

void RXWorker::Clear() {
    files_.clear();
    listed_.clear();
    previewIndex_ = 0;
    outputFolder_.clear();
    if (listChanged_)
        listChanged_(0);
}

OperationSnapshot RXWorker::CopyReadyOperations() const {
    return source_ ? OperationSnapshot(*source_) : OperationSnapshot();
}

bool RXWorker::Start() {
    if (IsRunning())
        return false;
    return Start(CopyReadyOperations());
}

void RXWorker::NewGeneration() {
    ++generation_;
    if (listener_)
        listener_->generationChanged(generation_);
}

bool RXWorker::Start(OperationSnapshot operations) {
    if (IsRunning())
        return false;
    const size_t n = files_.size();
    auto copies = std::make_shared<OperationSnapshot>(std::move(operations));
    if (thread_.joinable())
        thread_.detach();
    {
        std::lock_guard<std::mutex> lock(callMutex_);
        cancelling_ = false;
        ended_ = false;
    }
    NewGeneration();
    try {
        thread_ = boost::thread([this, n, copies] {
            struct MarkEnded {
                RXWorker* w;
                ~MarkEnded() {
                    std::lock_guard<std::mutex> lock(w->callMutex_);
                    w->ended_ = true;
                    w->callDone_.notify_all();
                }
            } mark{this};
            Run(n, *copies);
        });
    } catch (...) {
        std::lock_guard<std::mutex> lock(callMutex_);
        ended_ = true;
        throw;
    }
    return true;
}

void RXWorker::CallOnOwner(const std::function<void()>& fn) {
    std::unique_lock<std::mutex> lock(callMutex_);
    if (cancelling_ || boost::this_thread::interruption_requested())
        throw boost::thread_interrupted();
    PendingCall call;
    call.fn = &fn;
    pending_ = &call;
    lock.unlock();
    if (listener_)
        listener_->ownerCallWaiting();
    lock.lock();
    callDone_.wait(lock, [&] {
        return call.state == PendingCall::State::Done ||
               call.state == PendingCall::State::Abandoned;
    });
    pending_ = nullptr;
    if (call.state == PendingCall::State::Abandoned)
        throw boost::thread_interrupted();
}

bool RXWorker::RunPendingCalls() {
    std::unique_lock<std::mutex> lock(callMutex_);
    if (!pending_ || pending_->state != PendingCall::State::Queued || cancelling_)
        return false;
    PendingCall* call = pending_;
    call->state = PendingCall::State::Running;
    lock.unlock();
    try {
        (*call->fn)();
    } catch (...) {
        DebugLog(L"Catched unknown exception.");
    }
    lock.lock();
    call->state = PendingCall::State::Done;
    callDone_.notify_all();
    return true;
}

bool RXWorker::Cancel() {
    if (!thread_.joinable())
        return true;
    {
        std::unique_lock<std::mutex> lock(callMutex_);
        cancelling_ = true;
        if (pending_ && pending_->state == PendingCall::State::Running) {
            // We are inside the very call the worker waits on: it ends once that returns.
            thread_.interrupt();
            lock.unlock();
            NewGeneration();
            return false;
        }
        if (pending_ && pending_->state == PendingCall::State::Queued) {
            pending_->state = PendingCall::State::Abandoned;
            callDone_.notify_all();
        }
    }
    thread_.interrupt();
    thread_.join();
    NewGeneration();
    return true;
}

bool RXWorker::IsRunning() {
    std::lock_guard<std::mutex> lock(callMutex_);
    return !ended_;
}

void RXWorker::Wait() {
    for (;;) {
        RunPendingCalls();
        std::unique_lock<std::mutex> lock(callMutex_);
        if (ended_)
            break;
        callDone_.wait_for(lock, std::chrono::milliseconds(20), [&] {
            return ended_ || (pending_ && pending_->state == PendingCall::State::Queued);
        });
    }
    if (thread_.joinable())
        thread_.join();
}

namespace {

// The job's share of memory when the owner set none: a quarter of physical memory.
std::uint64_t DefaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 1ull << 30;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 4;
}

// What one file is expected to take while it is worked on, from its header: its encoded bytes,
// which stay in memory, and two full frames of 8-bit RGBA (the decoded picture and the one an
// operation makes of it).
std::uint64_t EstimateWorkingBytes(ImageFile& file) {
    const SharedBytes bytes = file.data() ? file.data()->Contents() : nullptr;
    if (!bytes)
        return 0;
    const auto header = Bitmap::FromData(bytes);
    std::uint64_t pixels = 0;
    if (header->IsValid())
        pixels = static_cast<std::uint64_t>(header->Width()) *
                 static_cast<std::uint64_t>(header->Height());
    return bytes->size() + pixels * 4 * 2;
}

// One file prepared ahead of its turn to be saved.
struct PreparedFile {
    std::unique_ptr<ImageFile> file;
    unsigned steps = 0;         // progress steps its operations made
    std::exception_ptr failure; // what ended it early, raised again in its turn
};

// While several files are in flight, libvips' own workers share the cores with them.
class ImagingThreadsShare {
public:
    explicit ImagingThreadsShare(unsigned files) : active_(files > 1) {
        if (active_)
            SetImagingThreads(
                static_cast<int>(std::max(1u, ThreadBudget::Global().cores() / files)));
    }
    ~ImagingThreadsShare() {
        if (active_)
            SetImagingThreads(0);
    }
    ImagingThreadsShare(const ImagingThreadsShare&) = delete;
    ImagingThreadsShare& operator=(const ImagingThreadsShare&) = delete;

private:
    bool active_;
};

} // namespace

std::unique_ptr<ImageFile> RXWorker::PrepareFile(size_t i, const OperationList& operations,
                                                 const ProgressCallback& step,
                                                 FilePipeline::Admission* admission) {
    const FileEntry& entry = files_[i];
    // A file that cannot be opened ends its work before it is admitted; the pipeline then
    // counts it as taking nothing.
    auto file = std::make_unique<ImageFile>(entry.file, static_cast<int>(i));
    if (admission)
        admission->Admit(EstimateWorkingBytes(*file));
    if (prepareHook_)
        prepareHook_(i, admission ? admission->othersInFlight() : 0);
    RunOperations(operations, *file, step);
    file->ConvertFormat(outputFormat_);
    return file;
}

void RXWorker::Run(size_t n, const OperationSnapshot& operations) {
    if (listener_)
        listener_->jobStarted(static_cast<unsigned>(n), static_cast<unsigned>(n * 4));
    unsigned saved = 0;
    unsigned progress = 0;
    const bool singleBase = HasSingleBase();
    std::set<fs::path> created;
    fs::path runFolder;
    const ProgressCallback step = [&] {
        if (listener_)
            listener_->progressStep(progress);
        ++progress;
    };
    const unsigned cores = ThreadBudget::Global().cores();
    const unsigned inFlight = static_cast<unsigned>(
        std::min<size_t>(filesInFlight_ ? filesInFlight_ : cores, std::max<size_t>(n, 1)));
    const std::uint64_t budget = memoryBudget_ ? memoryBudget_ : DefaultMemoryBudget();
    try {
        RemoveStaleTempFiles(TempFolder());
        RemoveStaleTempFilesInRunFolders(outputFolder_);
        CreateRunFolder(outputFolder_, operations.list(), &runFolder);
        if (listener_)
            listener_->runFolderCreated(runFolder);

        // With several files in flight each pool thread works on its own copies of the
        // operations; the files are prepared ahead and saved here, in list order, with the same
        // reports as when every file is prepared in its turn.
        std::vector<PreparedFile> prepared(inFlight > 1 ? n : 0);
        std::vector<OperationSnapshot> copies;
        std::unique_ptr<ImagingThreadsShare> share;
        std::unique_ptr<FilePipeline> pipeline;
        if (inFlight > 1) {
            copies.assign(inFlight, operations);
            share = std::make_unique<ImagingThreadsShare>(inFlight);
            pipeline = std::make_unique<FilePipeline>(
                n, inFlight, budget,
                [&](size_t i, unsigned worker, FilePipeline::Admission& admission) {
                    const ThreadBudget::Lease thread = ThreadBudget::Global().EnterFile();
                    PreparedFile& slot = prepared[i];
                    const ProgressCallback count = [&slot] { ++slot.steps; };
                    try {
                        slot.file = PrepareFile(i, copies[worker].list(), count, &admission);
                    } catch (const boost::thread_interrupted&) {
                        throw;
                    } catch (...) {
                        slot.failure = std::current_exception();
                    }
                });
        }
        const ThreadBudget::Lease ownThread =
            inFlight > 1 ? ThreadBudget::Lease() : ThreadBudget::Global().EnterFile();

        for (size_t i = 0; i < n; ++i) {
            const FileEntry& entry = files_[i];
            const fs::path target = runFolder / RelativeFolder(entry, singleBase);
            CreateTargetFolder(target, created);
            struct ReleaseInTurn {
                FilePipeline* pipeline;
                size_t i;
                ~ReleaseInTurn() {
                    if (pipeline)
                        pipeline->Release(i);
                }
            } release{pipeline.get(), i};
            try {
                std::unique_ptr<ImageFile> file;
                if (pipeline) {
                    pipeline->WaitFor(i);
                    PreparedFile& slot = prepared[i];
                    for (unsigned s = 0; s < slot.steps; ++s)
                        step();
                    if (slot.failure)
                        std::rethrow_exception(slot.failure);
                    if (!slot.file)
                        throw std::runtime_error("a file was not prepared");
                    file = std::move(slot.file);
                } else {
                    file = PrepareFile(i, operations.list(), step, nullptr);
                }
                const unsigned index = static_cast<unsigned>(i);
                if (!file->failure().empty()) {
                    // Its pixels were needed and could not be had: saving the bytes as they
                    // are would pass a failure off as a result.
                    DebugLog(L"File #%ld '%s' not saved: %S.", static_cast<long>(i),
                             PathText(entry.file).c_str(), file->failure().c_str());
                    if (listener_)
                        listener_->fileFailed(index, file->failure());
                } else if (file->Save(target)) {
                    ++saved;
                    if (listener_)
                        listener_->fileSaved(index, file->savedPath());
                } else if (listener_) {
                    listener_->fileFailed(index, "it could not be written");
                }
            } catch (const fs::filesystem_error& e) {
                DebugLog(L"filesystem error: %S\n", e.what());
                if (listener_)
                    listener_->fileFailed(static_cast<unsigned>(i), e.code().message());
                progress = static_cast<unsigned>((i + 1) * 4);
                if (listener_)
                    listener_->progressStep(progress);
            }
            if (listener_)
                listener_->fileDone(static_cast<unsigned>(i + 1));
        }
    } catch (const fs::filesystem_error& e) {
        DebugLog(L"filesystem error: %S\n", e.what());
        const std::wstring text = FormatWide(kCreateFolderFailed, PathText(e.path1()).c_str());
        CallOnOwner([&] { ShowMessageBox(text, kErrorCaption, MB_OK | MB_ICONEXCLAMATION); });
    } catch (const boost::thread_interrupted&) {
        throw;
    } catch (const std::exception& e) {
        DebugLog(L"Catched unexpected exception: %S\n", e.what());
    } catch (...) {
        DebugLog(L"Catched unknown exception.");
    }
    boost::this_thread::interruption_point();
    if (listener_)
        listener_->jobFinished(saved, runFolder);
}

void SetIdlePriority() {
    sched_param param{};
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0)
        return;
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    for (int nice = 19; nice > 0; --nice)
        if (setpriority(PRIO_PROCESS, tid, nice) == 0)
            return;
}

std::unique_ptr<Bitmap> RXWorker::RenderCurrent(OperationSnapshot operations) {
    SetIdlePriority();
    if (files_.empty())
        return std::make_unique<Bitmap>();
    if (previewIndex_ < 0 || static_cast<size_t>(previewIndex_) >= files_.size())
        previewIndex_ = 0;
    operations.AdoptCachesFrom(previewCopies_);
    previewCopies_ = std::move(operations);
    try {
        ImageFile file(files_[static_cast<size_t>(previewIndex_)].file, -1);
        RunOperations(previewCopies_.list(), file);
        return file.GetImage();
    } catch (const fs::filesystem_error& e) {
        DebugLog(L"filesystem error: %S\n", e.what());
        return std::make_unique<Bitmap>();
    }
}

std::unique_ptr<Bitmap> RXWorker::RenderNext(OperationSnapshot operations) {
    const int n = static_cast<int>(files_.size());
    if (n == 0)
        return std::make_unique<Bitmap>();
    previewIndex_ = (previewIndex_ + 1) % n;
    return RenderCurrent(std::move(operations));
}

std::unique_ptr<Bitmap> RXWorker::RenderPrevious(OperationSnapshot operations) {
    const int n = static_cast<int>(files_.size());
    if (n == 0)
        return std::make_unique<Bitmap>();
    previewIndex_ = (previewIndex_ + n - 1) % n;
    return RenderCurrent(std::move(operations));
}

} // namespace rx
