// The Optimize operation: makes JPEG and PNG files smaller without changing their pixel size.
// JPEGs are re-encoded in memory (losslessly or at a fixed quality), PNGs go through the PNG
// optimisation engine on a temporary copy; other formats pass unchanged.
#pragma once

#include <array>
#include <cstdint>

#include "engine/Operation.h"

namespace rx {

// The operation's mode, as chosen in its panel's mode list.
enum class OptimizeMode : int {
    OnlyJpeg = 0,
    OnlyPng = 1,
    Both = 2,
};
constexpr int kOptimizeModeCount = 3;

// "Optimize only JPEGs", "Optimize only PNGs", "Optimize both JPEGs and PNGs"; null outside.
const wchar_t* OptimizeModeLabel(int mode);

// The JPEG setting of each quality step: -1 is the lossless transcode, the rest are qualities.
inline constexpr std::array<int, 6> JpegQualityTable = {0, -1, 75, 70, 65, 60};

class OptimizeOp final : public Operation {
public:
    static constexpr std::uint32_t kDefaultQuality = 1;
    static constexpr std::uint32_t kMaxQuality = 5;

    // 1 (lossless) to 5 (strongest); picks the JPEG setting and is the PNG engine's level.
    // Values above kMaxQuality act as kMaxQuality.
    std::uint32_t quality = kDefaultQuality;

    OptimizeOp() { mode = static_cast<int>(OptimizeMode::OnlyJpeg); }

    // Replaces the file's bytes by a smaller encoding when one is found; never reports an
    // error and leaves the file as it was when anything fails. Runs on the worker or the
    // preview thread; PNG runs are serialised because the engine is process-wide.
    void apply(ImageFile& file) override;
    bool isReady() const override { return true; }
    int type() const override { return KindOptimize; }
    std::unique_ptr<Operation> clone() const override {
        return std::make_unique<OptimizeOp>(*this);
    }
    // "quality": unsigned decimal, default 1 when missing or not a complete number.
    void load(const boost::property_tree::wptree& section) override;
    void save(boost::property_tree::wptree& section) const override;

    int jpegSetting() const { return JpegQualityTable[effectiveQuality()]; }
    int pngLevel() const { return static_cast<int>(effectiveQuality()); }

private:
    std::uint32_t effectiveQuality() const { return quality > kMaxQuality ? kMaxQuality : quality; }
    void optimizeJpeg(ImageFile& file) const;
    // False when the copy into the temporary file failed (apply then ends without its last line).
    bool optimizePng(ImageFile& file) const;
};

} // namespace rx
