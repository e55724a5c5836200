#include "presets/OperationSet.h"

namespace rx {

const Operation* OperationSet::ReadyOperation(int slot) const {
    if (slot < 0 || slot >= kOperationCount || !on[static_cast<size_t>(slot)])
        return nullptr;
    const Operation* ops[] = {&watermark, &resize, &optimize, &rename};
    const Operation* op = ops[slot];
    return op->isReady() ? op : nullptr;
}

bool OperationSet::AnyReady() const {
    for (int i = 0; i < kOperationCount; ++i)
        if (ReadyOperation(i))
            return true;
    return false;
}

} // namespace rx
