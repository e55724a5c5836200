// Runs the preparation of a job's files (read, run through the operations, encoded into
// memory) on a pool of threads, several files at once and within a memory budget, for one
// consumer that takes the results strictly in list order. Files start in list order; a file
// starts only while the estimates of the files started and not yet released leave room for its
// own (the first of them always has room), so results waiting for the consumer count too.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

namespace rx {

class FilePipeline {
public:
    // Handed to the work of one file: the work reports its estimate once it knows it (from the
    // file's header) and waits there for room in the budget. Work that never reports is
    // counted as zero bytes when it ends.
    class Admission {
    public:
        // Waits until the file fits the budget (an interruption point).
        void Admit(std::uint64_t estimate);
        // Files started and not yet released, this one excluded (for tests and logs).
        size_t othersInFlight() const { return others_; }

    private:
        friend class FilePipeline;
        Admission(FilePipeline& pipeline, size_t index) : pipeline_(pipeline), index_(index) {}
        FilePipeline& pipeline_;
        size_t index_;
        bool admitted_ = false;
        size_t others_ = 0;
    };

    // Prepares file `index` on pool thread `worker` (0 .. threads - 1). Must handle its own
    // errors; only boost::thread_interrupted, raised while a cancel is under way, may leave it.
    using Work = std::function<void(size_t index, unsigned worker, Admission& admission)>;

    // Starts `threads` pool threads (at least one) for files 0 .. count - 1. A budget of 0 has no
    // limit.
    FilePipeline(size_t count, unsigned threads, std::uint64_t budget, Work work);
    // Interrupts the files in flight and waits for every pool thread to end; results not taken
    // are dropped by their owner.
    ~FilePipeline();
    FilePipeline(const FilePipeline&) = delete;
    FilePipeline& operator=(const FilePipeline&) = delete;

    // Consumer: waits until the work of file `index` has ended (an interruption point). Files
    // are taken in list order.
    void WaitFor(size_t index);
    // Consumer: the result of file `index` has been used up; its estimate leaves the budget.
    void Release(size_t index);

private:
    void Serve(unsigned worker);
    void Admit(Admission& admission, std::uint64_t estimate);
    // Under the lock: ends the turn of the file that holds it.
    void EndTurn();

    const size_t count_;
    const std::uint64_t budget_;
    Work work_;
    boost::mutex mutex_;
    boost::condition_variable changed_;
    size_t next_ = 0;        // the next file to start
    bool turnTaken_ = false; // a started file has not been admitted yet
    std::uint64_t used_ = 0; // estimates of the files started and not released
    size_t inFlight_ = 0;    // files started and not released
    std::vector<std::uint64_t> estimates_;
    std::vector<char> done_;
    bool stopping_ = false;
    std::vector<boost::thread> threads_;
};

} // namespace rx
