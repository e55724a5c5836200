#include "ops/RenameOp.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "engine/ImageFile.h"
#include "engine/Text.h"

namespace rx {
namespace {

const wchar_t* const kCommonKey = L"common";
const wchar_t* const kDigitsKey = L"digits";
const wchar_t* const kStartWithKey = L"startWith";

// An unsigned decimal preset value, or the fallback when absent or not a whole 32-bit number.
std::uint32_t ReadUnsigned(const boost::property_tree::wptree& section, const wchar_t* key,
                           std::uint32_t fallback) {
    const auto text = section.get_optional<std::wstring>(key);
    if (!text || text->empty() || text->size() > 10)
        return fallback;
    std::uint64_t value = 0;
    for (wchar_t c : *text) {
        if (c < L'0' || c > L'9')
            return fallback;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return value > std::numeric_limits<std::uint32_t>::max() ? fallback
                                                             : static_cast<std::uint32_t>(value);
}

} // namespace

void RenameOp::load(const boost::property_tree::wptree& section) {
    common = section.get<std::wstring>(kCommonKey, L"");
    digits = ReadUnsigned(section, kDigitsKey, 0);
    startWith = ReadUnsigned(section, kStartWithKey, 1);
}

void RenameOp::save(boost::property_tree::wptree& section) const {
    section.put(kCommonKey, common);
    section.put(kDigitsKey, std::to_wstring(digits));
    section.put(kStartWithKey, std::to_wstring(startWith));
}

boost::filesystem::path RenameOp::newName(int index,
                                          const boost::filesystem::path& currentName) const {
    char number[64];
    std::snprintf(number, sizeof number, "%0*lld", static_cast<int>(std::min(digits, kMaxDigits)),
                  static_cast<long long>(startWith) + index);
    std::string text = Narrow(common);
    // The common text must name a file in the run folder, never a path out of it.
    std::replace(text.begin(), text.end(), '/', '_');
    std::string name = mode == Suffix ? number + text : text + number;
    return boost::filesystem::path(name + currentName.extension().string());
}

void RenameOp::apply(ImageFile& file) {
    if (file.index() == -1)
        return;
    file.setName(newName(file.index(), file.name()));
}

} // namespace rx
