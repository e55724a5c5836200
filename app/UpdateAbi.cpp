#include "app/UpdateAbi.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace rx::update {
namespace {
std::atomic<long> g_liveStrings{0};
constexpr std::size_t kPrefix = sizeof(std::uint32_t);
} // namespace

RxBstr RxBstrAlloc(std::u16string_view text) {
    const std::size_t bytes = text.size() * sizeof(char16_t);
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(char16_t)));
    if (!block)
        throw std::bad_alloc();
    const auto length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &length, kPrefix);
    auto* chars = reinterpret_cast<char16_t*>(block + kPrefix);
    if (bytes)
        std::memcpy(chars, text.data(), bytes);
    chars[text.size()] = u'\0';
    ++g_liveStrings;
    return chars;
}

void RxBstrFree(RxBstr s) {
    if (!s)
        return;
    std::free(reinterpret_cast<unsigned char*>(s) - kPrefix);
    --g_liveStrings;
}

std::uint32_t RxBstrLength(const char16_t* s) {
    if (!s)
        return 0;
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(s) - kPrefix, kPrefix);
    return bytes / sizeof(char16_t);
}

std::u16string_view RxBstrView(const char16_t* s) {
    return s ? std::u16string_view(s, RxBstrLength(s)) : std::u16string_view();
}

long RxBstrLiveCount() {
    return g_liveStrings.load();
}

RxVariant RxVariantFromText(std::u16string_view text) {
    RxVariant v{};
    v.vt = RX_VT_BSTR;
    v.bstrVal = RxBstrAlloc(text);
    return v;
}

void RxVariantClear(RxVariant& v) {
    if (v.vt == RX_VT_BSTR)
        RxBstrFree(v.bstrVal);
    v = RxVariant{};
}

} // namespace rx::update
