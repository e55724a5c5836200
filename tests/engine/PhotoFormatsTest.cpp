// WebP, HEIC and AVIF in the engine: recognised by content, read header first, refused when
// animated or holding several images, written back in their own container with their metadata.
// Every file is made at test time by this system's libvips savers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include <boost/filesystem/operations.hpp>
#include <vips/vips8>

#include "engine/Bitmap.h"
#include "engine/ExifReader.h"
#include "engine/FileIntake.h"
#include "engine/ImageFile.h"
#include "engine/Imaging.h"
#include "engine/IsoBmff.h"
#include "engine/RXWorker.h"
#include "engine/ScaleImage.h"
#include "tests/support/TestImages.h"

namespace fs = boost::filesystem;
using namespace rx;
using rxtest::ImageSpec;
using rxtest::MakeImage;

namespace {

constexpr OutputFormat kPhotoFormats[] = {OutputFormat::Webp, OutputFormat::Avif,
                                          OutputFormat::Heic};
// Wrapped in a packet as cameras and editors write it.
const char kXmp[] = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>"
                    "<x:xmpmeta xmlns:x='adobe:ns:meta/'>rexmill-photo</x:xmpmeta>"
                    "<?xpacket end='w'?>";

#define REQUIRE_ENCODER(format)                                                                    \
    do {                                                                                           \
        if (!rxtest::CanEncode(format))                                                            \
            GTEST_SKIP() << "this system's libvips cannot write " << Name(format);                 \
    } while (false)

std::string Name(OutputFormat format) {
    const std::wstring w = OutputFormatName(format);
    return std::string(w.begin(), w.end());
}

// A box: 32-bit size, type, content.
Bytes Box(const char* type, const Bytes& content) {
    const std::uint32_t size = std::uint32_t(8 + content.size());
    Bytes b = {std::uint8_t(size >> 24), std::uint8_t(size >> 16), std::uint8_t(size >> 8),
               std::uint8_t(size)};
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), content.begin(), content.end());
    return b;
}

Bytes Ftyp(const char* major, std::initializer_list<const char*> compatible) {
    Bytes content(major, major + 4);
    content.insert(content.end(), 4, 0); // minor version
    for (const char* brand : compatible)
        content.insert(content.end(), brand, brand + 4);
    return Box("ftyp", content);
}

// A movie box with one track per sample count, as an image sequence carries it.
Bytes Moov(std::initializer_list<std::uint32_t> samples) {
    Bytes traks;
    for (const std::uint32_t n : samples) {
        const Bytes stsz =
            Box("stsz", {0, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(n >> 24), std::uint8_t(n >> 16),
                         std::uint8_t(n >> 8), std::uint8_t(n)});
        const Bytes trak = Box("trak", Box("mdia", Box("minf", Box("stbl", stsz))));
        traks.insert(traks.end(), trak.begin(), trak.end());
    }
    return Box("moov", traks);
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The file with its `ftyp` box replaced.
Bytes WithFtyp(const Bytes& file, const Bytes& ftyp) {
    const size_t old =
        size_t(file[0]) << 24 | size_t(file[1]) << 16 | size_t(file[2]) << 8 | file[3];
    Bytes out = ftyp;
    out.insert(out.end(), file.begin() + long(old), file.end());
    return out;
}

OutputFormat Sniff(const Bytes& b) {
    return SniffFormat(b.data(), b.size());
}

SharedBytes Share(Bytes b) {
    return std::make_shared<const Bytes>(std::move(b));
}

vips::VImage Open(const Bytes& bytes) {
    return vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "",
                                         vips::VImage::option()->set("access", VIPS_ACCESS_RANDOM));
}

// What a written file carries: EXIF model and orientation, XMP and ICC.
struct Carried {
    std::string model;
    int orientation = 0; // 0: no EXIF orientation tag
    bool xmp = false;
    size_t icc = 0;
};

Carried Metadata(const Bytes& file) {
    Carried c;
    const vips::VImage img = Open(file);
    size_t size = 0;
    if (img.get_typeof(VIPS_META_EXIF_NAME)) {
        const auto* exif =
            static_cast<const std::uint8_t*>(img.get_blob(VIPS_META_EXIF_NAME, &size));
        c.model = ReadExifAscii(exif, size, 0x0110).value_or("");
        c.orientation = ReadExifShort(exif, size, kExifTagOrientation).value_or(0);
    }
    for (const char* field : {VIPS_META_XMP_NAME, "heif-mime-1"})
        if (img.get_typeof(field)) {
            const auto* xmp = static_cast<const char*>(img.get_blob(field, &size));
            c.xmp = c.xmp || std::string(xmp, size).find("rexmill-photo") != std::string::npos;
        }
    if (img.get_typeof(VIPS_META_ICC_NAME))
        img.get_blob(VIPS_META_ICC_NAME, &c.icc);
    return c;
}

size_t SrgbProfileSize() {
    VipsBlob* profile = nullptr;
    vips_profile_load("srgb", &profile, nullptr);
    size_t size = 0;
    vips_blob_get(profile, &size);
    vips_area_unref(VIPS_AREA(profile));
    return size;
}

Bytes ScaleTo(const Bytes& source, int w, int h) {
    StreamPtr out = ScaleImageStream(NewMemoryStream(source.data(), source.size()), w, h);
    return out ? *out->Contents() : Bytes{};
}

// Patches the first `ispe` (image spatial extents) box of a HEIF file to another size.
Bytes WithExtents(Bytes heif, std::uint32_t w, std::uint32_t h) {
    const auto at = std::search(heif.begin(), heif.end(), "ispe", "ispe" + 4);
    if (at == heif.end())
        return {};
    auto p = at + 8; // past the type and the version and flags
    for (const std::uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8)
            *p++ = std::uint8_t(v >> shift);
    return heif;
}

class Refusals final : public IntakeListener {
public:
    void Refused(const fs::path&, IntakeRefusal reason, bool) override {
        reasons.push_back(reason);
    }
    std::vector<IntakeRefusal> reasons;
};

} // namespace

TEST(PhotoFormats, TellsWebpHeicAndAvifByTheirContentAlone) {
    for (const OutputFormat format : kPhotoFormats) {
        if (rxtest::CanEncode(format)) {
            EXPECT_EQ(Sniff(MakeImage(format)), format) << Name(format);
        }
    }
    const Bytes rest(16, 0);
    EXPECT_EQ(Sniff(Concat(Ftyp("heic", {"mif1", "heic"}), rest)), OutputFormat::Heic);
    EXPECT_EQ(Sniff(Concat(Ftyp("heix", {}), rest)), OutputFormat::Heic);
    EXPECT_EQ(Sniff(Concat(Ftyp("mif1", {"mif1", "heic", "miaf"}), rest)), OutputFormat::Heic);
    EXPECT_EQ(Sniff(Concat(Ftyp("msf1", {"msf1", "hevc"}), rest)), OutputFormat::Heic);
    EXPECT_EQ(Sniff(Concat(Ftyp("avif", {"mif1", "miaf"}), rest)), OutputFormat::Avif);
    EXPECT_EQ(Sniff(Concat(Ftyp("msf1", {"iso8", "avis"}), rest)), OutputFormat::Avif);
    // HEIF of other codecs, MP4 video, other RIFF files and JPEG XL are none of ours.
    EXPECT_EQ(Sniff(Concat(Ftyp("mif1", {"mif1", "jpeg"}), rest)), OutputFormat::DontChange);
    EXPECT_EQ(Sniff(Concat(Ftyp("isom", {"iso2", "mp41"}), rest)), OutputFormat::DontChange);
    const char wave[] = "RIFF\x24\0\0\0WAVEfmt ";
    EXPECT_EQ(Sniff(Bytes(wave, wave + 16)), OutputFormat::DontChange);
    const char jxl[] = "\0\0\0\x0CJXL \r\n\x87\n\0\0\0\0";
    EXPECT_EQ(Sniff(Bytes(jxl, jxl + 16)), OutputFormat::DontChange);
    EXPECT_EQ(Sniff(Bytes{0xFF, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
              OutputFormat::DontChange);
    const Bytes cut = Ftyp("heic", {"mif1"});
    EXPECT_EQ(Sniff(Bytes(cut.begin(), cut.begin() + 12)), OutputFormat::DontChange);

    for (const char* ext : {"webp", ".AVIF", "heic", "Heif", ".hif"})
        EXPECT_TRUE(IsSupportedExtension(ext)) << ext;
    EXPECT_FALSE(IsSupportedExtension("jxl"));
}

TEST(PhotoFormats, BrandsTellSequencesAndTheirTracksCountFrames) {
    EXPECT_FALSE(isobmff::ReadBrands(Ftyp("heic", {"mif1", "heic"}).data(), 24).sequence);
    const Bytes animated = Ftyp("avis", {"avif", "avis", "msf1", "miaf"});
    const auto brands = isobmff::ReadBrands(animated.data(), animated.size());
    EXPECT_EQ(brands.format, OutputFormat::Avif);
    EXPECT_TRUE(brands.sequence);
    EXPECT_TRUE(
        isobmff::ReadBrands(Concat(Ftyp("heic", {"hevc"}), Bytes(8, 0)).data(), 28).sequence);

    const Bytes file = Concat(Concat(animated, Box("meta", Bytes(20, 0))), Moov({1, 5, 3}));
    EXPECT_EQ(isobmff::SequenceFrames(file.data(), file.size()), 5u);
    // A cut file, a box claiming more than there is, and a 64-bit box size.
    EXPECT_EQ(isobmff::SequenceFrames(file.data(), file.size() - 3), 0u);
    Bytes lying = file;
    lying[3] = 0xFF;
    EXPECT_EQ(isobmff::SequenceFrames(lying.data(), lying.size()), 0u);
    const Bytes moov = Moov({7});
    Bytes large = {0, 0, 0, 1, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0};
    large = Concat(large, moov);
    EXPECT_EQ(isobmff::SequenceFrames(large.data(), large.size()), 7u);
}

TEST(PhotoFormats, HeadersGiveTheUprightSizeWithoutDecodingPixels) {
    REQUIRE_ENCODER(OutputFormat::Webp);
    // WebP applies its EXIF orientation like JPEG does.
    const Bytes webp = MakeImage(OutputFormat::Webp, {.width = 64, .height = 48, .orientation = 6});
    const auto decodes = PixelDecodeCount();
    auto bitmap = Bitmap::FromData(Share(webp));
    ASSERT_TRUE(bitmap->IsValid());
    EXPECT_EQ(bitmap->RawFormat(), OutputFormat::Webp);
    EXPECT_EQ(QSize(bitmap->Width(), bitmap->Height()), QSize(48, 64));
    EXPECT_EQ(PixelDecodeCount(), decodes) << "header only";
    ASSERT_NE(bitmap->Pixels(), nullptr);
    EXPECT_EQ(bitmap->Pixels()->size(), QSize(48, 64));

    // HEIF turns its pictures with its own transform properties, which libheif applies; the EXIF
    // orientation it may also carry is not applied a second time.
    for (const OutputFormat format : {OutputFormat::Avif, OutputFormat::Heic}) {
        REQUIRE_ENCODER(format);
        auto heif = Bitmap::FromData(
            Share(MakeImage(format, {.width = 64, .height = 48, .orientation = 6})));
        ASSERT_TRUE(heif->IsValid()) << Name(format);
        EXPECT_EQ(heif->RawFormat(), format);
        EXPECT_EQ(QSize(heif->Width(), heif->Height()), QSize(64, 48)) << Name(format);

        // Refused from the header, before any decoding: 20000 x 20000 announced by a small
        // file. libheif's own limit (16384 x 16384) lies below ours and answers first.
        const Bytes huge =
            WithExtents(MakeImage(format, {.width = 16, .height = 16}), 20000, 20000);
        ASSERT_FALSE(huge.empty());
        const auto before = PixelDecodeCount();
        EXPECT_FALSE(Bitmap::FromData(Share(huge))->IsValid()) << Name(format);
        EXPECT_EQ(PixelDecodeCount(), before);
    }
}

TEST(PhotoFormats, AnimationsSequencesAndSeveralImagesAreRefusedAsAnimated) {
    REQUIRE_ENCODER(OutputFormat::Webp);
    REQUIRE_ENCODER(OutputFormat::Avif);
    REQUIRE_ENCODER(OutputFormat::Heic);
    rxtest::TempDir dir;
    const Bytes avif = MakeImage(OutputFormat::Avif);
    const struct {
        const char* name;
        Bytes bytes;
    } files[] = {
        {"animated.webp", MakeImage(OutputFormat::Webp, {.pages = 3})},
        {"two.heic", MakeImage(OutputFormat::Heic, {.pages = 2})},
        // A still picture with a three-frame sequence beside it, and a sequence alone.
        {"sequence.avif",
         Concat(WithFtyp(avif, Ftyp("avis", {"avif", "avis", "msf1", "miaf"})), Moov({3}))},
        {"bare.avif", Concat(Ftyp("avis", {"avis", "msf1"}), Moov({4}))},
    };
    RXWorker job;
    Refusals refusals;
    FileIntake intake(job, &refusals);
    for (const auto& f : files) {
        rxtest::WriteFile(dir / f.name, f.bytes);
        EXPECT_EQ(CheckInputFile(dir / f.name), InputCheck::SeveralFrames) << f.name;
        intake.Begin();
        EXPECT_FALSE(intake.AddPath(dir / f.name));
        EXPECT_TRUE(intake.animated()) << f.name << ": the animated files' message is shown";
    }
    EXPECT_EQ(refusals.reasons, std::vector<IntakeRefusal>(4, IntakeRefusal::SeveralFrames));

    for (const OutputFormat format : kPhotoFormats) {
        const fs::path still = dir / ("still" + std::string(OutputFormatExtension(format)));
        rxtest::WriteFile(still, MakeImage(format));
        EXPECT_EQ(CheckInputFile(still), InputCheck::Usable) << Name(format);
    }
}

TEST(PhotoFormats, AHeicNamedJpgIsReadAndWrittenAsHeic) {
    REQUIRE_ENCODER(OutputFormat::Heic);
    rxtest::TempDir dir;
    fs::create_directories(dir / "out");
    const Bytes heic = MakeImage(OutputFormat::Heic, {.width = 40, .height = 30});
    rxtest::WriteFile(dir / "photo.jpg", heic);
    EXPECT_EQ(CheckInputFile(dir / "photo.jpg"), InputCheck::Usable);

    ImageFile kept(dir / "photo.jpg", 0);
    kept.ConvertFormat(OutputFormat::DontChange);
    EXPECT_EQ(kept.format(), OutputFormat::Heic);
    ASSERT_TRUE(kept.Save(dir / "out"));
    EXPECT_EQ(kept.savedPath().filename(), "photo.jpg");
    EXPECT_EQ(rxtest::ReadFile(kept.savedPath()), heic) << "not re-encoded";

    ImageFile converted(dir / "photo.jpg", 1);
    converted.ConvertFormat(OutputFormat::Png);
    ASSERT_TRUE(converted.failure().empty()) << converted.failure();
    EXPECT_EQ(converted.name(), "photo.png");
    const auto d = rxtest::Inspect(*converted.data()->Contents());
    EXPECT_EQ(d.loader, "pngload_buffer");
    EXPECT_EQ(QSize(d.width, d.height), QSize(40, 30));
}

TEST(PhotoFormats, ReencodingKeepsTheContainerExifXmpAndIcc) {
    const size_t icc = SrgbProfileSize();
    for (const OutputFormat format : kPhotoFormats) {
        REQUIRE_ENCODER(format);
        SCOPED_TRACE(Name(format));
        rxtest::TempDir dir;
        const fs::path source = dir / ("p" + std::string(OutputFormatExtension(format)));
        rxtest::WriteFile(
            source,
            MakeImage(format,
                      {.width = 50, .height = 30, .model = "RX-Photo", .xmp = kXmp, .icc = true}));
        ImageFile file(source, 0);
        auto bitmap = file.GetImage();
        ASSERT_TRUE(bitmap->Pixels());
        QImage pixels = bitmap->Pixels()->copy();
        pixels.fill(Qt::red);
        bitmap->SetPixels(pixels);
        ASSERT_TRUE(file.SetImage(std::move(bitmap)));
        EXPECT_EQ(file.name(), source.filename());
        const Bytes out = *file.data()->Contents();
        EXPECT_EQ(Sniff(out), format);
        const vips::VImage written = Open(out);
        EXPECT_EQ(QSize(written.width(), written.height()), QSize(50, 30));
        EXPECT_GT(written.extract_band(0).avg(), 200.0) << "the new pixels";
        EXPECT_LT(written.extract_band(1).avg(), 60.0);
        const Carried kept = Metadata(out);
        EXPECT_EQ(kept.model, "RX-Photo");
        EXPECT_TRUE(kept.xmp);
        EXPECT_EQ(kept.icc, icc);

        // Converted, the blocks travel into the other container.
        ImageFile converted(source, 1);
        converted.ConvertFormat(OutputFormat::Jpeg);
        ASSERT_EQ(converted.format(), OutputFormat::Jpeg);
        const Carried moved = Metadata(*converted.data()->Contents());
        EXPECT_EQ(moved.model, "RX-Photo");
        EXPECT_TRUE(moved.xmp);
        EXPECT_EQ(moved.icc, icc);
    }
}

TEST(PhotoFormats, RescalingKeepsContainerMetadataDepthAndStoresUpright) {
    const size_t icc = SrgbProfileSize();
    for (const OutputFormat format : kPhotoFormats) {
        REQUIRE_ENCODER(format);
        SCOPED_TRACE(Name(format));
        const Bytes source = MakeImage(format, {.width = 64,
                                                .height = 48,
                                                .orientation = 6,
                                                .model = "RX-Photo",
                                                .xmp = kXmp,
                                                .icc = true});
        // WebP shows the picture turned (48 x 64); HEIF as stored, its EXIF tag being advisory.
        const QSize shown = format == OutputFormat::Webp ? QSize(48, 64) : QSize(64, 48);
        const QSize half = shown / 2;
        const Bytes out = ScaleTo(source, half.width(), half.height());
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(Sniff(out), format);
        const vips::VImage img = Open(out);
        EXPECT_EQ(QSize(img.width(), img.height()), half);
        const Carried kept = Metadata(out);
        EXPECT_EQ(kept.model, "RX-Photo");
        EXPECT_EQ(kept.orientation, 1) << "stored upright: no reader turns it again";
        EXPECT_TRUE(kept.xmp);
        EXPECT_EQ(kept.icc, icc);
    }
    // Turned WebP: the stored red ramp along x runs along y once upright.
    if (rxtest::CanEncode(OutputFormat::Webp)) {
        const Bytes out = ScaleTo(
            MakeImage(OutputFormat::Webp, {.width = 64, .height = 48, .orientation = 6}), 24, 32);
        const vips::VImage red = Open(out).extract_band(0);
        EXPECT_LT(red.crop(0, 0, 24, 4).avg() + 100, red.crop(0, 28, 24, 4).avg());
    }
    // HEIF keeps its bit depth.
    for (const OutputFormat format : {OutputFormat::Avif, OutputFormat::Heic}) {
        if (!rxtest::CanEncode(format))
            continue;
        const int bits = format == OutputFormat::Avif ? 12 : 10;
        const Bytes out =
            ScaleTo(MakeImage(format, {.width = 64, .height = 48, .bits = bits}), 32, 24);
        ASSERT_FALSE(out.empty()) << Name(format);
        const vips::VImage img = Open(out);
        EXPECT_EQ(img.format(), VIPS_FORMAT_USHORT) << Name(format);
        EXPECT_EQ(img.get_int("heif-bitdepth"), bits) << Name(format);
    }
}

TEST(PhotoFormats, WebpAndAvifAreConversionTargetsAndHeicIsNot) {
    rxtest::TempDir dir;
    const fs::path source = dir / "p.jpg";
    rxtest::WriteFile(source,
                      MakeImage(OutputFormat::Jpeg, {.width = 40, .height = 30, .model = "RX-C"}));
    for (const OutputFormat target : {OutputFormat::Webp, OutputFormat::Avif}) {
        REQUIRE_ENCODER(target);
        SCOPED_TRACE(Name(target));
        ImageFile file(source, 0);
        file.ConvertFormat(target);
        ASSERT_TRUE(file.failure().empty()) << file.failure();
        EXPECT_EQ(file.format(), target);
        EXPECT_EQ(file.name().extension(), OutputFormatExtension(target));
        const Bytes out = *file.data()->Contents();
        EXPECT_EQ(Sniff(out), target);
        const auto d = rxtest::Inspect(out);
        EXPECT_EQ(QSize(d.width, d.height), QSize(40, 30));
        EXPECT_EQ(Metadata(out).model, "RX-C");
    }
    // Outside the list: the file fails with the reason instead of leaving as it came.
    for (const OutputFormat outside :
         {OutputFormat::Heic, static_cast<OutputFormat>(9), static_cast<OutputFormat>(-1)}) {
        ImageFile file(source, 0);
        file.ConvertFormat(outside);
        EXPECT_NE(file.failure().find("is not one that files can be converted to"),
                  std::string::npos)
            << FormatNumber(outside) << ": " << file.failure();
        EXPECT_EQ(file.name(), "p.jpg");
        EXPECT_EQ(*file.data()->Contents(), rxtest::ReadFile(source));
    }
    ImageFile heic(source, 0);
    heic.ConvertFormat(OutputFormat::Heic);
    EXPECT_NE(heic.failure().find("HEIC"), std::string::npos) << heic.failure();
}

TEST(PhotoFormats, TheFileDialogsFilterOffersThePhotoFormatsAndOnlyWhatIsRead) {
    const std::string filter = kImageFileFilter;
    const auto open = filter.find('('), close = filter.find(')');
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(close, std::string::npos);
    std::vector<std::string> patterns;
    size_t from = open + 1;
    while (from < close) {
        const size_t end = std::min(filter.find(' ', from), close);
        patterns.push_back(filter.substr(from, end - from));
        from = end + 1;
    }
    for (const char* wanted : {"*.jpg", "*.png", "*.webp", "*.heic", "*.heif", "*.avif"})
        EXPECT_NE(std::find(patterns.begin(), patterns.end(), wanted), patterns.end()) << wanted;
    for (const std::string& p : patterns) {
        ASSERT_EQ(p.substr(0, 2), "*.") << p;
        EXPECT_TRUE(IsSupportedExtension(p.substr(1))) << p;
    }
}
