#include "engine/Operation.h"

#include <boost/thread/thread.hpp>

#include "engine/ImageFile.h"

namespace rx {

const wchar_t* OperationSectionName(int type) {
    static const wchar_t* const names[] = {L"Watermark", L"Bulk Resize", L"Optimize", L"Rename"};
    return type >= 0 && type < kOperationCount ? names[type] : L"";
}

const char* OperationRunFolderWord(int type) {
    static const char* const words[] = {"watermark", "resize", "optimize", "rename"};
    return type >= 0 && type < kOperationCount ? words[type] : "";
}

void RunOperations(const OperationList& list, ImageFile& file, const ProgressCallback& progress) {
    static constexpr int order[kOperationCount] = {KindResize, KindWatermark, KindOptimize,
                                                   KindRename};
    for (int slot : order) {
        if (Operation* op = list[static_cast<size_t>(slot)])
            op->apply(file);
        boost::this_thread::interruption_point();
        if (progress)
            progress();
    }
}

} // namespace rx
