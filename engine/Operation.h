// The common interface of the four operations a user can switch on, their identities, and the
// way a list of them is applied to one file.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include <boost/property_tree/ptree.hpp>

namespace rx {

class ImageFile;

enum OperationKind : int {
    KindWatermark = 0,
    KindResize = 1,
    KindOptimize = 2,
    KindRename = 3,
};
constexpr int kOperationCount = 4;

// A settings record of one operation. Records belong to their panels; a job and a preview render
// each work on their own copies (clone), taken on the owner thread.
class Operation {
public:
    virtual ~Operation() = default;

    // Chosen in the panel's mode list and read by each operation in its own way; written to
    // presets by the preset envelope under "mode", not by the operation.
    int mode = 0;

    // Processes one file's record in place. Runs on the worker or the preview thread and touches
    // no window. A boost::filesystem::filesystem_error fails only this file; any other error
    // ends the job.
    virtual void apply(ImageFile& file) = 0;
    // The settings are complete enough to run.
    virtual bool isReady() const { return true; }
    virtual int type() const = 0;
    // Reads the operation's own keys; a missing key or one that does not convert sets the
    // field's default.
    virtual void load(const boost::property_tree::wptree& section) = 0;
    virtual void save(boost::property_tree::wptree& section) const = 0;
    // A copy of the whole record, of its own kind.
    virtual std::unique_ptr<Operation> clone() const = 0;
    // Takes over what an earlier copy of the same kind cached (its results, never settings);
    // the preview calls it from render to render. Default: nothing is cached.
    virtual void adoptCache(Operation& earlier) { (void)earlier; }

protected:
    Operation() = default;
    Operation(const Operation&) = default;
    Operation& operator=(const Operation&) = default;
};

// Section names in presets: "Watermark", "Bulk Resize", "Optimize", "Rename".
const wchar_t* OperationSectionName(int type);
// Words of the run folder name: "watermark", "resize", "optimize", "rename".
const char* OperationRunFolderWord(int type);

// Four slots in panel order (Watermark, Resize, Optimize, Rename); empty slots are null.
using OperationList = std::array<Operation*, kOperationCount>;
using ProgressCallback = std::function<void()>;

// Applies the list in the order Resize, Watermark, Optimize, Rename. After every slot, filled or
// empty, the calling thread's interruption point is checked (a cancel ends the run there by
// boost::thread_interrupted) and the callback, when given, is called once.
void RunOperations(const OperationList& list, ImageFile& file,
                   const ProgressCallback& progress = {});

} // namespace rx
