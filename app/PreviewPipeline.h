// The preview's rendering of one file: what the job would make of it with the given operations,
// at the size the preview shows it. A result that fits the screen is made as the job makes it
// (RunOperations on the file, nothing saved). A larger one is made at the screen's size: the
// source is decoded straight to that size (a JPEG in the DCT domain at 1/2, 1/4 or 1/8, then
// resampled as Resize resamples), kept for the next render of the same file and size, and the
// watermark is drawn on it with every length scaled by the reduction, so the picture matches
// the full-size result reduced for the screen. Optimize and Rename are left out there: Rename
// changes no pixel, and Optimize only re-encodes (losslessly, or as JPEG at quality 60 or
// more), whose traces are smaller than one pixel of the reduced picture.
//
// Renderer thread only: one object per renderer, never shared.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>
#include <string>

#include <boost/filesystem/path.hpp>

#include "engine/Operation.h"
#include "engine/OutputLocations.h"

namespace rx {

class PreviewPipeline {
public:
    // One render's result: the size of the image the job would write, and its pixels at that
    // size or reduced to fit the screen. A failed render has size 0 x 0 and no pixels.
    struct Result {
        int width = 0;
        int height = 0;
        QImage pixels;
    };

    // Renders the entry's file with the operations; screen is the largest size shown (the
    // virtual screen). Throws what opening the file throws (a missing file); an interruption
    // of the thread ends it at the next step.
    Result Render(const FileEntry& entry, const OperationList& ops, const QSize& screen);

    // The size an image of width x height is shown at on a screen of the given size: first
    // narrowed to the screen's width, then lowered to its height, keeping the proportions and
    // rounding to the nearest pixel (never below 1). A screen side of 0 does not limit.
    static QSize ScreenSize(int width, int height, const QSize& screen);

    // Reduced decodes of a source made in this process; a render that takes the kept source
    // makes none (tests show with it that moving the watermark does not decode again).
    static std::uint64_t ReducedDecodes();

private:
    // The last reduced source: which file (path, time stamp and byte size), its upright size,
    // the size it was reduced to, and its EXIF date for the date stamp.
    struct Kept {
        boost::filesystem::path path;
        std::int64_t modified = -1;
        std::uintmax_t bytes = 0;
        QSize source;
        QSize reduced;
        std::optional<std::string> dateTime;
        QImage pixels;
    };
    Kept kept_;
};

} // namespace rx
