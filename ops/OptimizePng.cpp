#include "ops/OptimizePng.h"

#include <cstdarg>
#include <cstdio>
#include <exception>

#include <boost/thread/thread.hpp>

#include "engine/DebugLog.h"
#include "engine/ThreadBudget.h"
#include "ops/png/pngoptim.h"

namespace rx {
namespace {

// The engine's messages are formatted (so that a bad format shows up in tests and tools as it
// would in use) and dropped: nothing of the engine is shown to the user.
void DiscardText(const char* format, std::va_list args) {
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
}

png::PngEngineHooks SilentHooks() {
    png::PngEngineHooks hooks;
    hooks.text = DiscardText;
    hooks.control = [](int) {};
    hooks.progress = [](unsigned long, unsigned long) {};
    hooks.panic = [](const char*) {}; // the engine ends the file with an error after it
    // A cancelled job ends the run at once; the caller's interruption point then ends the job.
    hooks.interrupted = [] { return boost::this_thread::interruption_requested(); };
    return hooks;
}

} // namespace

bool OptimizePngFile(const boost::filesystem::path& path, int level) {
    png::PngEngineOptions options{};
    options.level = level;
    options.interlace = -1; // keep the input's interlacing
    // One engine object per call: it holds all of the engine's state, so runs from the worker
    // and from the preview cannot disturb each other.
    png::PngEngine engine;
    // The trials run on this thread's own core and on the cores no other file in flight holds,
    // so that a lone large PNG gets them all; the trials' result does not depend on the count.
    const ThreadBudget::Lease extra =
        ThreadBudget::Global().TakeExtra(ThreadBudget::Global().cores() - 1);
    engine.setThreadCount(1 + extra.count());
    if (engine.InitializeEngine(options, SilentHooks()) != 0)
        return false;
    int result = -1;
    try {
        result = engine.OptimizeFile(path.string().c_str());
    } catch (const std::exception& e) {
        // Not expected from the engine; the file is then left to the caller's clean-up.
        DebugLog(L"PNG engine failed: %S", e.what());
    }
    engine.FinalizeEngine();
    return result == 0;
}

} // namespace rx
