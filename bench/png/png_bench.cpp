// Optimises copies of PNG files with the engine and prints the total output size and wall time.
// Usage: rx_png_bench LEVEL THREADS WORKDIR FILE...   (THREADS 0: one per core)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ops/png/pngoptim.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s LEVEL THREADS WORKDIR FILE...\n", argv[0]);
        return 2;
    }
    const int level = std::atoi(argv[1]);
    const unsigned threads = unsigned(std::atoi(argv[2]));
    const fs::path work = argv[3];
    fs::create_directories(work);
    std::vector<fs::path> copies;
    for (int i = 4; i < argc; ++i) {
        const fs::path copy =
            work / (std::to_string(i) + "-" + fs::path(argv[i]).filename().string());
        fs::copy_file(argv[i], copy, fs::copy_options::overwrite_existing);
        copies.push_back(copy);
    }
    rx::png::PngEngineOptions options;
    options.level = level;
    options.interlace = -1;
    rx::png::PngEngineHooks hooks;
    hooks.control = [](int) {};
    hooks.progress = [](unsigned long, unsigned long) {};
    hooks.panic = [](const char*) {};
    rx::png::PngEngine engine;
    engine.setThreadCount(threads);
    engine.InitializeEngine(options, hooks);
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const fs::path& p : copies)
        failures += engine.OptimizeFile(p.c_str()) != 0;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    engine.FinalizeEngine();
    std::uintmax_t total = 0;
    for (const fs::path& p : copies)
        total += fs::file_size(p);
    std::printf("%ju %.3f %d\n", total, seconds, failures);
    return failures ? 1 : 0;
}
