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
    if (style_ == Style::Lines && done >= 1 && done <= files_.size() && !broken_)
        Written(std::fprintf(stderr, "%u/%zu %s\n", done, files_.size(),
                             files_[done - 1].file.c_str()) >= 0 &&
                std::fflush(stderr) == 0);
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

void ProgressPrinter::jobFinished(unsigned saved, boost::filesystem::path runFolder) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    saved_ = saved;
    runFolder_ = PathText(runFolder);
}

void ProgressPrinter::runFolderCreated(const boost::filesystem::path& runFolder) {
    std::lock_guard<std::mutex> lock(mutex_);
    runFolder_ = PathText(runFolder);
}

void ProgressPrinter::fileSaved(unsigned, const boost::filesystem::path&) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++savedSoFar_;
}

void ProgressPrinter::fileFailed(unsigned index, const std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (broken_ || index >= files_.size())
        return;
    // Shown even when quiet: a file that was not saved is a result, not progress.
    Written(std::fprintf(stderr, "%srexmill-batch: '%s' was not saved: %s\n",
                         style_ == Style::Bar ? "\r\033[K" : "", files_[index].file.c_str(),
                         reason.c_str()) >= 0);
}

unsigned ProgressPrinter::savedSoFar() {
    std::lock_guard<std::mutex> lock(mutex_);
    return savedSoFar_;
}

std::wstring ProgressPrinter::runFolderSoFar() {
    std::lock_guard<std::mutex> lock(mutex_);
    return runFolder_;
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
