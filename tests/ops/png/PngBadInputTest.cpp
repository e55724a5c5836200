// Damaged and unsupported files end with an error and the input left byte for byte as it was.
#include <gtest/gtest.h>

#include "PngTestFiles.h"

using namespace rxtest::png;

namespace {

Bytes Sample() {
    return EncodePng(MakeRaw(2, 8, 48, 32, 0, 2));
}

struct BadCase {
    const char* name;
    Bytes bytes;
    const char* message;
};

Bytes WithChunk(const Chunk& extra, bool beforeIdat) {
    std::vector<Chunk> chunks = SplitChunks(Sample());
    chunks.insert(beforeIdat ? chunks.begin() + 1 : chunks.end() - 1, extra);
    return JoinChunks(chunks);
}

std::vector<BadCase> Cases() {
    std::vector<BadCase> cases;
    const Bytes good = Sample();
    cases.push_back({"zero-size", {}, "Can't read the input file or unexpected end of file"});
    const std::string text = "this is not a picture\n";
    cases.push_back({"text", Bytes(text.begin(), text.end()), "Unrecognized image file format"});
    Bytes crlf = good;
    crlf[4] = 0x0a;
    cases.push_back({"crlf", crlf, "PNG file appears to be corrupted by text file conversions"});
    Bytes mng = good;
    mng[0] = 0x8a, mng[1] = 'M', mng[2] = 'N', mng[3] = 'G';
    cases.push_back({"mng", mng, "MNG decoding is not supported"});
    cases.push_back({"truncated", Bytes(good.begin(), good.end() - 20),
                     "Can't read the input file or unexpected end of file"});
    cases.push_back({"truncated-header", Bytes(good.begin(), good.begin() + 12),
                     "Reading chunk header, expecting 8 bytes"});
    Bytes badIhdr = good;
    badIhdr[8 + 8 + 13] ^= 0xff; // IHDR's CRC
    cases.push_back({"critical-crc", badIhdr, "libpng error: IHDR: CRC error"});
    Bytes badText = WithChunk(Chunk{"tEXt", {'a', 0, 'b'}}, false);
    badText[badText.size() - 12 - 1] ^= 0x55; // the tEXt chunk's CRC, just before IEND
    cases.push_back({"ancillary-crc", badText, "Previous error(s) not fixed"});
    Bytes longer = good;
    longer[8 + 3] = 14; // IHDR claims 14 bytes
    cases.push_back({"chunk-length", longer, "libpng error: IHDR: CRC error"});
    Bytes huge = good;
    huge[33] = 0x7f, huge[34] = 0xff; // IDAT claims far more than the file holds
    cases.push_back(
        {"chunk-length-huge", huge, "Can't read the input file or unexpected end of file"});
    Bytes trailing = good;
    trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
    cases.push_back({"after-iend", trailing, "Previous error(s) not fixed"});
    cases.push_back({"dsig", WithChunk(Chunk{"dSIG", {0, 0, 0, 1, 0, 0, 0, 0}}, false),
                     "Can't optimize digitally-signed files"});
    std::vector<Chunk> apng = SplitChunks(good);
    apng.insert(apng.begin() + 1, Chunk{"acTL", {0, 0, 0, 2, 0, 0, 0, 0}});
    apng.insert(apng.end() - 1, Chunk{"fdAT", {0, 0, 0, 1, 0x78, 0x9c, 3, 0, 0, 0, 0, 1}});
    cases.push_back({"apng", JoinChunks(apng), "Incompatible input format"});
    std::vector<Chunk> noIdat = SplitChunks(good);
    noIdat.erase(noIdat.begin() + 1);
    cases.push_back({"no-idat", JoinChunks(noIdat), "libpng error"});
    std::vector<Chunk> critical = SplitChunks(good);
    critical.insert(critical.begin() + 1, Chunk{"ABCD", {1, 2}});
    cases.push_back({"unknown-critical", JoinChunks(critical), "libpng error"});
    std::vector<Chunk> junkIdat = SplitChunks(good);
    junkIdat[1].data.assign(100, 0x5a);
    cases.push_back({"corrupt-zlib", JoinChunks(junkIdat), "libpng error"});
    return cases;
}

} // namespace

TEST(PngBadInput, EveryDamagedFileFailsAndStaysUntouched) {
    const std::string dir = TempFolder("bad");
    for (const BadCase& c : Cases()) {
        const std::string path = dir + "/" + c.name + ".png";
        WriteFile(path, c.bytes);
        const EngineRun run = Optimize(path, 2);
        EXPECT_EQ(run.result, -1) << c.name << "\n" << run.text;
        EXPECT_NE(run.text.find(std::string("Error: ") + c.message), std::string::npos)
            << c.name << "\n"
            << run.text;
        EXPECT_EQ(ReadFile(path), c.bytes) << c.name;
        EXPECT_FALSE(Exists(path + ".bak")) << c.name;
    }
}

TEST(PngBadInput, FixAndSnipOptionsRepairWhatTheyCan) {
    const std::string dir = TempFolder("fix");
    rx::png::PngEngineOptions fix;
    fix.fix = 1;
    Bytes trailing = Sample();
    trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
    const std::string a = dir + "/trailing.png";
    WriteFile(a, trailing);
    const EngineRun run = Optimize(a, 1, 0, fix);
    EXPECT_EQ(run.result, 0) << run.text;
    EXPECT_EQ(SplitChunks(ReadFile(a)).back().name, "IEND");
    EXPECT_EQ(Decode(ReadFile(a)).rgba, Decode(Sample()).rgba);

    rx::png::PngEngineOptions snip;
    snip.snip = 1;
    std::vector<Chunk> apng = SplitChunks(Sample());
    apng.insert(apng.begin() + 1, Chunk{"acTL", {0, 0, 0, 2, 0, 0, 0, 0}});
    apng.insert(apng.end() - 1, Chunk{"fdAT", {0, 0, 0, 1, 0x78, 0x9c, 3, 0, 0, 0, 0, 1}});
    const std::string b = dir + "/anim.png";
    WriteFile(b, JoinChunks(apng));
    ASSERT_EQ(Optimize(b, 1, 0, snip).result, 0);
    for (const Chunk& c : SplitChunks(ReadFile(b))) {
        EXPECT_NE(c.name, "acTL");
        EXPECT_NE(c.name, "fdAT");
    }
}
