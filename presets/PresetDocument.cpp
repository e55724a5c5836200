#include "presets/PresetDocument.h"

#include <sstream>

#include <boost/lexical_cast/try_lexical_convert.hpp>
#include <boost/property_tree/json_parser.hpp>

namespace rx {

namespace pt = boost::property_tree;

namespace {

// "mode" as a whole decimal number; anything else (missing, "3x", "", " 3") is 0.
int ParseMode(const pt::wptree& section) {
    const auto value = section.get_optional<std::wstring>(pt::wptree::path_type(L"mode", L'\0'));
    int mode = 0;
    if (!value || !boost::conversion::try_lexical_convert(*value, mode))
        return 0;
    return mode;
}

} // namespace

std::wstring PresetDocument::Save(const OperationRecords& records, const OperationFlags& on) {
    pt::wptree tree;
    for (int i = 0; i < kOperationCount; ++i) {
        Operation* op = records[static_cast<size_t>(i)];
        if (!op || !on[static_cast<size_t>(i)])
            continue;
        pt::wptree& section = tree.add_child(pt::wptree::path_type(OperationSectionName(i), L'\0'),
                                             pt::wptree());
        section.put(pt::wptree::path_type(L"mode", L'\0'), std::to_wstring(op->mode));
        op->save(section);
    }
    std::wostringstream out;
    pt::write_json(out, tree, false);
    return out.str();
}

bool PresetDocument::Apply(const std::wstring& text, const OperationRecords& records,
                           OperationFlags* on) {
    pt::wptree tree;
    try {
        std::wistringstream in(text);
        pt::read_json(in, tree);
    } catch (const pt::ptree_error&) {
        return false;
    }
    const pt::wptree empty;
    for (int i = 0; i < kOperationCount; ++i) {
        Operation* op = records[static_cast<size_t>(i)];
        const auto found = tree.find(OperationSectionName(i));
        const pt::wptree& section = found == tree.not_found() ? empty : found->second;
        if (op) {
            op->mode = ParseMode(section);
            op->load(section);
        }
        if (on)
            (*on)[static_cast<size_t>(i)] = op && !section.empty();
    }
    return true;
}

} // namespace rx
