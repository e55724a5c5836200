// The date a date-stamp watermark shows: the photo's own EXIF date when it holds a valid one,
// else the calendar day the file was last modified.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <boost/date_time/gregorian/gregorian_types.hpp>

namespace rx {

// Reads "YYYY:MM:DD HH:MM:SS" (EXIF DateTime); nothing unless the first eight digits, once the
// colons are gone, form a real calendar date from the year 1400 on.
std::optional<boost::gregorian::date> ParseExifDate(const std::string& dateTime);

// The modification time of a file whose time could not be read.
constexpr std::int64_t kUnknownModified = -1;

// The EXIF date when valid, else the UTC date of `modified` (seconds since 1970-01-01 UTC, so
// negative before 1970); today's UTC date when the modification time is kUnknownModified.
boost::gregorian::date StampDate(const std::optional<std::string>& exifDateTime,
                                 std::int64_t modified);

// The date formatted by a wcsftime pattern into at most 127 characters; empty when the text
// would be longer or the date is not a real one.
std::wstring FormatDatePattern(const boost::gregorian::date& date, const std::wstring& pattern);

} // namespace rx
