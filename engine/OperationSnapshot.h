// Copies of the operation records a job or a preview render works on, taken on the owner thread
// at START (or when a render is requested). Edits of the panels' records after that do not reach
// the copies; copying a snapshot copies the records again.
#pragma once

#include <array>
#include <memory>

#include "engine/Operation.h"

namespace rx {

class OperationSource;

class OperationSnapshot {
public:
    OperationSnapshot() = default;
    // Copies the records the source offers now (slots it leaves empty stay empty).
    explicit OperationSnapshot(const OperationSource& source);
    // Copies the given records; null slots stay empty.
    explicit OperationSnapshot(const std::array<const Operation*, kOperationCount>& records);
    OperationSnapshot(const OperationSnapshot& other);
    OperationSnapshot& operator=(const OperationSnapshot& other);
    OperationSnapshot(OperationSnapshot&&) noexcept = default;
    OperationSnapshot& operator=(OperationSnapshot&&) noexcept = default;
    ~OperationSnapshot() = default;

    // The copy in a slot, null when empty.
    Operation* operator[](int slot) const { return slots_[static_cast<size_t>(slot)].get(); }
    // The slots as the list RunOperations and the run-folder name take; valid while this lives.
    OperationList list() const;
    bool empty() const;

    // Each copy takes over what the same kind of copy in `earlier` cached (the preview keeps its
    // Resize result from render to render).
    void AdoptCachesFrom(OperationSnapshot& earlier);

private:
    std::array<std::unique_ptr<Operation>, kOperationCount> slots_;
};

} // namespace rx
