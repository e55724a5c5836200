#include "PngTestFiles.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <png.h>
#include <zlib.h>

namespace rxtest::png {
namespace {

void Append(png_structp png, png_bytep data, size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

struct Source {
    const Bytes* bytes;
    std::size_t pos;
};
void Take(png_structp png, png_bytep out, size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (s->bytes->size() - s->pos < n)
        png_error(png, "short");
    std::memcpy(out, s->bytes->data() + s->pos, n);
    s->pos += n;
}
void Quiet(png_structp, png_const_charp) {}

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

} // namespace

int RawPng::channels() const {
    switch (colorType) {
    case 4:
        return 2;
    case 2:
        return 3;
    case 6:
        return 4;
    default:
        return 1;
    }
}

std::size_t RawPng::rowBytes() const {
    return (std::size_t(width) * channels() * bitDepth + 7) / 8;
}

Bytes EncodePng(const RawPng& im) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(im.height);
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < im.palette.size(); i += 3)
        palette.push_back({im.palette[i], im.palette[i + 1], im.palette[i + 2]});
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("EncodePng failed");
    }
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, im.width, im.height, im.bitDepth, im.colorType, im.interlace,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!im.transAlpha.empty())
        png_set_tRNS(png, info, im.transAlpha.data(), int(im.transAlpha.size()), nullptr);
    if (im.hasKey) {
        png_color_16 key{0, im.keyRed, im.keyGreen, im.keyBlue, im.keyGray};
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_set_compression_level(png, im.zlibLevel);
    png_set_filter(png, 0, im.filter);
    for (std::uint32_t y = 0; y < im.height; ++y)
        rows[y] = const_cast<png_bytep>(im.rows.data() + y * im.rowBytes());
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

RawPng MakeRaw(int colorType, int bitDepth, std::uint32_t width, std::uint32_t height,
               int interlace, std::uint32_t seed) {
    RawPng im;
    im.width = width;
    im.height = height;
    im.bitDepth = bitDepth;
    im.colorType = colorType;
    im.interlace = interlace;
    im.rows.resize(im.rowBytes() * height);
    std::uint32_t state = seed * 2654435761u + 12345;
    // Smooth bands with noise: compressible, yet every byte value shows up.
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::size_t i = 0; i < im.rowBytes(); ++i) {
            state = state * 1103515245u + 12345u;
            const std::uint8_t noise = std::uint8_t(state >> 24);
            im.rows[y * im.rowBytes() + i] =
                std::uint8_t((i * 7 + y * 3) & 0xff) ^ ((state >> 16) & 1 ? noise : 0);
        }
    if (colorType == 3) {
        const int entries = 1 << bitDepth;
        for (int i = 0; i < entries; ++i) {
            im.palette.push_back(std::uint8_t(i * 37));
            im.palette.push_back(std::uint8_t(255 - i));
            im.palette.push_back(std::uint8_t(i * 11));
        }
    }
    return im;
}

std::size_t VisibleDifferences(const Pixels& before, const Pixels& after) {
    if (before.rgba.size() != after.rgba.size())
        return std::max(before.rgba.size(), after.rgba.size());
    std::size_t differences = 0;
    for (std::size_t i = 0; i < before.rgba.size(); i += 4) {
        const bool visible = before.rgba[i + 3] != 0;
        for (std::size_t c = visible ? 0 : 3; c < 4; ++c)
            differences += before.rgba[i + c] != after.rgba[i + c];
    }
    return differences;
}

Pixels Decode(const Bytes& bytes) {
    Pixels px;
    Source src{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        px.ok = false;
        return px;
    }
    png_set_read_fn(png, &src, Take);
    png_read_info(png, info);
    px.width = png_get_image_width(png, info);
    px.height = png_get_image_height(png, info);
    png_set_expand_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(px.width) * 8)
        png_error(png, "unexpected layout");
    Bytes data(std::size_t(px.width) * 8 * px.height);
    rows.resize(px.height);
    for (std::uint32_t y = 0; y < px.height; ++y)
        rows[y] = data.data() + std::size_t(y) * px.width * 8;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    px.rgba.resize(data.size() / 2);
    for (std::size_t i = 0; i < px.rgba.size(); ++i)
        px.rgba[i] = std::uint16_t((data[2 * i] << 8) | data[2 * i + 1]);
    px.ok = true;
    return px;
}

Header ReadHeader(const Bytes& png) {
    Header h;
    for (const Chunk& c : SplitChunks(png)) {
        if (c.name == "IHDR" && c.data.size() == 13) {
            h.width = Be32(c.data.data());
            h.height = Be32(c.data.data() + 4);
            h.bitDepth = c.data[8];
            h.colorType = c.data[9];
            h.interlace = c.data[12];
        } else if (c.name == "PLTE") {
            h.paletteSize = int(c.data.size() / 3);
        } else if (c.name == "tRNS") {
            h.hasTrns = true;
            h.transCount = int(c.data.size());
        }
    }
    return h;
}

std::vector<Chunk> SplitChunks(const Bytes& png) {
    std::vector<Chunk> chunks;
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const std::uint32_t len = Be32(png.data() + pos);
        if (pos + 12 + len > png.size())
            break;
        Chunk c;
        c.name.assign(reinterpret_cast<const char*>(png.data() + pos + 4), 4);
        c.data.assign(png.begin() + pos + 8, png.begin() + pos + 8 + len);
        chunks.push_back(std::move(c));
        pos += 12 + len;
    }
    return chunks;
}

Bytes JoinChunks(const std::vector<Chunk>& chunks) {
    Bytes out = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    for (const Chunk& c : chunks) {
        const std::uint32_t len = std::uint32_t(c.data.size());
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(std::uint8_t(len >> s));
        out.insert(out.end(), c.name.begin(), c.name.end());
        out.insert(out.end(), c.data.begin(), c.data.end());
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.name.data()), 4);
        if (!c.data.empty())
            crc = crc32(crc, c.data.data(), uInt(c.data.size()));
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(std::uint8_t(crc >> s));
    }
    return out;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string TempFolder(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("rx-png-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

EngineRun Optimize(const std::string& path, int level, unsigned threads,
                   rx::png::PngEngineOptions options) {
    EngineRun run;
    options.level = level;
    options.interlace = -1;
    rx::png::PngEngineHooks hooks;
    hooks.text = [&run](const char* format, va_list args) {
        char buf[4096];
        std::vsnprintf(buf, sizeof buf, format, args);
        run.text += buf;
        const char* z = std::strstr(buf, "zc = ");
        if (std::strncmp(buf, "  zc = ", 7) == 0 && z)
            run.trials.emplace_back(z);
    };
    hooks.control = [](int) {};
    hooks.progress = [](unsigned long, unsigned long) {};
    hooks.panic = [&run](const char*) { ++run.panics; };
    rx::png::PngEngine engine;
    engine.setThreadCount(threads);
    if (engine.InitializeEngine(options, hooks) != 0) {
        run.result = -2;
        return run;
    }
    run.result = engine.OptimizeFile(path.c_str());
    engine.FinalizeEngine();
    return run;
}

} // namespace rxtest::png
