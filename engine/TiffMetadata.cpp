#include "engine/TiffMetadata.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "engine/TiffReader.h"

namespace rx::tiffmeta {
namespace {

constexpr std::uint16_t kExifIfd = 34665, kGpsIfd = 34853, kInteropIfd = 40965;
constexpr std::uint16_t kPixelXDimension = 40962, kPixelYDimension = 40963;
constexpr std::uint16_t kTypeLong = 4;

// The first-directory tags that describe the picture rather than the pixels. Everything else
// there (size, layout, compression, resolution, orientation, XMP, IPTC, ICC) is the saver's.
bool IsDescriptive(std::uint16_t tag) {
    switch (tag) {
    case 269:   // DocumentName
    case 270:   // ImageDescription
    case 271:   // Make
    case 272:   // Model
    case 285:   // PageName
    case 305:   // Software
    case 306:   // DateTime
    case 315:   // Artist
    case 316:   // HostComputer
    case 318:   // WhitePoint
    case 319:   // PrimaryChromaticities
    case 18246: // Rating
    case 18249: // RatingPercent
    case 33432: // Copyright
    case 40091: // XPTitle
    case 40092: // XPComment
    case 40093: // XPAuthor
    case 40094: // XPKeywords
    case 40095: // XPSubject
    case kExifIfd:
    case kGpsIfd:
        return true;
    default:
        return false;
    }
}

bool KeepAll(std::uint16_t) {
    return true;
}

bool IsDirectory(std::uint16_t tag) {
    return tag == kExifIfd || tag == kGpsIfd || tag == kInteropIfd;
}

// Bytes of one value of a field type, and the unit its byte order applies to; 0 when unknown.
std::size_t TypeSize(std::uint16_t type) {
    static const std::uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < sizeof sizes ? sizes[type] : 0;
}
std::size_t UnitSize(std::uint16_t type) {
    return type == 5 || type == 10 ? 4 : TypeSize(type);
}

// A directory entry with its value in little-endian units; a directory pointer holds the
// directory it points to instead.
struct Entry {
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0;
    Bytes value;
    std::vector<Entry> directory;
};

// The entries of the directory at `offset` that `keep` accepts, with the directories they
// point to (two levels at most). False when the directory lies outside the data.
bool ReadDirectory(const TiffReader& r, std::uint32_t offset, int depth,
                   bool (*keep)(std::uint16_t), std::vector<Entry>& out) {
    const std::uint16_t entries = r.u16(offset);
    if (offset < 8 || !r.fits(offset, 2 + std::size_t(entries) * 12))
        return false;
    for (std::uint16_t i = 0; i < entries; ++i) {
        const std::size_t at = std::size_t(offset) + 2 + std::size_t(i) * 12;
        Entry e;
        e.tag = r.u16(at);
        e.type = r.u16(at + 2);
        e.count = r.u32(at + 4);
        const std::size_t size = TypeSize(e.type);
        if (!keep(e.tag) || size == 0 || e.count == 0 || e.count > (16u << 20) / size)
            continue;
        if (IsDirectory(e.tag)) {
            if (depth >= 2 || e.count != 1 || UnitSize(e.type) != 4 ||
                !ReadDirectory(r, r.u32(at + 8), depth + 1, KeepAll, e.directory) ||
                e.directory.empty())
                continue;
            e.type = kTypeLong;
            out.push_back(std::move(e));
            continue;
        }
        const std::size_t length = size * e.count;
        const std::size_t from = length <= 4 ? at + 8 : r.u32(at + 8);
        if (!r.fits(from, length))
            continue;
        e.value.assign(r.data() + from, r.data() + from + length);
        const std::size_t unit = UnitSize(e.type);
        if (!r.little() && unit > 1)
            for (std::size_t k = 0; k < length; k += unit)
                std::reverse(e.value.begin() + long(k), e.value.begin() + long(k + unit));
        out.push_back(std::move(e));
    }
    return true;
}

// Appends directories to a TIFF structure held in `out`, whose offsets count from `base`.
class Writer {
public:
    Writer(Bytes& out, std::size_t base, bool little) : out_(out), base_(base), little_(little) {}

    void put16(std::uint16_t v) {
        if (little_)
            out_.insert(out_.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
        else
            out_.insert(out_.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    }
    void put32(std::uint32_t v) {
        put16(std::uint16_t(little_ ? v : v >> 16));
        put16(std::uint16_t(little_ ? v >> 16 : v));
    }
    void set32(std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            out_[at + std::size_t(k)] = std::uint8_t(little_ ? v >> (8 * k) : v >> (24 - 8 * k));
    }
    // Offsets are even, as TIFF wants them.
    std::uint32_t here() {
        if ((out_.size() - base_) % 2)
            out_.push_back(0);
        return std::uint32_t(out_.size() - base_);
    }

    // One directory: `raw` are entries already encoded in this structure (kept as they are),
    // `entries` new ones. Returns the directory's offset.
    std::uint32_t directory(const std::vector<const std::uint8_t*>& raw,
                            const std::vector<const Entry*>& entries, std::uint32_t next) {
        struct Slot {
            std::uint16_t tag;
            const std::uint8_t* raw;
            const Entry* entry;
        };
        std::vector<Slot> slots;
        for (const std::uint8_t* r : raw)
            slots.push_back(
                {std::uint16_t(little_ ? r[0] | r[1] << 8 : r[0] << 8 | r[1]), r, nullptr});
        for (const Entry* e : entries)
            slots.push_back({e->tag, nullptr, e});
        std::stable_sort(slots.begin(), slots.end(),
                         [](const Slot& a, const Slot& b) { return a.tag < b.tag; });
        const std::uint32_t offset = here();
        put16(std::uint16_t(slots.size()));
        std::vector<std::pair<std::size_t, const Entry*>> later; // value offsets to fill in
        for (const Slot& s : slots) {
            if (s.raw) {
                out_.insert(out_.end(), s.raw, s.raw + 12);
                continue;
            }
            const Entry& e = *s.entry;
            put16(e.tag);
            put16(e.type);
            put32(e.count);
            const std::size_t at = out_.size();
            if (e.directory.empty() && e.value.size() <= 4) {
                putValue(e);
                out_.resize(at + 4, 0);
            } else {
                put32(0);
                later.emplace_back(at, &e);
            }
        }
        put32(next);
        for (const auto& [at, e] : later) {
            if (!e->directory.empty()) {
                std::vector<const Entry*> inner;
                for (const Entry& d : e->directory)
                    inner.push_back(&d);
                set32(at, directory({}, inner, 0));
            } else {
                set32(at, here());
                putValue(*e);
            }
        }
        return offset;
    }

private:
    void putValue(const Entry& e) {
        const std::size_t unit = UnitSize(e.type);
        const std::size_t start = out_.size();
        out_.insert(out_.end(), e.value.begin(), e.value.end());
        if (!little_ && unit > 1)
            for (std::size_t k = start; k + unit <= out_.size(); k += unit)
                std::reverse(out_.begin() + long(k), out_.begin() + long(k + unit));
    }

    Bytes& out_;
    std::size_t base_;
    bool little_;
};

Bytes LongValue(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

std::size_t ValueBytes(const std::vector<Entry>& entries) {
    std::size_t sum = 0;
    for (const Entry& e : entries)
        sum += 12 + e.value.size() + ValueBytes(e.directory);
    return sum;
}

// The descriptive entries of an EXIF block or a TIFF file.
bool ReadDescriptive(const std::uint8_t* data, std::size_t size, std::vector<Entry>& out) {
    TiffReader r(data, size);
    const std::uint32_t first = r.header();
    return first != 0 && ReadDirectory(r, first, 0, IsDescriptive, out);
}

} // namespace

Bytes ExifBlockFromTiff(const std::uint8_t* data, std::size_t size) {
    std::vector<Entry> entries;
    if (!data || !ReadDescriptive(data, size, entries) || entries.empty())
        return {};
    Bytes out = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    Writer w(out, 6, true);
    std::vector<const Entry*> list;
    for (const Entry& e : entries)
        list.push_back(&e);
    w.directory({}, list, 0);
    return out;
}

bool AddExifToTiff(Bytes& tiff, const std::uint8_t* exif, std::size_t size, std::uint32_t width,
                   std::uint32_t height) {
    if (exif && size >= 6 && std::memcmp(exif, "Exif\0\0", 6) == 0) {
        exif += 6;
        size -= 6;
    }
    std::vector<Entry> entries;
    if (!exif || !ReadDescriptive(exif, size, entries) || ValueBytes(entries) > (16u << 20))
        return false;
    TiffReader r(tiff.data(), tiff.size());
    const std::uint32_t first = r.header();
    const std::uint16_t count = r.u16(first);
    if (first == 0 || !r.fits(first, 2 + std::size_t(count) * 12 + 4) ||
        tiff.size() > 0xffff0000u - (std::size_t(64) << 20))
        return false;
    std::vector<const std::uint8_t*> raw;
    std::set<std::uint16_t> present;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::size_t at = std::size_t(first) + 2 + std::size_t(i) * 12;
        raw.push_back(tiff.data() + at);
        present.insert(r.u16(at));
    }
    std::vector<const Entry*> added;
    for (Entry& e : entries) {
        if (present.count(e.tag))
            continue;
        for (Entry& d : e.directory)
            if (d.tag == kPixelXDimension || d.tag == kPixelYDimension) {
                d.type = kTypeLong;
                d.count = 1;
                d.value = LongValue(d.tag == kPixelXDimension ? width : height);
            }
        added.push_back(&e);
    }
    if (added.empty())
        return true;
    const std::uint32_t next = r.u32(std::size_t(first) + 2 + std::size_t(count) * 12);
    // The new first directory goes at the end; the raw entries are copied out first, as the
    // file grows under them.
    Bytes rawCopy;
    for (const std::uint8_t* p : raw)
        rawCopy.insert(rawCopy.end(), p, p + 12);
    raw.clear();
    for (std::size_t k = 0; k < rawCopy.size(); k += 12)
        raw.push_back(rawCopy.data() + k);
    Writer w(tiff, 0, r.little());
    const std::uint32_t offset = w.directory(raw, added, next);
    w.set32(4, offset);
    return true;
}

} // namespace rx::tiffmeta
