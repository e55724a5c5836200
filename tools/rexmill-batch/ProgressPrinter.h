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
    void runFolderCreated(const boost::filesystem::path& runFolder) override;
    void fileSaved(unsigned index, const boost::filesystem::path& path) override;
    // Names the file on standard error with the reason.
    void fileFailed(unsigned index, const std::string& reason) override;
    void ownerCallWaiting() override;

    // While or after a job, also a cancelled one: files saved and the run folder so far.
    unsigned savedSoFar();
    std::wstring runFolderSoFar();

    // Waits until the worker wants the owner, or the timeout passes.
    void WaitForWake(int milliseconds);

    bool finished() const { return finished_; }
    unsigned saved() const { return saved_; }
    const std::wstring& runFolder() const { return runFolder_; }

private:
    void DrawBar(unsigned position);
    void Written(bool ok);

    Style style_;
    const std::vector<FileEntry>& files_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    unsigned range_ = 0;
    bool broken_ = false;
    bool finished_ = false;
    unsigned saved_ = 0;
    unsigned savedSoFar_ = 0;
    std::wstring runFolder_;
};

} // namespace rx::batch
