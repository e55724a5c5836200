// A stand-in "AutoUpdate" library for the tests: it exports the ten entry points, records every
// call in order, reads the string arguments by their documented layout (not through the
// program's helpers) and calls the registered callbacks when the test asks it to, on the calling
// thread or on a thread of its own. Built without "Update_SetProductName" when
// RX_FAKE_WITHOUT_PRODUCT_NAME is defined.
// Run under the real program it is set up by the environment: RX_FAKE_LOG names a file that
// receives every call, one a line; RX_FAKE_INIT_RESULT is the result of "Update_Init";
// RX_FAKE_CLOSE_ON_CHECK=1 makes "Update_Check" ask the program to close from another thread;
// RX_FAKE_MANUAL_OUTCOME is what "Update_CheckManual" reports (numbered as for Report below).
#include "app/UpdateAbi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mutex;
std::string g_log;
std::string g_logCopy;
std::int32_t g_initResult = [] {
    const char* v = std::getenv("RX_FAKE_INIT_RESULT");
    return v ? std::atoi(v) : 0;
}();
const bool g_closeOnCheck = [] {
    const char* v = std::getenv("RX_FAKE_CLOSE_ON_CHECK");
    return v && std::strcmp(v, "1") == 0;
}();
int g_manualOutcome = [] {
    const char* v = std::getenv("RX_FAKE_MANUAL_OUTCOME");
    return v ? std::atoi(v) : 0;
}();
int g_autoOutcome = 0;
std::uintptr_t g_parent = 0;
RxCloseApplicationCallback g_close = nullptr;
RxUpdatesAvailableCallback g_available = nullptr;
RxNoUpdatesAvailableCallback g_noUpdates = nullptr;
RxNoUpdatesAvailableCallback g_lastNoUpdates = nullptr;
RxUpdateErrorCallback g_error = nullptr;

void Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_log.empty())
        g_log += ';';
    g_log += call;
    if (const char* file = std::getenv("RX_FAKE_LOG")) {
        if (std::FILE* f = std::fopen(file, "a")) {
            std::fprintf(f, "%s\n", call.c_str());
            std::fclose(f);
        }
    }
}

// The argument as the layout says: a tag, and for a string the byte length before the text.
std::string Describe(const RxVariant& v) {
    if (v.vt != RX_VT_BSTR)
        return "vt" + std::to_string(v.vt);
    if (v.reserved[0] || v.reserved[1] || v.reserved[2])
        return "reserved-not-zero";
    const char16_t* text = v.bstrVal;
    if (!text)
        return "null";
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(text) - 4, 4);
    std::size_t units = 0;
    while (text[units])
        ++units;
    if (bytes != units * 2)
        return "bad-length-prefix";
    std::string out = "\"";
    for (std::size_t i = 0; i < units; ++i)
        out += text[i] < 0x80 ? char(text[i]) : '?';
    return out + "\"";
}

std::string Flag(const void* cb, std::int32_t flag) {
    return std::string(cb ? "cb," : "null,") + std::to_string(flag);
}

template <typename F> void Run(bool onThread, F f) {
    if (onThread)
        std::thread(f).join();
    else
        f();
}

// Outcomes of a check: 0 nothing, 1 no updates, 2 error, 3 no updates from another thread,
// 4 no updates reported twice (a component that ignores the removal of its callbacks),
// 5 the last no-updates callback ever registered, even when removed.
void Report(int outcome) {
    RxNoUpdatesAvailableCallback noUpdates;
    RxNoUpdatesAvailableCallback last;
    RxUpdateErrorCallback error;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        noUpdates = g_noUpdates;
        last = g_lastNoUpdates;
        error = g_error;
    }
    switch (outcome) {
    case 1:
        if (noUpdates)
            noUpdates(0);
        break;
    case 2:
        if (error)
            error(0, 0);
        break;
    case 3:
        if (noUpdates)
            Run(true, [noUpdates] { noUpdates(0); });
        break;
    case 4:
        if (noUpdates) {
            noUpdates(0);
            noUpdates(0);
        }
        break;
    case 5:
        if (last)
            last(0);
        break;
    default:
        break;
    }
}
} // namespace

// --- the ten entry points ---------------------------------------------------------------------

FAKE_EXPORT std::int32_t Update_Init(RxVariant settingsAddress, RxVariant version) {
    Record("Update_Init(" + Describe(settingsAddress) + "," + Describe(version) + ")");
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_initResult;
}

#ifndef RX_FAKE_WITHOUT_PRODUCT_NAME
FAKE_EXPORT void Update_SetProductName(RxVariant name) {
    Record("Update_SetProductName(" + Describe(name) + ")");
}
#endif

FAKE_EXPORT void Set_OnCloseApplication(RxCloseApplicationCallback cb, std::int32_t flag) {
    Record("Set_OnCloseApplication(" + Flag(reinterpret_cast<void*>(cb), flag) + ")");
    std::lock_guard<std::mutex> lock(g_mutex);
    g_close = flag ? cb : nullptr;
}

FAKE_EXPORT void Set_OnUpdatesAvailable(RxUpdatesAvailableCallback cb, std::int32_t flag) {
    Record("Set_OnUpdatesAvailable(" + Flag(reinterpret_cast<void*>(cb), flag) + ")");
    std::lock_guard<std::mutex> lock(g_mutex);
    g_available = flag ? cb : nullptr;
}

FAKE_EXPORT void Update_SetParentWnd(std::uintptr_t window) {
    Record(window ? "Update_SetParentWnd(window)" : "Update_SetParentWnd(0)");
    std::lock_guard<std::mutex> lock(g_mutex);
    g_parent = window;
}

FAKE_EXPORT void Update_Check() {
    Record("Update_Check()");
    int outcome;
    RxCloseApplicationCallback close;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        outcome = g_autoOutcome;
        close = g_close;
    }
    Report(outcome);
    if (g_closeOnCheck && close)
        Run(true, [close] { close(0); });
}

FAKE_EXPORT void Set_OnNoUpdatesAvailable(RxNoUpdatesAvailableCallback cb, std::int32_t flag) {
    Record("Set_OnNoUpdatesAvailable(" + Flag(reinterpret_cast<void*>(cb), flag) + ")");
    std::lock_guard<std::mutex> lock(g_mutex);
    g_noUpdates = flag ? cb : nullptr;
    if (g_noUpdates)
        g_lastNoUpdates = g_noUpdates;
}

FAKE_EXPORT void Set_OnError(RxUpdateErrorCallback cb, std::int32_t flag) {
    Record("Set_OnError(" + Flag(reinterpret_cast<void*>(cb), flag) + ")");
    std::lock_guard<std::mutex> lock(g_mutex);
    g_error = flag ? cb : nullptr;
}

FAKE_EXPORT void Update_CheckManual() {
    Record("Update_CheckManual()");
    int outcome;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        outcome = g_manualOutcome;
    }
    Report(outcome);
}

FAKE_EXPORT void Update_Close() {
    Record("Update_Close()");
}

// --- control of the fake by the tests -----------------------------------------------------------

FAKE_EXPORT void Fake_Reset() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log.clear();
    g_initResult = 0;
    g_manualOutcome = 0;
    g_autoOutcome = 0;
    g_parent = 0;
    g_close = nullptr;
    g_available = nullptr;
    g_noUpdates = nullptr;
    g_lastNoUpdates = nullptr;
    g_error = nullptr;
}

// The calls so far, separated by ';'. Valid until the next call of Fake_Log.
FAKE_EXPORT const char* Fake_Log() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_logCopy = g_log;
    return g_logCopy.c_str();
}

FAKE_EXPORT void Fake_ClearLog() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log.clear();
}

FAKE_EXPORT void Fake_SetInitResult(std::int32_t result) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_initResult = result;
}

FAKE_EXPORT void Fake_SetManualOutcome(int outcome) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_manualOutcome = outcome;
}

FAKE_EXPORT void Fake_SetAutoOutcome(int outcome) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_autoOutcome = outcome;
}

FAKE_EXPORT std::uintptr_t Fake_ParentWindow() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_parent;
}

// Calls the registered close callback; -1 when none is registered.
FAKE_EXPORT std::int32_t Fake_CallClose(int onThread) {
    RxCloseApplicationCallback cb;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        cb = g_close;
    }
    if (!cb)
        return -1;
    std::int32_t result = 0;
    Run(onThread != 0, [&] { result = cb(0); });
    return result;
}

// Hands the value to the registered updates-available callback; -1 when none is registered.
FAKE_EXPORT std::int32_t Fake_CallUpdatesAvailable(RxVariant value) {
    RxUpdatesAvailableCallback cb;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        cb = g_available;
    }
    return cb ? cb(value, 0) : -1;
}

// Calls the registered error callback; -1 when none is registered.
FAKE_EXPORT std::int32_t Fake_CallError() {
    RxUpdateErrorCallback cb;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        cb = g_error;
    }
    return cb ? cb(0, 0) : -1;
}

// Reports an outcome (as numbered for Report above) as if a check had ended.
FAKE_EXPORT void Fake_Report(int outcome) {
    Report(outcome);
}
