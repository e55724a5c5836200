#include "ops/WatermarkDate.h"

#include <ctime>
#include <cwchar>
#include <iterator>
#include <langinfo.h>

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>

#include "engine/Text.h"
#include "ops/WatermarkOp.h"

namespace rx {
namespace {

// glibc's locales carry no long date of their own (there is no "%#x"): build one from the
// full weekday and month names, in the order the locale's short date uses.
std::wstring LongDatePattern() {
    const char* shortFormat = nl_langinfo(D_FMT);
    const std::string dfmt = shortFormat ? shortFormat : "";
    for (unsigned char c : dfmt)
        if (c >= 0x80) // CJK-style patterns with their own unit marks: keep them, add the day
            return Widen(dfmt) + L" %A";
    const auto at = [&](const char* conv) {
        size_t best = std::string::npos;
        for (const char* p = conv; *p; ++p) {
            const size_t i = dfmt.find(std::string("%") + *p);
            if (i < best)
                best = i;
        }
        return best;
    };
    const size_t d = at("de"), m = at("mbB"), y = at("yYCG");
    const size_t none = std::string::npos;
    if (d == none || m == none || y == none || (m < d && d < y))
        return L"%A, %B %-d, %Y"; // month, day, year (en_US and the C locale)
    if (y < m && m < d)           // year first without unit marks (e.g. 1995-03-14)
        return L"%A %-d %B %Y";
    // Day first; a locale that writes 14.03.1995 writes "14. März" too.
    const size_t after = dfmt.find_first_not_of("%de", d);
    const bool dotted = after != none && dfmt[after] == '.';
    return dotted ? L"%A, %-d. %B %Y" : L"%A %-d %B %Y";
}

} // namespace

std::wstring FormatDate(const boost::gregorian::date& date, WatermarkOp::DateFormat format) {
    std::wstring pattern;
    if (format == WatermarkOp::ShortDate)
        pattern = L"%x";
    else if (format == WatermarkOp::LongDate)
        pattern = LongDatePattern();
    else
        return {};
    return FormatDatePattern(date, pattern);
}

std::wstring FormatDatePattern(const boost::gregorian::date& date, const std::wstring& pattern) {
    if (date.is_special())
        return {};
    std::tm tm = boost::gregorian::to_tm(date); // time of day zero, tm_isdst -1
    // Wide formatting takes the names straight from the LC_TIME locale, whatever LC_CTYPE is.
    // 128 characters with the terminating NUL: at most 127 of text.
    wchar_t buffer[128];
    const size_t n = std::wcsftime(buffer, std::size(buffer), pattern.c_str(), &tm);
    return std::wstring(buffer, n);
}

std::optional<boost::gregorian::date> ParseExifDate(const std::string& dateTime) {
    std::string digits;
    for (char c : dateTime)
        if (c != ':')
            digits += c;
    digits.resize(8, '\0');
    for (char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    const int year = std::stoi(digits.substr(0, 4));
    const int month = std::stoi(digits.substr(4, 2));
    const int day = std::stoi(digits.substr(6, 2));
    if (year < 1400 || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    if (day > boost::gregorian::gregorian_calendar::end_of_month_day(
                  static_cast<unsigned short>(year), static_cast<unsigned short>(month)))
        return std::nullopt;
    return boost::gregorian::date(static_cast<unsigned short>(year),
                                  static_cast<unsigned short>(month),
                                  static_cast<unsigned short>(day));
}

boost::gregorian::date StampDate(const std::optional<std::string>& exifDateTime,
                                 std::int64_t modified) {
    if (exifDateTime && !exifDateTime->empty())
        if (auto date = ParseExifDate(*exifDateTime))
            return *date;
    if (modified == kUnknownModified)
        return boost::gregorian::day_clock::universal_day();
    const boost::posix_time::ptime epoch(boost::gregorian::date(1970, 1, 1));
    return (epoch + boost::posix_time::seconds(modified)).date();
}

} // namespace rx
