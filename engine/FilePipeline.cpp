#include "engine/FilePipeline.h"

#include <algorithm>

#include "engine/DebugLog.h"

namespace rx {

void FilePipeline::Admission::Admit(std::uint64_t estimate) {
    if (!admitted_)
        pipeline_.Admit(*this, estimate);
}

FilePipeline::FilePipeline(size_t count, unsigned threads, std::uint64_t budget, Work work)
    : count_(count), budget_(budget), work_(std::move(work)), estimates_(count), done_(count) {
    const unsigned n = static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(threads, count)));
    threads_.reserve(n);
    try {
        for (unsigned t = 0; t < n; ++t)
            threads_.emplace_back([this, t] { Serve(t); });
    } catch (...) {
        // Without a thread of its own the job still runs on those that started; with none the
        // consumer would wait for ever, so the failure goes to the caller.
        if (threads_.empty())
            throw;
    }
}

FilePipeline::~FilePipeline() {
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    // Also while a cancel unwinds the consumer: joining must not raise a second interruption.
    boost::this_thread::disable_interruption noInterruption;
    for (boost::thread& t : threads_)
        t.interrupt();
    for (boost::thread& t : threads_)
        t.join();
}

void FilePipeline::EndTurn() {
    turnTaken_ = false;
    changed_.notify_all();
}

void FilePipeline::Admit(Admission& admission, std::uint64_t estimate) {
    boost::unique_lock<boost::mutex> lock(mutex_);
    // Only the file holding the turn waits here, and every file in flight is ahead of it in
    // the list: the consumer releases them without needing this one, so the wait ends.
    changed_.wait(lock, [&] {
        return stopping_ || inFlight_ == 1 || budget_ == 0 || used_ + estimate <= budget_;
    });
    if (stopping_)
        throw boost::thread_interrupted();
    admission.admitted_ = true;
    admission.others_ = inFlight_ - 1;
    estimates_[admission.index_] = estimate;
    used_ += estimate;
    EndTurn();
}

void FilePipeline::Serve(unsigned worker) {
    try {
        for (;;) {
            size_t index = 0;
            {
                boost::unique_lock<boost::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || !turnTaken_ || next_ >= count_; });
                if (stopping_ || next_ >= count_)
                    return;
                index = next_++;
                turnTaken_ = true;
                ++inFlight_;
            }
            Admission admission(*this, index);
            struct EndOfWork {
                FilePipeline& p;
                Admission& a;
                size_t index;
                ~EndOfWork() {
                    boost::lock_guard<boost::mutex> lock(p.mutex_);
                    if (!a.admitted_)
                        p.EndTurn(); // ended (failed, or interrupted) before it knew its size
                    p.done_[index] = 1;
                    p.changed_.notify_all();
                }
            } end{*this, admission, index};
            try {
                work_(index, worker, admission);
            } catch (const boost::thread_interrupted&) {
                throw;
            } catch (...) {
                // The work keeps its own errors; this one leaves the file without a result,
                // which its consumer reports as a failed file.
                DebugLog(L"Catched unknown exception.");
            }
        }
    } catch (const boost::thread_interrupted&) {
        // A cancel: the consumer drops whatever was prepared.
    }
}

void FilePipeline::WaitFor(size_t index) {
    boost::unique_lock<boost::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_[index] != 0; });
}

void FilePipeline::Release(size_t index) {
    boost::lock_guard<boost::mutex> lock(mutex_);
    used_ -= std::min(used_, estimates_[index]);
    estimates_[index] = 0;
    if (inFlight_)
        --inFlight_;
    changed_.notify_all();
}

} // namespace rx
