// libFuzzer harness for the PNG engine: any input either fails and stays byte-identical, or is
// rewritten into a file that decodes to the same visible pixels. No ".bak" may remain.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>
#include <zlib.h>

#include "ops/png/pngoptim.h"
#include "tests/ops/png/PngTestFiles.h"

using namespace rxtest::png;

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

// Mutations rarely keep CRCs right; repairing them lets most inputs reach the decoder.
void FixCrcs(Bytes& png) {
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const std::uint32_t len = Be32(png.data() + pos);
        if (len > png.size() - pos - 12)
            return;
        uLong crc = crc32(0, png.data() + pos + 4, 4 + len);
        for (int i = 0; i < 4; ++i)
            png[pos + 8 + len + i] = std::uint8_t(crc >> (24 - 8 * i));
        pos += 12 + len;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Huge images with tiny data only measure the allocator; leave them out.
    if (size >= 24 && std::uint64_t(Be32(data + 16)) * Be32(data + 20) > (1u << 20))
        return 0;
    static const std::string path = "/tmp/rx-png-fuzz-" + std::to_string(::getpid()) + ".png";
    Bytes input(data, data + size);
    if (size % 8 < 6)
        FixCrcs(input);
    WriteFile(path, input);

    rx::png::PngEngineOptions options;
    options.level = 1 + int(size % 3);
    options.interlace = -1;
    rx::png::PngEngineHooks hooks;
    hooks.text = [](const char*, va_list) {};
    hooks.control = [](int) {};
    hooks.progress = [](unsigned long, unsigned long) {};
    hooks.panic = [](const char*) {};
    rx::png::PngEngine engine;
    engine.setThreadCount(size % 2 ? 2 : 1);
    engine.InitializeEngine(options, hooks);
    const int result = engine.OptimizeFile(path.c_str());
    engine.FinalizeEngine();

    const Bytes after = ReadFile(path);
    if (Exists(path + ".bak"))
        std::abort();
    if (result != 0 && after != input)
        std::abort();
    if (result == 0 && after != input) {
        const Pixels a = Decode(input), b = Decode(after);
        if (!b.ok)
            std::abort();
        if (a.ok) {
            if (a.rgba.size() != b.rgba.size())
                std::abort();
            for (std::size_t i = 0; i < a.rgba.size(); i += 4)
                for (int c = a.rgba[i + 3] ? 0 : 3; c < 4; ++c)
                    if (a.rgba[i + c] != b.rgba[i + c])
                        std::abort();
        }
    }
    std::remove(path.c_str());
    return 0;
}
