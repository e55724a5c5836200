#include "engine/MessageBox.h"

#include <cstdio>
#include <mutex>

#include "engine/Text.h"

namespace rx {
namespace {
std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}
MessageBoxHandler& Handler() {
    static MessageBoxHandler h;
    return h;
}
} // namespace

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        handler = Handler();
    }
    if (handler)
        return handler(text, caption, style);
    std::fprintf(stderr, "%s: %s\n", Narrow(caption).c_str(), Narrow(text).c_str());
    return (style & 0xF) == MB_YESNO ? IDNO : IDOK;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

} // namespace rx
