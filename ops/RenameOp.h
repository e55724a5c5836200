// The Bulk Rename operation: a common text and a zero-padded running number become each file's
// new name, its extension kept. Only the name of the file in flight changes.
#pragma once

#include <cstdint>
#include <string>

#include <boost/filesystem/path.hpp>

#include "engine/Operation.h"

namespace rx {

class RenameOp : public Operation {
public:
    // The value of `mode`: where the common text stands.
    enum RenameMode : int {
        Prefix = 0, // common text, then the number
        Suffix = 1, // the number, then the common text
    };

    // Longest zero padding honoured; a wider request (from a hand-edited preset) would make
    // names no file system takes.
    static constexpr std::uint32_t kMaxDigits = 32;

    std::wstring common;
    std::uint32_t startWith = 1; // number of the job's first file
    std::uint32_t digits = 0;    // minimum digits, zero-filled; 0 = no padding

    // Renames a job's file; a preview record (index -1) keeps its name.
    void apply(ImageFile& file) override;
    int type() const override { return KindRename; }
    std::unique_ptr<Operation> clone() const override { return std::make_unique<RenameOp>(*this); }
    void load(const boost::property_tree::wptree& section) override;
    void save(boost::property_tree::wptree& section) const override;

    // The new name of the file at this job index, keeping the extension of its current name.
    boost::filesystem::path newName(int index, const boost::filesystem::path& currentName) const;
};

} // namespace rx
