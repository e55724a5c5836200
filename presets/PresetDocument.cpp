#include "presets/PresetDocument.h"

#include <algorithm>
#include <sstream>

#include <boost/property_tree/json_parser.hpp>

#include "engine/PresetValue.h"

namespace rx {

namespace pt = boost::property_tree;

namespace {

// "mode" as a whole decimal number; anything else (missing, "3x", "", " 3") is 0.
int ParseMode(const pt::wptree& section) {
    return ReadSigned(section, PresetKey(L"mode", L'\0'), 0);
}

// Deepest nesting of objects and arrays, counted outside strings; stops counting once past
// limit. The JSON reader recurses once per level, so depth must be known before it runs.
int NestingDepth(const std::wstring& text, int limit) {
    int depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (inString) {
            if (c == L'\\')
                ++i; // the escaped character cannot end the string
            else if (c == L'"')
                inString = false;
        } else if (c == L'"') {
            inString = true;
        } else if (c == L'{' || c == L'[') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit)
                return deepest;
        } else if ((c == L'}' || c == L']') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

} // namespace

std::wstring PresetDocument::Save(const OperationRecords& records, const OperationFlags& on) {
    pt::wptree tree;
    for (int i = 0; i < kOperationCount; ++i) {
        Operation* op = records[static_cast<size_t>(i)];
        if (!op || !on[static_cast<size_t>(i)])
            continue;
        pt::wptree& section =
            tree.add_child(pt::wptree::path_type(OperationSectionName(i), L'\0'), pt::wptree());
        section.put(pt::wptree::path_type(L"mode", L'\0'), std::to_wstring(op->mode));
        op->save(section);
    }
    std::wostringstream out;
    pt::write_json(out, tree, false);
    return out.str();
}

bool PresetDocument::Apply(const std::wstring& text, const OperationRecords& records,
                           OperationFlags* on) {
    if (NestingDepth(text, kMaxNesting) > kMaxNesting)
        return false;
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
