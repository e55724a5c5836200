#include "ops/RenameOp.h"

#include <algorithm>
#include <cstdio>

#include "engine/ImageFile.h"
#include "engine/PresetValue.h"
#include "engine/Text.h"

namespace rx {
namespace {

const wchar_t* const kCommonKey = L"common";
const wchar_t* const kDigitsKey = L"digits";
const wchar_t* const kStartWithKey = L"startWith";

} // namespace

void RenameOp::load(const boost::property_tree::wptree& section) {
    common = ReadText(section, kCommonKey).value_or(L"");
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
    // A NUL cannot be part of a name: the text ends there, like a C string would.
    std::string text = Narrow(common.substr(0, common.find(L'\0')));
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
