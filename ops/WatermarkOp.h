// The Watermark operation: the settings record the Watermark panel edits (text, picture, tiled
// script or date stamp, with font, opacity, angle and position), its preset keys, and the
// drawing of the watermark onto one image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QImage>
#include <QSize>

#include <boost/date_time/gregorian/gregorian_types.hpp>
#include <boost/filesystem/path.hpp>

#include "engine/Operation.h"

namespace rx {

// The value of a watermark's `mode`; entry i of the panel's mode list is kind i.
enum class WatermarkKind : int {
    Text = 0,      // `text`, once
    Image = 1,     // the picture in `imagePath`, once
    Script = 2,    // `text` repeated in a brick pattern over the whole image
    Datestamp = 3, // the image's date, formatted by `dateFormat`, placed like Text
};
constexpr int kWatermarkKindCount = 4;

// "Text", "Image", "Script", "Datestamp"; null outside.
const wchar_t* WatermarkKindLabel(int kind);

class WatermarkOp : public Operation {
public:
    // Stored as an integer; values other than these format to an empty text.
    enum DateFormat : int {
        ShortDate = 0, // the time locale's short date ("%x")
        LongDate = 1,  // the time locale's long date, with weekday and month names
    };

    // Longest text drawn: a longer one (from a hand-edited preset) is cut here, so that
    // measuring and drawing stay bounded.
    static constexpr size_t kMaxTextLength = 4096;
    static constexpr std::uint32_t kMaxAlpha = 100;

    std::wstring text;
    boost::filesystem::path imagePath;
    DateFormat dateFormat = ShortDate;
    std::uint32_t angle = 0;            // degrees, clockwise
    std::uint32_t alpha = 100;          // opacity in percent, 0 to kMaxAlpha
    std::wstring fontName = L"Arial";   // family name; the generic sans-serif when not installed
    std::uint32_t fontStyle = 0;        // bits: 1 bold, 2 italic, 4 underline
    std::uint32_t fontSize = 12;        // em size in pixels before scaling
    std::uint32_t fontColor = 16777215; // COLORREF: red in the low byte, then green, then blue
    float positionX = 0.0f;             // 0 left edge, 1 right edge
    float positionY = 0.0f;             // 0 top edge, 1 bottom edge
    int imageWidth = 0;                 // drawn picture size in pixels before scaling
    int imageHeight = 0;
    // Size of the image the watermark was laid out on (set by the preview's proportion lock);
    // 0 = none. Sizes then scale with the image. Never saved in presets.
    int referenceWidth = 0;
    int referenceHeight = 0;

    WatermarkOp() { mode = static_cast<int>(WatermarkKind::Text); }

    WatermarkKind kind() const { return static_cast<WatermarkKind>(mode); }

    // Decodes the file, draws the watermark on the upright pixels and re-encodes in the file's
    // own format. A file that cannot be decoded keeps its bytes. Only reads the record.
    void apply(ImageFile& file) override;
    // Draws the watermark on upright pixels (converted first to a format QPainter draws on
    // when they are grey, palette or deep) as apply does. output: the size of the image the
    // pixels stand for when they are a reduced copy of it (the preview's), so that the
    // watermark covers the same part of the picture; empty when they are the image itself.
    // exifDateTime and modified give the date stamp's date. Only reads the record.
    void draw(QImage& pixels, const std::optional<std::string>& exifDateTime, std::int64_t modified,
              QSize output = {}) const;
    bool isReady() const override;
    int type() const override { return KindWatermark; }
    std::unique_ptr<Operation> clone() const override {
        return std::make_unique<WatermarkOp>(*this);
    }
    // Reads every key, whatever the kind: absent or malformed values give the defaults; "alpha"
    // above 100 reads as 100, and "text" is cut at kMaxTextLength characters.
    void load(const boost::property_tree::wptree& section) override;
    // Writes the keys of the current kind: its own keys, "angle", "alpha", the font keys (all
    // but Image) and the position keys (all but Script).
    void save(boost::property_tree::wptree& section) const override;
};

// A calendar date as text under the current LC_TIME locale; empty for an unknown format.
std::wstring FormatDate(const boost::gregorian::date& date, WatermarkOp::DateFormat format);

} // namespace rx
