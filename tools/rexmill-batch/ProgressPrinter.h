// The command-line tool's job listener: a progress bar on a terminal, a line per file
// otherwise, nothing when quiet; keeps the job-finished figures for the summary line.
// Called on the worker thread; the main thread waits in WaitForWake.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "engine/RXWorker.h"

namespace rx::batch {

class ProgressPrinter final : public JobListener {
public:
    enum class Style { Quiet, Lines, Bar };
    ProgressPrinter(Style style, const std::vector<FileEntry>& files);

    void jobStarted(unsigned files, unsigned range) override;
    void progressStep(unsigned position) override;
    void fileDone(unsigned done) override;
    void jobFinished(unsigned saved, boost::filesystem::path runFolder) override;
    void ownerCallWaiting() override;

    // Waits until the worker wants the owner, or the timeout passes.
    void WaitForWake(int milliseconds);

    bool finished() const { return finished_; }
    unsigned saved() const { return saved_; }
    const std::wstring& runFolder() const { return runFolder_; }

private:
    void DrawBar(unsigned position);

    Style style_;
    const std::vector<FileEntry>& files_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    unsigned range_ = 0;
    bool finished_ = false;
    unsigned saved_ = 0;
    std::wstring runFolder_;
};

} // namespace rx::batch
