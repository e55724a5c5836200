// The Optimize operation's use of the PNG optimisation engine: one engine run over one file,
// rewritten in place when the engine can make it smaller.
#pragma once

#include <boost/filesystem/path.hpp>

namespace rx {

// Initialises the engine with the level (1 to 5; the interlacing of the input is kept), runs
// it on the file and finalises it. The engine's messages are formatted and discarded. True when
// the engine reports success, which includes leaving an already optimal file untouched.
// Each call runs an engine object of its own, so calls from several threads may overlap. When
// the calling thread's interruption is requested the run ends within a fraction of a second
// with false, the file untouched and no backup left; the interruption itself stays pending.
bool OptimizePngFile(const boost::filesystem::path& path, int level);

} // namespace rx
