// The binary interface between the program and the update component "AutoUpdate"
// (libAutoUpdate.so): the value types its entry points take and the signatures of the ten entry
// points and of the four callbacks. Plain C layout, so a component written in any language can
// implement it. Included by the program and by the test component; nothing here needs Qt.
//
// Layout of the two value types (little-endian, as the machine):
//
//   RxBstr  a length-prefixed UTF-16 string. The pointer points at the first UTF-16 code unit;
//           the four bytes just before it hold the length in BYTES (not counting the
//           terminator) as an unsigned 32-bit integer, and one 0 code unit follows the text.
//           A null RxBstr is the empty string. Allocated and freed only with RxBstrAlloc and
//           RxBstrFree (one heap block: prefix, text, terminator).
//
//   RxVariant  a tagged value of 16 bytes:
//           offset 0  uint16_t vt         which member is valid (RX_VT_EMPTY, RX_VT_I4, RX_VT_BSTR)
//           offset 2  uint16_t reserved[3] always 0
//           offset 8  the value: int32_t lVal (RX_VT_I4) or RxBstr bstrVal (RX_VT_BSTR)
//           A variant holding a string owns it; RxVariantClear frees it and leaves RX_VT_EMPTY.
//
// Every entry point and callback uses the platform's C calling convention. Callbacks may be
// called on any thread of the component.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" {

typedef char16_t* RxBstr;

enum : std::uint16_t { RX_VT_EMPTY = 0, RX_VT_I4 = 3, RX_VT_BSTR = 8 };

struct RxVariant {
    std::uint16_t vt;
    std::uint16_t reserved[3];
    union {
        std::int32_t lVal;
        RxBstr bstrVal;
        std::uint64_t raw;
    };
};
static_assert(sizeof(RxVariant) == 16, "RxVariant is 16 bytes");
static_assert(offsetof(RxVariant, bstrVal) == 8, "the value of an RxVariant is at offset 8");

// The program's callbacks (see UpdateComponent.h for what each does).
typedef std::int32_t (*RxCloseApplicationCallback)(std::int32_t);
typedef std::int32_t (*RxUpdatesAvailableCallback)(RxVariant, std::int32_t);
typedef std::int32_t (*RxNoUpdatesAvailableCallback)(std::int32_t);
typedef std::int32_t (*RxUpdateErrorCallback)(std::int32_t, std::int32_t);

// The ten entry points, by their exported names.
typedef std::int32_t (*RxUpdateInitFn)(RxVariant settingsAddress,
                                       RxVariant version); // "Update_Init"
typedef void (*RxUpdateSetProductNameFn)(RxVariant name);  // "Update_SetProductName"
typedef void (*RxSetOnCloseApplicationFn)(RxCloseApplicationCallback, std::int32_t);
typedef void (*RxSetOnUpdatesAvailableFn)(RxUpdatesAvailableCallback, std::int32_t);
typedef void (*RxUpdateSetParentWndFn)(std::uintptr_t window); // "Update_SetParentWnd"
typedef void (*RxUpdateCheckFn)();                             // "Update_Check"
typedef void (*RxSetOnNoUpdatesAvailableFn)(RxNoUpdatesAvailableCallback, std::int32_t);
typedef void (*RxSetOnErrorFn)(RxUpdateErrorCallback, std::int32_t);
typedef void (*RxUpdateCheckManualFn)(); // "Update_CheckManual"
typedef void (*RxUpdateCloseFn)();       // "Update_Close"

} // extern "C"

namespace rx::update {

// Exported names of the entry points.
inline constexpr char kUpdateInit[] = "Update_Init";
inline constexpr char kUpdateSetProductName[] = "Update_SetProductName";
inline constexpr char kSetOnCloseApplication[] = "Set_OnCloseApplication";
inline constexpr char kSetOnUpdatesAvailable[] = "Set_OnUpdatesAvailable";
inline constexpr char kUpdateSetParentWnd[] = "Update_SetParentWnd";
inline constexpr char kUpdateCheck[] = "Update_Check";
inline constexpr char kSetOnNoUpdatesAvailable[] = "Set_OnNoUpdatesAvailable";
inline constexpr char kSetOnError[] = "Set_OnError";
inline constexpr char kUpdateCheckManual[] = "Update_CheckManual";
inline constexpr char kUpdateClose[] = "Update_Close";

// Allocates a string of the layout above; a copy of the text. Never returns null.
RxBstr RxBstrAlloc(std::u16string_view text);
// Frees a string from RxBstrAlloc; null is allowed.
void RxBstrFree(RxBstr s);
// Length in UTF-16 code units, read from the prefix (0 for null).
std::uint32_t RxBstrLength(const char16_t* s);
// The text of the string (empty for null).
std::u16string_view RxBstrView(const char16_t* s);
// Strings allocated and not yet freed, process-wide (for leak checks).
long RxBstrLiveCount();

// A variant holding a copy of the text as a string.
RxVariant RxVariantFromText(std::u16string_view text);
// Frees what the variant owns and leaves it empty.
void RxVariantClear(RxVariant& v);

// Owns one string variant for the length of a call (built before it, released after it).
class ScopedVariant {
public:
    explicit ScopedVariant(std::u16string_view text) : v_(RxVariantFromText(text)) {}
    ~ScopedVariant() { RxVariantClear(v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    // The variant as passed by value: the copy shares the string, which this object frees.
    const RxVariant& get() const { return v_; }

private:
    RxVariant v_;
};

} // namespace rx::update
