#include "tools/rexmill-batch/ProgressPrinter.h"

#include <chrono>
#include <cstdio>

#include "engine/Text.h"

namespace rx::batch {

ProgressPrinter::ProgressPrinter(Style style, const std::vector<FileEntry>& files)
    : style_(style), files_(files) {}

void ProgressPrinter::jobStarted(unsigned, unsigned range) {
    std::lock_guard<std::mutex> lock(mutex_);
    range_ = range;
}

void ProgressPrinter::progressStep(unsigned position) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (style_ == Style::Bar)
        DrawBar(position + 1);
}

void ProgressPrinter::fileDone(unsigned done) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (style_ == Style::Lines && done >= 1 && done <= files_.size())
        std::fprintf(stderr, "%u/%zu %s\n", done, files_.size(), files_[done - 1].file.c_str());
}

void ProgressPrinter::DrawBar(unsigned position) {
    if (range_ == 0)
        return;
    const unsigned width = 40;
    const unsigned filled = std::min(width, position * width / range_);
    std::string bar(filled, '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\r[%s] %3u%%", bar.c_str(), std::min(100u, position * 100 / range_));
    if (position >= range_)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

void ProgressPrinter::jobFinished(unsigned saved, boost::filesystem::path runFolder) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    saved_ = saved;
    runFolder_ = PathText(runFolder);
}

void ProgressPrinter::ownerCallWaiting() {
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
