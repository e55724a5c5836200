#include "ops/WatermarkOp.h"

#include <algorithm>
#include <charconv>
#include <cwctype>

#include "engine/DebugLog.h"
#include "engine/ImageFile.h"
#include "engine/PresetValue.h"
#include "engine/Text.h"
#include "ops/WatermarkDate.h"
#include "ops/WatermarkRenderer.h"

namespace rx {
namespace {

using boost::property_tree::wptree;

std::wstring FloatText(float v) {
    char buffer[64];
    const auto [p, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 7);
    return ec == std::errc() ? Widen(std::string(buffer, p)) : L"0";
}

// Quoted form with "&" as escape: "C:\a &"b&" &&c" stands for C:\a "b" &c.
std::wstring QuotePath(const std::wstring& path) {
    std::wstring out = L"\"";
    for (wchar_t c : path) {
        if (c == L'"' || c == L'&')
            out += L'&';
        out += c;
    }
    return out + L"\"";
}

std::wstring UnquotePath(const std::wstring& text) {
    if (text.empty() || text.front() != L'"') {
        for (wchar_t c : text)
            if (std::iswspace(static_cast<wint_t>(c)))
                return {};
        return text;
    }
    std::wstring out;
    for (size_t i = 1; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'&') {
            if (++i == text.size())
                return {};
            out += text[i];
        } else if (c == L'"') {
            return i + 1 == text.size() ? out : std::wstring(); // nothing may follow the quote
        } else {
            out += c;
        }
    }
    return {}; // no closing quote
}

} // namespace

const wchar_t* WatermarkKindLabel(int kind) {
    static const wchar_t* const labels[kWatermarkKindCount] = {L"Text", L"Image", L"Script",
                                                               L"Datestamp"};
    return kind >= 0 && kind < kWatermarkKindCount ? labels[kind] : nullptr;
}

bool WatermarkOp::isReady() const {
    switch (kind()) {
    case WatermarkKind::Text:
    case WatermarkKind::Script:
        return !text.empty();
    case WatermarkKind::Image:
        return !imagePath.empty() && imageWidth != 0 && imageHeight != 0;
    case WatermarkKind::Datestamp:
        return true;
    }
    return false;
}

void WatermarkOp::load(const wptree& section) {
    text = ReadText(section, L"text").value_or(L"");
    if (text.size() > kMaxTextLength)
        text.resize(kMaxTextLength);
    imagePath = PathFromText(UnquotePath(ReadText(section, L"image.path").value_or(L"")));
    imageWidth = ReadSigned(section, L"image.width", 0);
    imageHeight = ReadSigned(section, L"image.height", 0);
    dateFormat = static_cast<DateFormat>(ReadSigned(section, L"dateFormat", ShortDate));
    angle = ReadUnsigned(section, L"angle", 0);
    alpha = std::min(ReadUnsigned(section, L"alpha", 100), kMaxAlpha);
    fontName = ReadText(section, L"font.name").value_or(L"Arial");
    fontStyle = ReadUnsigned(section, L"font.style", 0);
    fontSize = ReadUnsigned(section, L"font.size", 12);
    fontColor = ReadUnsigned(section, L"font.color", 16777215);
    positionX = ReadFloat(section, L"position.x", 0.0f);
    positionY = ReadFloat(section, L"position.y", 0.0f);
}

void WatermarkOp::save(wptree& section) const {
    const WatermarkKind k = kind();
    switch (k) {
    case WatermarkKind::Text:
    case WatermarkKind::Script:
        section.put(L"text", text);
        break;
    case WatermarkKind::Image:
        section.put(L"image.path", QuotePath(PathText(imagePath)));
        section.put(L"image.width", std::to_wstring(imageWidth));
        section.put(L"image.height", std::to_wstring(imageHeight));
        break;
    case WatermarkKind::Datestamp:
        section.put(L"dateFormat", std::to_wstring(static_cast<int>(dateFormat)));
        break;
    }
    section.put(L"angle", std::to_wstring(angle));
    section.put(L"alpha", std::to_wstring(alpha));
    if (k != WatermarkKind::Image) {
        section.put(L"font.name", fontName);
        section.put(L"font.style", std::to_wstring(fontStyle));
        section.put(L"font.size", std::to_wstring(fontSize));
        section.put(L"font.color", std::to_wstring(fontColor));
    }
    if (k != WatermarkKind::Script) {
        section.put(L"position.x", FloatText(positionX));
        section.put(L"position.y", FloatText(positionY));
    }
}

namespace {

bool Paintable(QImage::Format f) {
    switch (f) {
    case QImage::Format_RGB888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return true;
    default:
        return false;
    }
}

} // namespace

void WatermarkOp::draw(QImage& pixels, const std::optional<std::string>& exifDateTime,
                       std::int64_t modified, QSize output) const {
    // Grey, palette and deep images are drawn on as colour (with alpha when they have it) so
    // that every decodable image gets its watermark, in the record's colours.
    if (!Paintable(pixels.format()))
        pixels = pixels.convertToFormat(pixels.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                                 : QImage::Format_RGB888);
    WatermarkRenderer renderer(*this, pixels, output);
    switch (kind()) {
    case WatermarkKind::Text:
        renderer.DrawText(QString::fromStdWString(text.substr(0, kMaxTextLength)));
        break;
    case WatermarkKind::Image:
        renderer.DrawPicture(LoadWatermarkPicture(imagePath));
        break;
    case WatermarkKind::Script:
        renderer.DrawScript();
        break;
    default: {
        const auto date = StampDate(exifDateTime, modified);
        renderer.DrawText(QString::fromStdWString(FormatDate(date, dateFormat)));
        break;
    }
    }
}

void WatermarkOp::apply(ImageFile& file) {
    DebugLog(L"Watermarking ...");
    std::unique_ptr<Bitmap> bitmap = file.GetImage();
    QImage* pixels = bitmap->IsValid() ? bitmap->Pixels() : nullptr;
    if (pixels) {
        DebugLog(L"  Applying watermark");
        if (!Paintable(pixels->format())) {
            bitmap->SetPixels(pixels->convertToFormat(
                pixels->hasAlphaChannel() ? QImage::Format_RGBA8888 : QImage::Format_RGB888));
            pixels = bitmap->Pixels();
        }
        draw(*pixels, kind() == WatermarkKind::Datestamp ? bitmap->DateTime() : std::nullopt,
             file.modified());
        DebugLog(L"  Set image");
        if (!file.SetImage(std::move(bitmap)))
            file.setFailure("the watermarked image cannot be encoded");
    } else {
        file.setFailure(ImageStatusText(bitmap->LastStatus()));
    }
    DebugLog(L"Watermarking done.");
}

} // namespace rx
