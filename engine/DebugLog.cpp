#include "engine/DebugLog.h"

#include <cwchar>
#include <mutex>
#include <vector>

namespace rx {
namespace {

std::mutex& SinkMutex() {
    static std::mutex m;
    return m;
}

DebugLogSink& Sink() {
    static DebugLogSink sink;
    return sink;
}

// The program's format strings follow the Windows convention (%s wide, %S narrow); glibc's
// wide printf wants %ls for wide and %s for narrow strings, so conversions are rewritten.
std::wstring TranslateFormat(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        out += *p;
        if (*p != L'%')
            continue;
        ++p;
        if (*p == L'%') {
            out += *p;
            continue;
        }
        bool hasLength = false;
        while (*p && std::wcschr(L"-+ #0123456789.*hlLqjzt", *p)) {
            if (std::wcschr(L"hlLqjzt", *p))
                hasLength = true;
            out += *p++;
        }
        if (!*p)
            break;
        if (*p == L's' && !hasLength)
            out += L"ls";
        else if (*p == L'S')
            out += L's';
        else
            out += *p;
    }
    return out;
}

} // namespace

std::wstring FormatWideV(const wchar_t* format, va_list args) {
    const std::wstring fmt = TranslateFormat(format);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size())
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        if (buffer.size() > (1u << 20))
            return fmt; // unformattable (bad multibyte argument): keep the bare format
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring FormatWide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring s = FormatWideV(format, args);
    va_end(args);
    return s;
}

void DebugLog(const wchar_t* format, ...) {
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        if (!Sink())
            return;
    }
    va_list args;
    va_start(args, format);
    std::wstring line = FormatWideV(format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(SinkMutex());
    if (Sink())
        Sink()(line);
}

DebugLogSink SetDebugLogSink(DebugLogSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    DebugLogSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

} // namespace rx
