#include "engine/OperationSnapshot.h"

#include "engine/OperationSource.h"

namespace rx {

OperationSnapshot::OperationSnapshot(const OperationSource& source) {
    for (int i = 0; i < kOperationCount; ++i)
        if (const Operation* op = source.ReadyOperation(i))
            slots_[static_cast<size_t>(i)] = op->clone();
}

OperationSnapshot::OperationSnapshot(const std::array<const Operation*, kOperationCount>& records) {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (records[i])
            slots_[i] = records[i]->clone();
}

OperationSnapshot::OperationSnapshot(const OperationSnapshot& other) {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (other.slots_[i])
            slots_[i] = other.slots_[i]->clone();
}

OperationSnapshot& OperationSnapshot::operator=(const OperationSnapshot& other) {
    if (this != &other)
        *this = OperationSnapshot(other);
    return *this;
}

OperationList OperationSnapshot::list() const {
    OperationList list{};
    for (size_t i = 0; i < slots_.size(); ++i)
        list[i] = slots_[i].get();
    return list;
}

bool OperationSnapshot::empty() const {
    for (const auto& slot : slots_)
        if (slot)
            return false;
    return true;
}

void OperationSnapshot::AdoptCachesFrom(OperationSnapshot& earlier) {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i] && earlier.slots_[i] && slots_[i]->type() == earlier.slots_[i]->type())
            slots_[i]->adoptCache(*earlier.slots_[i]);
}

} // namespace rx
