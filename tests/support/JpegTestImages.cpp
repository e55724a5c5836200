#include "tests/support/JpegTestImages.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>

namespace rxtest {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return. The helpers jump
// back to a setjmp in a frame that holds no C++ objects.
struct Trap {
    jpeg_error_mgr mgr;
    std::jmp_buf exit;
};

[[noreturn]] void JumpOut(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<Trap*>(cinfo->err)->exit, 1);
}
void Quiet(j_common_ptr) {}

void InitTrap(Trap* trap) {
    jpeg_std_error(&trap->mgr);
    trap->mgr.error_exit = JumpOut;
    trap->mgr.output_message = Quiet;
}

std::uint8_t Sample(int x, int y, int c, std::uint32_t* seed) {
    *seed = *seed * 1664525u + 1013904223u;
    const int noise = static_cast<int>((*seed >> 24) % 25) - 12;
    const int gradient = (x * (3 + c) + y * (5 - c)) % 256;
    const int edge = ((x / 17 + y / 11 + c) % 3) * 40;
    return static_cast<std::uint8_t>(std::clamp(gradient / 2 + edge + noise + 40, 0, 255));
}

struct Encoder {
    const JpegRecipe* recipe;
    const rx::Bytes* pixels;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    Trap trap;
    jpeg_compress_struct c{};
};

bool RunEncoder(Encoder* e) {
    if (setjmp(e->trap.exit))
        return false;
    const JpegRecipe& s = *e->recipe;
    jpeg_create_compress(&e->c);
    jpeg_mem_dest(&e->c, &e->buffer, &e->size);
    e->c.image_width = static_cast<JDIMENSION>(s.width);
    e->c.image_height = static_cast<JDIMENSION>(s.height);
    e->c.input_components = s.components;
    e->c.in_color_space = s.components == 1   ? JCS_GRAYSCALE
                          : s.components == 4 ? JCS_CMYK
                                              : JCS_RGB;
    jpeg_set_defaults(&e->c);
    if (s.components == 4)
        jpeg_set_colorspace(&e->c, JCS_CMYK);
    jpeg_set_quality(&e->c, s.quality, TRUE);
    e->c.optimize_coding = s.optimizeCoding ? TRUE : FALSE;
    e->c.restart_interval = static_cast<unsigned>(s.restartInterval);
    if (s.progressive)
        jpeg_simple_progression(&e->c);
    if (!s.jfif) {
        e->c.write_JFIF_header = FALSE;
        e->c.write_Adobe_marker = FALSE;
    }
    jpeg_start_compress(&e->c, TRUE);
    for (const JpegMarker& m : s.markers)
        jpeg_write_marker(&e->c, m.type, m.data.data(), static_cast<unsigned>(m.data.size()));
    const size_t stride = size_t(s.width) * s.components;
    while (e->c.next_scanline < e->c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(e->pixels->data() + stride * e->c.next_scanline);
        jpeg_write_scanlines(&e->c, &row, 1);
    }
    jpeg_finish_compress(&e->c);
    return true;
}

struct Decoder {
    const rx::Bytes* bytes;
    bool readPixels = false;
    JpegSamples* samples = nullptr;
    JpegInfo* info = nullptr;
    Trap trap;
    jpeg_decompress_struct d{};
};

bool RunDecoder(Decoder* dec) {
    if (setjmp(dec->trap.exit))
        return false;
    jpeg_create_decompress(&dec->d);
    if (dec->info) {
        jpeg_save_markers(&dec->d, JPEG_COM, 0xFFFF);
        for (int n = 0; n < 16; ++n)
            jpeg_save_markers(&dec->d, JPEG_APP0 + n, 0xFFFF);
    }
    jpeg_mem_src(&dec->d, dec->bytes->data(), static_cast<unsigned long>(dec->bytes->size()));
    jpeg_read_header(&dec->d, TRUE);
    if (dec->info) {
        JpegInfo& i = *dec->info;
        i.progressive = dec->d.progressive_mode != 0;
        i.restartInterval = dec->d.restart_interval;
        i.components = dec->d.num_components;
        for (jpeg_saved_marker_ptr m = dec->d.marker_list; m; m = m->next)
            i.markers.push_back({m->marker, rx::Bytes(m->data, m->data + m->data_length)});
        if (dec->d.quant_tbl_ptrs[0])
            for (int k = 0; k < 64; ++k)
                i.luminanceTable[size_t(k)] = dec->d.quant_tbl_ptrs[0]->quantval[k];
    }
    if (dec->readPixels) {
        jpeg_start_decompress(&dec->d);
        JpegSamples& s = *dec->samples;
        s.width = int(dec->d.output_width);
        s.height = int(dec->d.output_height);
        s.components = dec->d.output_components;
        const size_t stride = size_t(s.width) * s.components;
        s.samples.resize(stride * size_t(s.height));
        while (dec->d.output_scanline < dec->d.output_height) {
            JSAMPROW row = s.samples.data() + stride * dec->d.output_scanline;
            jpeg_read_scanlines(&dec->d, &row, 1);
        }
        jpeg_finish_decompress(&dec->d);
    }
    return true;
}

} // namespace

rx::Bytes MakeJpeg(const JpegRecipe& recipe) {
    rx::Bytes pixels(size_t(recipe.width) * recipe.height * recipe.components);
    std::uint32_t seed = 12345;
    for (int y = 0; y < recipe.height; ++y)
        for (int x = 0; x < recipe.width; ++x)
            for (int c = 0; c < recipe.components; ++c)
                pixels[(size_t(y) * recipe.width + x) * recipe.components + c] =
                    Sample(x, y, c, &seed);
    Encoder e{&recipe, &pixels};
    InitTrap(&e.trap);
    e.c.err = &e.trap.mgr;
    const bool ok = RunEncoder(&e);
    jpeg_destroy_compress(&e.c);
    rx::Bytes out;
    if (ok)
        out.assign(e.buffer, e.buffer + e.size);
    std::free(e.buffer);
    if (!ok)
        throw std::runtime_error("test JPEG could not be encoded");
    return out;
}

JpegSamples DecodeJpeg(const rx::Bytes& bytes) {
    JpegSamples samples;
    Decoder dec{&bytes, true, &samples, nullptr};
    InitTrap(&dec.trap);
    dec.d.err = &dec.trap.mgr;
    samples.ok = RunDecoder(&dec);
    jpeg_destroy_decompress(&dec.d);
    return samples;
}

JpegInfo ReadJpegInfo(const rx::Bytes& bytes) {
    JpegInfo info;
    Decoder dec{&bytes, false, nullptr, &info};
    InitTrap(&dec.trap);
    dec.d.err = &dec.trap.mgr;
    info.ok = RunDecoder(&dec);
    jpeg_destroy_decompress(&dec.d);
    return info;
}

std::vector<JpegMarker> IccMarkers(size_t profileSize) {
    constexpr size_t kChunk = 65519; // 65533 bytes of marker data minus the 14-byte header
    const size_t count = (profileSize + kChunk - 1) / kChunk;
    std::vector<JpegMarker> markers;
    for (size_t i = 0; i < count; ++i) {
        JpegMarker m{JPEG_APP0 + 2, {}};
        const char tag[] = "ICC_PROFILE";
        m.data.assign(tag, tag + sizeof tag); // with its terminating zero
        m.data.push_back(std::uint8_t(i + 1));
        m.data.push_back(std::uint8_t(count));
        const size_t n = std::min(kChunk, profileSize - i * kChunk);
        for (size_t k = 0; k < n; ++k)
            m.data.push_back(std::uint8_t((i * kChunk + k) * 31 + 7));
        markers.push_back(std::move(m));
    }
    return markers;
}

JpegMarker TextMarker(int type, const char* text, size_t padTo) {
    JpegMarker m{type, rx::Bytes(text, text + std::strlen(text))};
    for (size_t k = m.data.size(); k < padTo; ++k)
        m.data.push_back(std::uint8_t(k));
    return m;
}

} // namespace rxtest
