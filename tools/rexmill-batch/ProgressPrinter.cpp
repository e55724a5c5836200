#include "tools/rexmill-batch/ProgressPrinter.h"

#include <chrono>
#include <cstdio>

namespace rx::batch {

ProgressPrinter::ProgressPrinter(Style style, const std::vector<FileEntry>& files)
    : style_(style), files_(files) {}

void ProgressPrinter::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (message) {
    case WM_RX_JOB_STARTED:
        range_ = static_cast<unsigned>(lParam);
        break;
    case WM_RX_PROGRESS_STEP:
        if (style_ == Style::Bar)
            DrawBar(static_cast<unsigned>(wParam) + 1);
        break;
    case WM_RX_FILE_DONE:
        if (style_ == Style::Lines && wParam >= 1 && wParam <= files_.size() && !broken_)
            Written(std::fprintf(stderr, "%zu/%zu %s\n", static_cast<size_t>(wParam), files_.size(),
                                 files_[wParam - 1].file.c_str()) >= 0 &&
                    std::fflush(stderr) == 0);
        break;
    default:
        break;
    }
}

void ProgressPrinter::Written(bool ok) {
    // Once the output is gone (a closed pipe), progress is no longer written; the job goes on.
    if (!ok)
        broken_ = true;
}

void ProgressPrinter::DrawBar(unsigned position) {
    if (range_ == 0 || broken_)
        return;
    const unsigned width = 40;
    const unsigned filled = std::min(width, position * width / range_);
    std::string bar(filled, '#');
    bar.resize(width, '.');
    bool ok = std::fprintf(stderr, "\r[%s] %3u%%", bar.c_str(),
                           std::min(100u, position * 100 / range_)) >= 0;
    if (position >= range_)
        ok = std::fputc('\n', stderr) != EOF && ok;
    Written(std::fflush(stderr) == 0 && ok);
}

void ProgressPrinter::Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message != WM_RX_JOB_FINISHED)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    saved_ = static_cast<unsigned>(wParam);
    runFolder_ = reinterpret_cast<const wchar_t*>(lParam); // valid only during this call
}

void ProgressPrinter::WakeOwner() {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
    wake_.notify_all();
}

void ProgressPrinter::WaitForWake(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return woken_; });
    woken_ = false;
}

} // namespace rx::batch
