// Diagnostic lines of the job, of saving and of the operations.
// Formats printf-style wide text (%s takes a wide string, %S a narrow one) and hands it to one
// replaceable sink. Silent by default; tests and tools install their own sink.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

namespace rx {

using DebugLogSink = std::function<void(const std::wstring&)>;

void DebugLog(const wchar_t* format, ...);

// Installs a sink (an empty one makes DebugLog silent) and returns the previous one.
// The sink may be called from any thread; calls are serialised.
DebugLogSink SetDebugLogSink(DebugLogSink sink);

// The formatting DebugLog uses, for callers that need the text itself.
std::wstring FormatWide(const wchar_t* format, ...);
std::wstring FormatWideV(const wchar_t* format, va_list args);

} // namespace rx
