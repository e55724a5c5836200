// Runs the built rexmill-batch as a real process for the tests: its own settings folder, no
// display, output into files of the test folder (or given descriptors), a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <boost/filesystem/path.hpp>

#include "tests/support/TestImages.h"

namespace rxtest {

struct BatchResult {
    int status = -1; // exit status, or 128 + signal
    bool timedOut = false;
    std::string out, err;
    std::string lastLine() const;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Starts the tool; stdout and stderr go to dir/stdout and dir/stderr unless descriptors are
// given.
pid_t SpawnBatch(const TempDir& dir, const std::vector<std::string>& args, int out = -1,
                 int err = -1, const Environment& env = {});
// Waits for the tool, killing it when it outlives the deadline.
BatchResult FinishBatch(const TempDir& dir, pid_t pid, std::chrono::seconds deadline);
BatchResult RunBatch(const TempDir& dir, const std::vector<std::string>& args,
                     std::chrono::seconds deadline, const Environment& env = {});

// The names in a folder, sorted; empty for a missing folder.
std::vector<boost::filesystem::path> Listing(const boost::filesystem::path& folder);

} // namespace rxtest
