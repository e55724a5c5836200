#include "ops/png/pngoptim.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "ops/png/PngTrials.h"
#include "ops/png/pngreduc.h"

namespace rx::png {
namespace {

const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
constexpr std::size_t kMaxName = 255;

struct PresetRow {
    unsigned zc, zm, zs, f;
};
// Bit sets of compression levels, memory levels, strategies and filters for each level.
constexpr unsigned kMem8 = 1u << 8, kMem89 = (1u << 8) | (1u << 9), kAll19 = 0x3fe;
constexpr unsigned kStrat03 = 0xf, kFilt05 = 0x21, kFiltAll = 0x3f;
const PresetRow kPresets[8] = {
    {0, 0, 0, 0},
    {0, 0, 0, 0},
    {0, kMem8, kStrat03, kFilt05},
    {0, kMem89, kStrat03, kFilt05},
    {0, kMem8, kStrat03, kFiltAll},
    {0, kMem89, kStrat03, kFiltAll},
    {0, kAll19, kStrat03, kFiltAll},
    {kAll19, kMem89, kStrat03, kFiltAll},
};

int Count(unsigned set) {
    return __builtin_popcount(set);
}

void PutBe32(std::string& out, std::uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

std::string SizeChange(std::uint64_t in, std::uint64_t out, bool ratio) {
    if (in == out)
        return "no change";
    const std::uint64_t diff = out > in ? out - in : in - out;
    char buf[64];
    std::string text;
    if (diff == 1)
        text = "1 byte";
    else
        std::snprintf(buf, sizeof buf, "%lu bytes", static_cast<unsigned long>(diff)), text = buf;
    text += out > in ? " increase" : " decrease";
    if (ratio) {
        if (in == 0) {
            text += ", INFTY%";
        } else if (diff > UINT64_MAX / 10000) {
            text += ", ??%";
        } else {
            const std::uint64_t hundredths = diff * 10000 / in;
            std::snprintf(buf, sizeof buf, ", %lu.%02lu%%",
                          static_cast<unsigned long>(hundredths / 100),
                          static_cast<unsigned long>(hundredths % 100));
            text += buf;
        }
    }
    return text;
}

std::uint64_t PlteTrnsSize(const PngImage& im) {
    std::uint64_t size = 0;
    if (im.hasPalette)
        size += 12 + 3 * im.palette.size();
    if (im.hasTrns)
        size += 12 + (im.colorType == ColorPalette      ? im.transAlpha.size()
                      : (im.colorType & ColorMaskColor) ? 6
                                                        : 2);
    return size;
}

bool IsAnimationChunk(const ChunkInfo& c) {
    return c.is("acTL") || c.is("fcTL") || c.is("fdAT");
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& data, struct stat& st) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        data.resize(std::size_t(st.st_size));
        std::size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        ok = got == data.size();
    }
    ::close(fd);
    if (!ok)
        throw PngEngineError("Can't read the input file or unexpected end of file");
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& data, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        throw PngEngineError("Can't open the output file");
    std::size_t put = 0;
    while (put < data.size()) {
        const ssize_t n = ::write(fd, data.data() + put, data.size() - put);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        put += std::size_t(n);
    }
    const bool closed = ::close(fd) == 0;
    return put == data.size() && closed;
}

} // namespace

int PngEngine::InitializeEngine(const PngEngineOptions& options, const PngEngineHooks& hooks) {
    if (!hooks.control || !hooks.progress || !hooks.panic)
        return -1;
    options_ = options;
    hooks_ = hooks;
    if (options_.level == 0) {
        options_.noBitDepth = options_.noColorType = options_.noPalette = 1;
        options_.noIdatRecoding = 1;
    }
    counters_ = {};
    started_ = true;
    return 0;
}

int PngEngine::FinalizeEngine() {
    if (options_.verbose || counters_.errors || counters_.snipped) {
        print("** Status report\n");
        print("%u file(s) have been processed.\n", counters_.files);
        if (counters_.snipped)
            print("%u multi-image file(s) have been snipped.\n", counters_.snipped);
        if (counters_.errors) {
            print("%u error(s) have been encountered.\n", counters_.errors);
            print("%u erroneous file(s) have been fixed.\n", counters_.fixed);
        }
    }
    started_ = false;
    return 0;
}

int PngEngine::OptimizeFile(const char* path) {
    if (!started_) {
        if (hooks_.panic)
            hooks_.panic("The PNG engine is not running");
        return -1;
    }
    const std::string name = path ? path : "";
    print("** Processing: %s\n", name.c_str());
    ++counters_.files;
    record_ = ProcessRecord{};
    int result = 0;
    try {
        optimize(name);
    } catch (const PngEngineError& e) {
        result = -1;
        ++counters_.errors;
        hooks_.control(11);
        print("Error: %s\n", e.what());
    } catch (const std::bad_alloc&) {
        result = -1;
        ++counters_.errors;
        hooks_.control(11);
        print("Error: %s\n", "libpng error: Out of memory");
    }
    print("\n");
    return result;
}

void PngEngine::print(const char* format, ...) {
    if (!hooks_.text)
        return;
    va_list args;
    va_start(args, format);
    hooks_.text(format, args);
    va_end(args);
}

void PngEngine::warning(const char* message) {
    print("Warning: %s\n", message);
    record_.status |= StatusErrors | StatusNeedsNewIdat;
}

void PngEngine::panic(const char* message) {
    hooks_.panic(message);
    throw PngEngineError(message);
}

void PngEngine::checkInterrupted(const TrialStop& stop) {
    if (!stop.requested())
        return;
    record_.interrupted = true;
    throw PngEngineError("Interrupted");
}

void PngEngine::optimize(const std::string& path) {
    record_.inputName = path;
    const TrialStop stop(hooks_.interrupted);
    checkInterrupted(stop);
    std::vector<std::uint8_t> data;
    struct stat inputStat {};
    if (!ReadWholeFile(path, data, inputStat))
        throw PngEngineError("Can't open the input file");
    checkInterrupted(stop);
    record_.inputFileSize = data.size();

    auto warn = [this](const char* m) { warning(m); };
    const DatastreamScan scan = ScanDatastream(data.data(), data.size(), warn);
    record_.status |= scan.status;
    record_.inputIdatSize = scan.idatSize;
    record_.inputPlteTrnsSize = scan.plteTrnsSize;
    record_.datastreamOffset = scan.offset;
    if ((scan.status & StatusAnimationChunks) && options_.snip) {
        record_.status |= StatusStripped;
        ++counters_.snipped;
    }

    unsigned reductions = ReduceAll;
    if (options_.noBitDepth)
        reductions &= ~unsigned(ReduceBitDepthAll);
    if (options_.noColorType)
        reductions &= ~unsigned(ReduceColorTypeAll);
    if (options_.noPalette)
        reductions &= ~unsigned(ReducePaletteAll);
    if (options_.noAlphaCleanup)
        reductions &= ~unsigned(ReduceAlphaCleanup);
    if ((options_.noIdatRecoding && (scan.status & StatusDatastream)) ||
        (scan.status & StatusDigitalSignature))
        reductions = 0;
    if ((scan.status & StatusAnimationChunks) && !options_.snip) {
        print("Can't reliably reduce APNG file; disabling reductions.\n"
              "(Did you want to snip and optimize the first frame?)\n");
        reductions = 0;
    }

    PngImage image;
    const bool snip = options_.snip != 0;
    ReadImage(data.data(), scan, image, warn,
              [snip](const ChunkInfo& c) { return c.is("dSIG") || (snip && IsAnimationChunk(c)); });
    // The file's bytes are not held beside the image and the trials: the rare output that
    // copies the chunks as they are reads them again.
    std::vector<std::uint8_t>().swap(data);
    print("%s\n", DescribeImage(image).c_str());
    checkInterrupted(stop);
    if (ReduceImage(image, reductions, warn) != 0)
        print("Reducing image to %s\n", DescribeImage(image).c_str());
    checkInterrupted(stop);
    if (options_.interlace == 0 || options_.interlace == 1) {
        if (options_.interlace != image.interlace) {
            image.interlace = options_.interlace;
            record_.status |= StatusNeedsNewIdat;
        }
    }
    if (options_.force)
        record_.status |= StatusNeedsNewIdat;

    evaluateStatus(path);

    // Where the result goes; here always in place unless an output name or folder is given.
    std::string outName = path;
    if (options_.outputName && *options_.outputName)
        outName = options_.outputName;
    if (options_.outputFolder && *options_.outputFolder) {
        const std::size_t slash = outName.find_last_of('/');
        const std::string base = slash == std::string::npos ? outName : outName.substr(slash + 1);
        outName = std::string(options_.outputFolder) + "/" + base;
    }
    const bool inPlace = outName == path;
    // Only a name formed here can be too long for an output; in place, the backup's name is
    // the one that grows.
    if (!inPlace && outName.size() > kMaxName)
        throw PngEngineError("Can't create the output file (name too long)");
    const std::string backupName = outName + ".bak";
    if (backupName.size() > kMaxName)
        throw PngEngineError("Can't create backup file (name too long)");
    record_.outputName = outName;

    struct stat outStat {};
    const bool outExists = ::stat(outName.c_str(), &outStat) == 0;
    if (!options_.simulate && outExists) {
        if (!inPlace && !options_.keep)
            throw PngEngineError("The output file exists, try backing it up (use the keep option)");
        struct stat bakStat {};
        if (!S_ISREG(outStat.st_mode) || ::access(outName.c_str(), W_OK) != 0 ||
            ::lstat(backupName.c_str(), &bakStat) == 0)
            throw PngEngineError("Can't back up the existing output file");
    }

    if (record_.inputIdatSize > 0)
        print("Input IDAT size = %lu bytes\n", static_cast<unsigned long>(record_.inputIdatSize));
    print("Input file size = %lu bytes\n", static_cast<unsigned long>(record_.inputFileSize));

    std::string output;
    record_.outputPlteTrnsSize = PlteTrnsSize(image);
    if (!options_.noIdatRecoding || (record_.status & StatusNeedsNewIdat))
        runTrials(image, scan, output, stop);
    if (record_.status & StatusNeedsNewIdat)
        record_.status |= StatusOutputHasChanges;

    if (!(record_.status & StatusOutputHasChanges)) {
        print("\n%s is already optimized.\n", path.c_str());
        return;
    }
    if (options_.simulate) {
        print("\nNo output: simulation mode.\n");
        return;
    }
    if (!(record_.status & StatusNeedsNewIdat)) {
        // Copy the chunks as they are, with the image data merged into one IDAT, from the file
        // read again (the chunks found are those of the same file, unchanged).
        struct stat again {};
        if (!ReadWholeFile(path, data, again) || again.st_size != inputStat.st_size ||
            again.st_mtim.tv_sec != inputStat.st_mtim.tv_sec ||
            again.st_mtim.tv_nsec != inputStat.st_mtim.tv_nsec)
            throw PngEngineError("The input file changed while it was optimized");
        output.assign(reinterpret_cast<const char*>(kSignature), 8);
        bool idatWritten = false;
        for (const ChunkInfo& c : scan.chunks) {
            if ((c.ancillary() && !c.crcOk) || c.is("dSIG") || (snip && IsAnimationChunk(c)))
                continue;
            const char* body = reinterpret_cast<const char*>(data.data() + c.offset + 8);
            if (c.is("IDAT")) {
                if (idatWritten)
                    continue;
                idatWritten = true;
                PutBe32(output, std::uint32_t(scan.idatSize));
                output.append("IDAT", 4);
                uLong crc = crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4);
                for (const ChunkInfo& d : scan.chunks)
                    if (d.is("IDAT")) {
                        const char* p = reinterpret_cast<const char*>(data.data() + d.offset + 8);
                        output.append(p, d.length);
                        crc = crc32(crc, reinterpret_cast<const Bytef*>(p), d.length);
                    }
                PutBe32(output, std::uint32_t(crc));
                continue;
            }
            output.append(body - 8, std::size_t(c.length) + 12);
        }
        if (!idatWritten)
            throw PngEngineError("Found IDAT with no rows");
        record_.outputIdatSize = record_.inputIdatSize;
    }
    record_.outputFileSize = output.size();

    // The last moment to stop: once the input is moved to its backup the file is completed.
    checkInterrupted(stop);
    writeOutput(outName, backupName, inPlace, output);
    if (options_.preserve) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, inputStat.st_mtim};
        ::utimensat(AT_FDCWD, outName.c_str(), times, 0);
    }
    if (record_.status & StatusErrors)
        ++counters_.fixed;

    print("\nOutput IDAT size = %lu bytes", static_cast<unsigned long>(record_.outputIdatSize));
    if (record_.inputIdatSize > 0)
        print(" (%s)", SizeChange(record_.inputIdatSize, record_.outputIdatSize, false).c_str());
    print("\nOutput file size = %lu bytes (%s)\n",
          static_cast<unsigned long>(record_.outputFileSize),
          SizeChange(record_.inputFileSize, record_.outputFileSize, true).c_str());
}

void PngEngine::evaluateStatus(const std::string&) {
    unsigned& st = record_.status;
    if (st & StatusErrors) {
        print("Recoverable errors found in input.");
        if (options_.fix) {
            print(" Fixing...\n");
            st |= StatusOutputHasChanges;
        } else {
            print(" Rerun with the fix option enabled.\n");
            throw PngEngineError("Previous error(s) not fixed");
        }
    }
    if ((st & StatusStripped) || !(st & StatusSignature))
        st |= StatusOutputHasChanges;
    if (!(st & StatusDatastream)) {
        st |= StatusNeedsNewIdat;
    } else if (options_.noIdatRecoding && (st & StatusNeedsNewIdat)) {
        print("IDAT recoding is necessary, but is disabled by the user.\n");
        throw PngEngineError("Can't continue");
    }
    if (st & StatusDigitalSignature) {
        print("Digital signature found in input.");
        if (options_.force) {
            print(" Erasing...\n");
            st |= StatusOutputHasChanges;
        } else {
            print(" Rerun with the force option enabled.\n");
            throw PngEngineError("Can't optimize digitally-signed files");
        }
    }
    // Rewriting the default image of an animation would break its frames, so an animated
    // file is only accepted for snipping, whether or not it starts as a PNG file.
    if ((st & StatusMultipleImages) && !options_.snip) {
        print("Conversion to PNG requires snipping. Rerun with the snip option enabled.\n");
        throw PngEngineError("Incompatible input format");
    }
    if ((st & StatusAnimationChunks) && options_.snip)
        st |= StatusOutputHasChanges;
}

void PngEngine::runTrials(PngImage& image, const DatastreamScan&, std::string& output,
                          const TrialStop& stop) {
    ProcessRecord& r = record_;
    const bool unlimited = (r.status & StatusNeedsNewIdat) || options_.full;
    if (!unlimited && r.inputIdatSize == 0)
        panic("No IDAT in input");
    r.maxIdatSize = unlimited ? kTrialTooBig - 1 : r.inputIdatSize + r.inputPlteTrnsSize;

    const int index = options_.level < 0 ? 2 : options_.level > 7 ? 7 : options_.level;
    const PresetRow& preset = kPresets[index];
    unsigned zcSet = (unsigned(options_.compressionLevelSet) | preset.zc) & 0x3fe;
    unsigned zmSet = (unsigned(options_.memoryLevelSet) | preset.zm) & 0x3fe;
    unsigned zsSet = (unsigned(options_.strategySet) | preset.zs) & 0xf;
    unsigned fSet = (unsigned(options_.filterSet) | preset.f) & 0x3f;
    const bool small = image.bitDepth < 8 || image.colorType == ColorPalette;
    if (!zcSet)
        zcSet = 1u << 9;
    if (!zmSet)
        zmSet = 1u << 8;
    if (!zsSet)
        zsSet = small ? 1u : 2u;
    if (!fSet)
        fSet = small ? 1u : 1u << 5;
    const int count =
        (Count(zcSet) * Count(zsSet & 3) + Count(zsSet & 0xc)) * Count(zmSet) * Count(fSet);
    if (count < 1)
        panic("Invalid iteration parameters");
    r.trials = count;

    std::vector<TrialParams> trials;
    for (int f = 0; f <= 5; ++f) {
        if (!(fSet & (1u << f)))
            continue;
        for (int zs = 0; zs <= 3; ++zs) {
            if (!(zsSet & (1u << zs)))
                continue;
            const unsigned levels = zs == 2 ? 1u << 1 : zs == 3 ? 1u << 9 : zcSet;
            for (int zc = 9; zc >= 1; --zc)
                for (int zm = 9; zm >= 1; --zm)
                    if ((levels & (1u << zc)) && (zmSet & (1u << zm)))
                        trials.push_back(TrialParams{zc, zm, zs, f});
        }
    }
    if (trials.empty())
        panic("Iterations not initialized");

    int windowBits = options_.windowBits;
    if (windowBits > 15) {
        print("Warning: %s\n", "Only compression windows <= 32k supported by PNG");
        windowBits = 15;
    } else if (windowBits > 0 && windowBits < 8) {
        print("Warning: %s\n", "Only compression windows >= 256 supported by PNG");
        windowBits = 8;
    }
    if (windowBits == 8) {
        print("Warning: %s\n", "Compression window is being reset to 512");
        windowBits = 9;
    }

    // The level-1 choice for this image is the usual winner: start with it.
    std::size_t lead = 0;
    const TrialParams guess{9, 8, small ? 0 : 1, small ? 0 : 5};
    for (std::size_t i = 0; i < trials.size(); ++i)
        if (trials[i].zc == guess.zc && trials[i].zm == guess.zm && trials[i].zs == guess.zs &&
            trials[i].f == guess.f)
            lead = i;

    print("\nTrying:\n");
    r.bestIdatSize = kTrialTooBig;
    std::size_t bestIndex = trials.size();
    bool pending = false;
    TrialRunner runner(image, windowBits, threads_);
    runner.setStop(&stop);
    try {
        runner.run(
            trials, r.maxIdatSize, options_.full != 0,
            [&](std::size_t i, std::uint64_t size) {
                const TrialParams& p = trials[i];
                print("  zc = %d  zm = %d  zs = %d  f = %d", p.zc, p.zm, p.zs, p.f);
                hooks_.progress(static_cast<unsigned long>(i + 1),
                                static_cast<unsigned long>(trials.size()));
                if (size >= kTrialTooBig || size > r.maxIdatSize) {
                    if (options_.verbose) {
                        print("\t\tIDAT too big\n");
                    } else {
                        hooks_.control(13);
                        pending = true;
                    }
                    return;
                }
                pending = false;
                print("\t\tIDAT size = %lu\n", static_cast<unsigned long>(size));
                if (size < r.bestIdatSize || (size == r.bestIdatSize && r.bestZs <= 1)) {
                    r.bestIdatSize = size;
                    r.bestZc = p.zc, r.bestZm = p.zm, r.bestZs = p.zs, r.bestF = p.f;
                    bestIndex = i;
                }
            },
            lead);
    } catch (const TrialsStopped&) {
        record_.interrupted = true;
        throw PngEngineError("Interrupted");
    }
    if (pending)
        hooks_.control(-31);
    if (int(trials.size()) != count)
        panic("Inconsistent iteration counter");

    if (r.bestIdatSize + r.outputPlteTrnsSize < r.inputIdatSize + r.inputPlteTrnsSize)
        r.status |= StatusNeedsNewIdat;
    if (!(r.status & StatusNeedsNewIdat))
        return;
    print("\nSelecting parameters:\n  zc = %d  zm = %d  zs = %d  f = %d", r.bestZc, r.bestZm,
          r.bestZs, r.bestF);
    if (bestIndex < trials.size())
        print("\t\tIDAT size = %lu", static_cast<unsigned long>(r.bestIdatSize));
    print("\n");
    if (bestIndex >= trials.size() || r.bestIdatSize > 0x7fffffffu)
        throw PngEngineError("Exceedingly large IDAT in output");

    // The best trial's bytes, with its image data as one IDAT whose length is known in advance.
    TrialBytes best;
    try {
        best = runner.take(bestIndex);
    } catch (const TrialsStopped&) {
        record_.interrupted = true;
        throw PngEngineError("Interrupted");
    }
    // The pixels are not needed any more: they are let go before the output is put together.
    image.pixels.reset();
    if (best.idat.size() != r.bestIdatSize || best.head.size() < 8)
        throw PngEngineError("Wrong guess of the output IDAT size");
    output.reserve(best.head.size() + best.idat.size() + 12 + best.tail.size());
    output.assign(best.head.begin(), best.head.end());
    PutBe32(output, std::uint32_t(best.idat.size()));
    output.append("IDAT", 4);
    output.append(best.idat.begin(), best.idat.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4);
    crc = crc32(crc, best.idat.data(), uInt(best.idat.size()));
    PutBe32(output, std::uint32_t(crc));
    output.append(best.tail.begin(), best.tail.end());
    r.outputIdatSize = best.idat.size();
}

void PngEngine::writeOutput(const std::string& outName, const std::string& backupName, bool inPlace,
                            const std::string& data) {
    struct stat st {};
    const bool outExists = ::stat(outName.c_str(), &st) == 0;
    const mode_t mode = outExists ? (st.st_mode & 07777) : 0644;
    if (outExists && ::rename(outName.c_str(), backupName.c_str()) != 0)
        throw PngEngineError(inPlace ? "Can't back up the input file"
                                     : "Can't back up the output file");
    bool ok = false;
    std::string message = "Can't write the output file";
    try {
        ok = WriteWholeFile(outName, data, mode);
    } catch (const PngEngineError& e) {
        message = e.what();
    }
    if (!ok) {
        ::unlink(outName.c_str());
        if (outExists && ::rename(backupName.c_str(), outName.c_str()) != 0)
            print("Warning: %s\n", "The original file could not be recovered from the backup");
        throw PngEngineError(message);
    }
    if (outExists) {
        ::chmod(outName.c_str(), mode);
        if (inPlace && !options_.keep && ::unlink(backupName.c_str()) != 0)
            throw PngEngineError("Can't remove the backup file");
    }
}

} // namespace rx::png
