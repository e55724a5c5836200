#include "engine/JpegCheck.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <memory>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h: the arithmetic-coding message codes depend on its configuration.
#include <jerror.h>

namespace rx {
namespace {

// Per thread: a file is checked and re-encoded on the thread that works on it, and files in
// flight on other threads must not push each other's results out.
thread_local std::weak_ptr<const Bytes> t_lastSound;

struct CheckRun {
    std::jmp_buf exit;
    jpeg_error_mgr errors{};
    jpeg_decompress_struct in{};
    // The row buffer lives here, not in Decode: a longjmp out of Decode skips its destructors.
    std::vector<JSAMPLE> row;
};

[[noreturn]] void Abandon(j_common_ptr cinfo) {
    std::longjmp(static_cast<CheckRun*>(cinfo->client_data)->exit, 1);
}

void FilterMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && IsDamagedJpegDataWarning(cinfo->err->msg_code))
        Abandon(cinfo);
}

void DiscardMessage(j_common_ptr) {}

// The decoding itself, apart from the frame that owns the objects (setjmp rules).
bool Decode(CheckRun* run, const SharedBytes& bytes) {
    if (setjmp(run->exit))
        return false;
    jpeg_create_decompress(&run->in);
    jpeg_mem_src(&run->in, bytes->data(), static_cast<unsigned long>(bytes->size()));
    if (jpeg_read_header(&run->in, TRUE) != JPEG_HEADER_OK)
        return false;
    run->in.scale_num = 1;
    run->in.scale_denom = 8;
    run->in.dct_method = JDCT_IFAST;
    run->in.do_fancy_upsampling = FALSE;
    run->in.do_block_smoothing = FALSE;
    run->in.out_color_space =
        run->in.jpeg_color_space == JCS_CMYK || run->in.jpeg_color_space == JCS_YCCK
            ? JCS_CMYK
            : JCS_GRAYSCALE; // cheapest output; every scan is still read
    jpeg_start_decompress(&run->in);
    run->row.resize(static_cast<size_t>(run->in.output_width) *
                    static_cast<size_t>(run->in.output_components));
    JSAMPROW rows[1] = {run->row.data()};
    while (run->in.output_scanline < run->in.output_height)
        jpeg_read_scanlines(&run->in, rows, 1);
    jpeg_finish_decompress(&run->in);
    return true;
}

} // namespace

bool JpegDataIsSound(const SharedBytes& bytes) {
    if (!bytes || bytes->empty())
        return false;
    if (t_lastSound.lock() == bytes)
        return true;
    auto run = std::make_unique<CheckRun>();
    jpeg_std_error(&run->errors);
    run->errors.error_exit = Abandon;
    run->errors.emit_message = FilterMessage;
    run->errors.output_message = DiscardMessage;
    run->in.err = &run->errors;
    run->in.client_data = run.get();
    const bool sound = Decode(run.get(), bytes);
    jpeg_destroy_decompress(&run->in);
    if (sound)
        RememberSoundJpeg(bytes);
    return sound;
}

void RememberSoundJpeg(const SharedBytes& bytes) {
    t_lastSound = bytes;
}

bool IsDamagedJpegDataWarning(int code) {
    switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

} // namespace rx
