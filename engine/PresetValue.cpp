#include "engine/PresetValue.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace rx {
namespace {

// Decimal digits into a value no larger than limit; nothing for an empty text, any other
// character, or a value past the limit (however many digits it has).
std::optional<std::uint64_t> ParseDigits(std::wstring_view text, std::uint64_t limit) {
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > limit) // limit is far below 2^64 / 10: no wrap before this check
            return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<std::uint32_t> ParseUnsigned(std::wstring_view text) {
    const auto v = ParseDigits(text, UINT32_MAX);
    return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
}

std::optional<int> ParseSigned(std::wstring_view text) {
    const bool negative = !text.empty() && text.front() == L'-';
    if (negative)
        text.remove_prefix(1);
    const std::uint64_t limit = negative ? std::uint64_t(INT_MAX) + 1 : std::uint64_t(INT_MAX);
    const auto v = ParseDigits(text, limit);
    if (!v)
        return std::nullopt;
    return negative ? static_cast<int>(-static_cast<std::int64_t>(*v)) : static_cast<int>(*v);
}

std::optional<float> ParseFloat(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        if (c <= 0 || c > 0x7F) // a float is ASCII; anything else cannot convert
            return std::nullopt;
        narrow += static_cast<char>(c);
    }
    float v = 0;
    const char* end = narrow.data() + narrow.size();
    const auto [p, ec] = std::from_chars(narrow.data(), end, v, std::chars_format::general);
    if (narrow.empty() || ec != std::errc() || p != end || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::wstring> ReadText(const boost::property_tree::wptree& section,
                                     const PresetKey& key) {
    if (auto v = section.get_optional<std::wstring>(key))
        return std::move(*v);
    return std::nullopt;
}

std::uint32_t ReadUnsigned(const boost::property_tree::wptree& section, const PresetKey& key,
                           std::uint32_t fallback) {
    const auto text = ReadText(section, key);
    return text ? ParseUnsigned(*text).value_or(fallback) : fallback;
}

int ReadSigned(const boost::property_tree::wptree& section, const PresetKey& key, int fallback) {
    const auto text = ReadText(section, key);
    return text ? ParseSigned(*text).value_or(fallback) : fallback;
}

float ReadFloat(const boost::property_tree::wptree& section, const PresetKey& key, float fallback) {
    const auto text = ReadText(section, key);
    return text ? ParseFloat(*text).value_or(fallback) : fallback;
}

} // namespace rx
