// The command-line tool's notify target: a progress bar on a terminal, a line per file
// otherwise, nothing when quiet; keeps the job-finished figures for the summary line.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "engine/RXWorker.h"

namespace rx::batch {

class ProgressPrinter final : public WorkerNotifyTarget {
public:
    enum class Style { Quiet, Lines, Bar };
    ProgressPrinter(Style style, const std::vector<FileEntry>& files);

    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void WakeOwner() override;

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
    std::wstring runFolder_;
};

} // namespace rx::batch
