#include "ops/ResizeOp.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/PresetValue.h"
#include "engine/ScaleImage.h"

namespace rx {
namespace {

std::atomic<std::uint64_t> g_rescales{0};

const wchar_t* const kWidthKey = L"width";
const wchar_t* const kHeightKey = L"height";
const wchar_t* const kPercentKey = L"percent";

// R(x) of the mode arithmetic, kept in double: sizes far beyond int (a width of 4294967295 from
// a hand-edited preset) must reach the side limit with their true proportions.
double Round(double x) {
    return x > 0.0 ? std::floor(x + 0.5) : 0.0;
}

} // namespace

const wchar_t* ResizeModeLabel(int mode) {
    static const wchar_t* const labels[kResizeModeCount] = {L"Width", L"Height", L"Percentage",
                                                            L"Max size", L"Free size"};
    return mode >= 0 && mode < kResizeModeCount ? labels[mode] : nullptr;
}

bool ResizeOp::isReady() const {
    switch (mode) {
    case Width:
        return width != 0;
    case Height:
        return height != 0;
    case Percentage:
        return percent != 0;
    case MaxSize:
    case FreeSize:
        return width != 0 && height != 0;
    default:
        return false;
    }
}

void ResizeOp::load(const boost::property_tree::wptree& section) {
    width = ReadUnsigned(section, kWidthKey, 0);
    height = ReadUnsigned(section, kHeightKey, 0);
    percent = ReadUnsigned(section, kPercentKey, 0);
}

void ResizeOp::save(boost::property_tree::wptree& section) const {
    if (mode == Width || mode == MaxSize || mode == FreeSize)
        section.put(kWidthKey, std::to_wstring(width));
    if (mode == Height || mode == MaxSize || mode == FreeSize)
        section.put(kHeightKey, std::to_wstring(height));
    if (mode == Percentage)
        section.put(kPercentKey, std::to_wstring(percent));
}

QSize ResizeOp::targetSize(std::uint32_t W, std::uint32_t H) const {
    double w = 0, h = 0;
    switch (mode) {
    case Width:
        w = width;
        h = Round(H * (double(width) / W));
        break;
    case Height:
        h = height;
        w = Round(W * (double(height) / H));
        break;
    case Percentage: {
        const double p = percent / 100.0;
        w = Round(W * p);
        h = Round(H * p);
        break;
    }
    case MaxSize: {
        const QSize fit = FitInside(W, H, width, height);
        w = fit.width();
        h = fit.height();
        break;
    }
    case FreeSize:
        w = width;
        h = height;
        break;
    default: // no defined size: keep the source's
        w = W;
        h = H;
        break;
    }
    const QSize limited = FitInside(w, h, kMaxSide, kMaxSide); // the per-side limit
    return {std::max(limited.width(), 1), std::max(limited.height(), 1)};
}

std::uint64_t ResizeOp::RescaleCount() {
    return g_rescales.load(std::memory_order_relaxed);
}

void ResizeOp::apply(ImageFile& file) {
    DebugLog(L"Resizing ...");
    std::uint32_t W = 0, H = 0;
    {
        // Only the header is read: the bitmap is here for its upright size.
        const auto bitmap = file.GetImage();
        DebugLog(L"  Get image");
        if (bitmap->IsValid()) {
            W = static_cast<std::uint32_t>(bitmap->Width());
            H = static_cast<std::uint32_t>(bitmap->Height());
        } else {
            file.setFailure(ImageStatusText(bitmap->LastStatus()));
        }
    }
    if (W == 0 || H == 0) {
        DebugLog(L"  No image size; left as it is");
        DebugLog(L"Resize done");
        return;
    }
    const QSize target = targetSize(W, H);
    DebugLog(L"  Resizing to %ld x %ld", static_cast<long>(target.width()),
             static_cast<long>(target.height()));

    const bool preview = file.index() == -1;
    std::uint64_t sourceSize = 0;
    if (preview && file.data())
        file.data()->Stat(&sourceSize);
    StreamPtr result;
    if (preview && cacheStream && target.width() == cacheWidth && target.height() == cacheHeight &&
        file.name() == cacheName && file.modified() == cacheModified &&
        sourceSize == cacheSourceSize)
        result = NewMemoryStream(cacheStream->Contents()); // same block, own read position
    else {
        g_rescales.fetch_add(1, std::memory_order_relaxed);
        result = ScaleImageStream(file.data(), target.width(), target.height());
    }
    if (!result)
        file.setFailure("the image cannot be rescaled (damaged or truncated data)");
    else if (result != file.data())
        file.setData(result);
    DebugLog(L"  Resized");
    if (preview) {
        cacheWidth = target.width();
        cacheHeight = target.height();
        cacheName = file.name();
        cacheModified = file.modified();
        cacheSourceSize = sourceSize;
        cacheStream = std::move(result);
    }
    DebugLog(L"Resize done");
}

void ResizeOp::adoptCache(Operation& earlier) {
    auto* other = dynamic_cast<ResizeOp*>(&earlier);
    if (!other || other == this)
        return;
    cacheWidth = other->cacheWidth;
    cacheHeight = other->cacheHeight;
    cacheName = std::move(other->cacheName);
    cacheModified = other->cacheModified;
    cacheSourceSize = other->cacheSourceSize;
    cacheStream = std::move(other->cacheStream);
}

} // namespace rx
