// A uniquely named temporary file for handing image bytes to code that needs a path. It is
// created only when the name is free and removed, with the ".bak" backup the PNG engine may
// leave next to it, when the object goes.
#pragma once

#include <boost/filesystem/path.hpp>

#include "engine/Stream.h"

namespace rx {

class OptimizeTempFile {
public:
    // Creates an empty file "RX<pid>-<random>.tmp" in the temporary folder (TMPDIR, else /tmp)
    // whose name and backup name are both free. On failure path() is empty and stream() null.
    OptimizeTempFile();
    ~OptimizeTempFile();
    OptimizeTempFile(const OptimizeTempFile&) = delete;
    OptimizeTempFile& operator=(const OptimizeTempFile&) = delete;

    const boost::filesystem::path& path() const { return path_; }
    // The write stream the file was created with; closeStream() releases it.
    const StreamPtr& stream() const { return stream_; }
    void closeStream() { stream_.reset(); }

private:
    boost::filesystem::path path_;
    StreamPtr stream_;
};

} // namespace rx
