// Where a job or a preview render finds its operations: the record of each slot whose toggle is
// on and whose settings are ready. The window's panel set implements it; asked on the owner
// thread only.
#pragma once

#include "engine/Operation.h"

namespace rx {

class OperationSource {
public:
    virtual ~OperationSource() = default;
    // The record of slot 0 Watermark, 1 Resize, 2 Optimize or 3 Rename when it takes part; null
    // otherwise. The caller copies what it needs (OperationSnapshot) and keeps no pointer.
    virtual const Operation* ReadyOperation(int slot) const = 0;
};

} // namespace rx
