// Conversions between the program's wide strings and UTF-8, the encoding of Linux paths.
#pragma once

#include <string>

#include <boost/filesystem/path.hpp>

namespace rx {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
inline std::wstring PathText(const boost::filesystem::path& p) {
    return Widen(p.string());
}
inline boost::filesystem::path PathFromText(const std::wstring& s) {
    return {Narrow(s)};
}

} // namespace rx
