#include "ops/OptimizeOp.h"

#include <algorithm>
#include <string>

#include <boost/thread/thread.hpp>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/PresetValue.h"
#include "ops/OptimizeJpeg.h"
#include "ops/OptimizePng.h"
#include "ops/OptimizeTempFile.h"

namespace rx {
namespace {

const wchar_t* const kQualityKey = L"quality";

std::uint64_t StreamSize(Stream& stream) {
    std::uint64_t size = 0;
    return stream.Stat(&size) == StreamStatus::Ok ? size : 0;
}

} // namespace

const wchar_t* OptimizeModeLabel(int mode) {
    static const wchar_t* const labels[kOptimizeModeCount] = {
        L"Optimize only JPEGs", L"Optimize only PNGs", L"Optimize both JPEGs and PNGs"};
    return mode >= 0 && mode < kOptimizeModeCount ? labels[mode] : nullptr;
}

void OptimizeOp::load(const boost::property_tree::wptree& section) {
    quality =
        std::clamp(ReadUnsigned(section, kQualityKey, kDefaultQuality), kMinQuality, kMaxQuality);
}

void OptimizeOp::save(boost::property_tree::wptree& section) const {
    section.put(kQualityKey, std::to_wstring(quality));
}

void OptimizeOp::apply(ImageFile& file) {
    DebugLog(L"Optimizing ...");
    if (file.format() == OutputFormat::DontChange)
        file.GetImage(); // reads the header only; identifies the format
    const bool onlyJpeg = mode == static_cast<int>(OptimizeMode::OnlyJpeg);
    const bool onlyPng = mode == static_cast<int>(OptimizeMode::OnlyPng);
    if (file.data() && file.format() == OutputFormat::Jpeg && !onlyPng)
        optimizeJpeg(file);
    if (file.data() && file.format() == OutputFormat::Png && !onlyJpeg && !optimizePng(file))
        return;
    DebugLog(L"Optimize done ...");
}

void OptimizeOp::optimizeJpeg(ImageFile& file) const {
    // Memory streams hand over their block, file streams read it once: no extra copy.
    const SharedBytes input = file.data()->Contents();
    if (!input || input->empty())
        return;
    // A cancelled job abandons the re-encoding; the caller's interruption point then ends it.
    const JpegBuffer output = OptimizeJpeg(input->data(), input->size(), jpegSetting(), [] {
        return boost::this_thread::interruption_requested();
    });
    if (output && output.size < input->size())
        file.setData(NewMemoryStream(output.data.get(), output.size));
}

bool OptimizeOp::optimizePng(ImageFile& file) const {
    // Removed, with any backup the engine left, however this function is left.
    OptimizeTempFile temp;
    const StreamStatus copied = CopyStream(file.data().get(), temp.stream().get());
    if (copied != StreamStatus::Ok) {
        DebugLog(L"Optimize done with error %x", static_cast<unsigned>(StreamStatusCode(copied)));
        return false;
    }
    temp.closeStream();
    if (!OptimizePngFile(temp.path(), pngLevel()))
        return true;
    // The engine leaves the file alone when it cannot make it smaller; keep the original then.
    const StreamPtr result = OpenFileStream(temp.path(), false);
    SharedBytes bytes = result ? result->Contents() : nullptr;
    if (bytes && !bytes->empty() && bytes->size() < StreamSize(*file.data()))
        file.setData(NewMemoryStream(std::move(bytes)));
    return true;
}

} // namespace rx
