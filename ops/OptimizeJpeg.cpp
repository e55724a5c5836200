#include "ops/OptimizeJpeg.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE

#include <jpeglib.h>
// After jpeglib.h: the arithmetic-coding message codes depend on its configuration.
#include <jerror.h>

#include "engine/Imaging.h"
#include "engine/JpegCheck.h"

namespace rx {
namespace {

// Annex K of the JPEG standard, in natural order: the tables jpeg_set_quality scales too.
const unsigned int kLuminanceTable[DCTSIZE2] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const unsigned int kChrominanceTable[DCTSIZE2] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

constexpr unsigned kMaxMarkerLength = 0xFFFF;

// Everything one run touches. It lives in the caller's frame, outside the function that calls
// setjmp, so that a longjmp neither skips a destructor nor finds a local changed after setjmp.
struct JpegRun {
    const std::uint8_t* bytes = nullptr;
    size_t size = 0;
    int setting = 0;
    const std::function<bool()>* stop = nullptr;
    jpeg_progress_mgr inProgress{};
    jpeg_progress_mgr outProgress{};

    std::jmp_buf exit;
    jpeg_error_mgr inErrors{};
    jpeg_error_mgr outErrors{};
    jpeg_decompress_struct in{};
    jpeg_compress_struct out{};

    // Set by the memory destination; valid once destinationSet. `initial` is the block handed
    // to the destination; the library allocates a new one when it outgrows it, but leaves the
    // initial one to us.
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;
    unsigned char* initial = nullptr;
    bool destinationSet = false;
};

[[noreturn]] void AbandonRun(j_common_ptr cinfo) {
    std::longjmp(static_cast<JpegRun*>(cinfo->client_data)->exit, 1);
}

// A damaged-data warning abandons the run: the library goes on with filler coefficients, so an
// "optimised" file would silently lose image data.
void FilterMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && IsDamagedJpegDataWarning(cinfo->err->msg_code))
        AbandonRun(cinfo);
    // Other warnings and trace messages are of no use here.
}

void DiscardMessage(j_common_ptr) {}

// The library reports progress every scanline batch or row of coefficient blocks, in reading
// and in both passes of writing: the place to give up when the caller has to stop.
void OnProgress(j_common_ptr cinfo) {
    const auto* run = static_cast<const JpegRun*>(cinfo->client_data);
    if (run->stop && (*run->stop)())
        AbandonRun(cinfo);
}

void InstallErrors(jpeg_error_mgr* errors) {
    jpeg_std_error(errors);
    errors->error_exit = AbandonRun;
    errors->emit_message = FilterMessage;
    errors->output_message = DiscardMessage;
}

void WriteKeptMarkers(JpegRun* run) {
    for (jpeg_saved_marker_ptr m = run->in.marker_list; m; m = m->next) {
        if (m->marker == JPEG_COM || m->marker == JPEG_APP0 + 1 || m->marker == JPEG_APP0 + 2 ||
            m->marker == JPEG_APP0 + 13)
            jpeg_write_marker(&run->out, m->marker, m->data, m->data_length);
    }
}

// Starts the memory destination with a block the size of the input, which the re-encoded image
// rarely outgrows: that saves the library's repeated doubling and copying of its block.
void SetDestination(JpegRun* run) {
    const size_t capacity = run->size + 4096;
    run->initial = static_cast<unsigned char*>(std::malloc(capacity));
    run->buffer = run->initial;
    run->bufferSize = run->initial ? static_cast<unsigned long>(capacity) : 0;
    jpeg_mem_dest(&run->out, &run->buffer, &run->bufferSize);
    run->destinationSet = true;
}

void TranscodeLossless(JpegRun* run) {
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&run->in);
    SetDestination(run);
    jpeg_copy_critical_parameters(&run->in, &run->out);
    run->out.optimize_coding = TRUE;
    jpeg_write_coefficients(&run->out, coefficients);
    WriteKeptMarkers(run);
    jpeg_finish_compress(&run->out);
}

void ReencodeAtQuality(JpegRun* run) {
    jpeg_decompress_struct& in = run->in;
    jpeg_compress_struct& out = run->out;
    jpeg_start_decompress(&in);
    // The rows come from the decompressor's image pool, so an abandoned run frees them too.
    JSAMPARRAY rows =
        in.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&in), JPOOL_IMAGE,
                             in.output_width * in.output_components, in.output_height);
    while (in.output_scanline < in.output_height)
        jpeg_read_scanlines(&in, rows + in.output_scanline, in.output_height - in.output_scanline);

    SetDestination(run);
    out.image_width = in.image_width;
    out.image_height = in.image_height;
    out.input_components = in.output_components;
    out.in_color_space = in.out_color_space;
    jpeg_set_defaults(&out);
    if (in.saw_JFIF_marker) { // keep the resolution, as the lossless path does
        out.density_unit = in.density_unit;
        out.X_density = in.X_density;
        out.Y_density = in.Y_density;
    }
    const int scale = JpegQualityScale(run->setting);
    jpeg_add_quant_table(&out, 0, kLuminanceTable, scale, TRUE);
    jpeg_add_quant_table(&out, 1, kChrominanceTable, scale, TRUE);
    out.optimize_coding = TRUE;
    jpeg_start_compress(&out, TRUE);
    WriteKeptMarkers(run);
    while (out.next_scanline < out.image_height)
        jpeg_write_scanlines(&out, rows + out.next_scanline, out.image_height - out.next_scanline);
    jpeg_finish_compress(&out);
}

// The codec calls, under the non-local exit. No object with a destructor is alive here, and
// nothing but *run changes after setjmp.
bool RunCodec(JpegRun* run) {
    if (setjmp(run->exit))
        return false;
    jpeg_create_decompress(&run->in);
    jpeg_create_compress(&run->out);
    if (run->stop) { // after creation, which clears the structures
        run->in.progress = &run->inProgress;
        run->out.progress = &run->outProgress;
    }
    jpeg_save_markers(&run->in, JPEG_COM, kMaxMarkerLength);
    jpeg_save_markers(&run->in, JPEG_APP0 + 13, kMaxMarkerLength);
    jpeg_save_markers(&run->in, JPEG_APP0 + 1, kMaxMarkerLength);
    jpeg_save_markers(&run->in, JPEG_APP0 + 2, kMaxMarkerLength);
    jpeg_mem_src(&run->in, run->bytes, static_cast<unsigned long>(run->size));
    jpeg_read_header(&run->in, TRUE);
    // A header can announce far more pixels than any photo has; refuse before allocating.
    if (std::uint64_t(run->in.image_width) * run->in.image_height > kMaxFramePixels)
        return false;
    if (run->setting < 0)
        TranscodeLossless(run);
    else
        ReencodeAtQuality(run);
    jpeg_finish_decompress(&run->in);
    return true;
}

} // namespace

int JpegQualityScale(int quality) {
    if (quality <= 0)
        return 5000;
    if (quality < 50)
        return 5000 / quality;
    if (quality <= 100)
        return 200 - 2 * quality;
    return 0;
}

JpegBuffer OptimizeJpeg(const std::uint8_t* bytes, size_t size, int setting,
                        const std::function<bool()>& stop) {
    JpegBuffer result;
    if (!bytes || size == 0 || size > 0xFFFFFFFFu)
        return result;
    JpegRun run;
    run.bytes = bytes;
    run.size = size;
    run.setting = setting;
    InstallErrors(&run.inErrors);
    InstallErrors(&run.outErrors);
    run.in.err = &run.inErrors;
    run.out.err = &run.outErrors;
    run.in.client_data = &run;
    run.out.client_data = &run;
    if (stop) {
        run.stop = &stop;
        run.inProgress.progress_monitor = OnProgress;
        run.outProgress.progress_monitor = OnProgress;
    }

    const bool ok = RunCodec(&run);
    if (!ok && run.destinationSet) {
        // After a fatal error the memory destination's current block is known only to the
        // destination; its terminator hands it over so that it can be freed.
        run.out.dest->term_destination(&run.out);
    }
    // Both structures start zeroed, so destroying one that was never created is harmless.
    jpeg_destroy_compress(&run.out);
    jpeg_destroy_decompress(&run.in);
    unsigned char* const kept = ok && run.bufferSize > 0 ? run.buffer : nullptr;
    if (run.buffer != kept && run.buffer != run.initial)
        std::free(run.buffer);
    if (run.initial != kept)
        std::free(run.initial);
    if (kept) {
        result.data.reset(kept);
        result.size = run.bufferSize;
    }
    return result;
}

} // namespace rx
