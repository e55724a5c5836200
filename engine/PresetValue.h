// The one reader of preset values. Every value in a preset section is text; a value that
// converts completely to its key's type is used, anything else (absent, empty, spaces, a sign
// where the type has none, digits beyond the type's range, trailing characters) gives the key's
// default. Leading zeros are part of a number, not a reason to refuse it. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <boost/property_tree/ptree.hpp>

namespace rx {

using PresetKey = boost::property_tree::wptree::path_type;

// Unsigned decimal digits only, value within 32 bits.
std::optional<std::uint32_t> ParseUnsigned(std::wstring_view text);
// An optional "-" and decimal digits, value within int.
std::optional<int> ParseSigned(std::wstring_view text);
// A finite float in general notation ("0.5", "1e-3"), without surrounding spaces.
std::optional<float> ParseFloat(std::wstring_view text);

std::optional<std::wstring> ReadText(const boost::property_tree::wptree& section,
                                     const PresetKey& key);
std::uint32_t ReadUnsigned(const boost::property_tree::wptree& section, const PresetKey& key,
                           std::uint32_t fallback);
int ReadSigned(const boost::property_tree::wptree& section, const PresetKey& key, int fallback);
float ReadFloat(const boost::property_tree::wptree& section, const PresetKey& key, float fallback);

} // namespace rx
