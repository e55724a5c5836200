// The Resize operation: its settings record (edited by the Resize panel, kept in presets) and
// the rescaling of a file's encoded image to the size those settings give.
#pragma once

#include <cstdint>

#include <QSize>
#include <boost/filesystem/path.hpp>

#include "engine/Operation.h"
#include "engine/Stream.h"

namespace rx {

constexpr int kResizeModeCount = 5;

// "Width", "Height", "Percentage", "Max size", "Free size"; null outside.
const wchar_t* ResizeModeLabel(int mode);

class ResizeOp : public Operation {
public:
    // The value of `mode`, in the order of the panel's mode list.
    enum ResizeMode : int {
        Width = 0,
        Height = 1,
        Percentage = 2,
        MaxSize = 3,
        FreeSize = 4,
    };

    // No side of a result is longer than this.
    static constexpr int kMaxSide = 10240;

    std::uint32_t width = 0;   // modes Width, MaxSize, FreeSize
    std::uint32_t height = 0;  // modes Height, MaxSize, FreeSize
    std::uint32_t percent = 0; // mode Percentage

    // The preview's one-entry cache of its last result; not settings, never saved or shown.
    int cacheWidth = 0;
    int cacheHeight = 0;
    boost::filesystem::path cacheName;
    StreamPtr cacheStream;
    // Which source the cached result came from: two files of the same name (from different
    // folders) must not share a result.
    std::int64_t cacheModified = -1;
    std::uint64_t cacheSourceSize = 0;

    // Replaces the file's bytes by a rescaled encoding in the same format. An image whose size
    // cannot be read, or that cannot be rescaled, passes on unchanged.
    void apply(ImageFile& file) override;
    bool isReady() const override;
    int type() const override { return KindResize; }
    std::unique_ptr<Operation> clone() const override { return std::make_unique<ResizeOp>(*this); }
    // Takes over the preview cache of an earlier copy of this record.
    void adoptCache(Operation& earlier) override;
    void load(const boost::property_tree::wptree& section) override;
    void save(boost::property_tree::wptree& section) const override;

    // Rescales made by apply in this process, job and preview alike (a cached preview result
    // is not one); tests use it to show that a render took the cached result.
    static std::uint64_t RescaleCount();

    // The result size for an upright source of W x H in the current mode: mode arithmetic,
    // then at most kMaxSide per side (proportions kept) and at least 1.
    QSize targetSize(std::uint32_t W, std::uint32_t H) const;
};

} // namespace rx
