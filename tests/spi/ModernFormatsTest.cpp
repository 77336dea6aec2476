// HEIF, AVIF and JPEG XL pictures made here by each library's own encoder in
// the variants its plug-in must handle, decoded as the viewer decodes them and
// compared with the library's own decoder tool: exact, since plug-in and tool
// run the same library code, and the plug-in's composition over the
// background is repeated on the tool's RGBA output.
#include "ModernFormatTools.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <utility>
#include <vector>

namespace tavo::spitest {
namespace {

// 67 x 45: odd sides, so rows need padding and 4:2:0 chroma has a ragged edge.
// PNG24 without gamma chunks, so that every encoder takes it as sRGB.
const std::string kPlain = "-size 67x45 gradient:'#ff2000-#0030ff' -fill '#30c040' -draw 'circle 20,20 30,28' "
                           "-fill white -draw 'rectangle 45,5 60,40' -define png:exclude-chunk=gAMA,cHRM,bKGD,date,tIME -strip";
const std::string kAlpha = " -alpha set -channel A -fx 'i/w' +channel";

std::uint64_t bigEndian(const Bytes& data, std::size_t at, std::size_t bytes)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        value = value << 8 | data.at(at + i);
    return value;
}

void putBigEndian(Bytes& data, std::size_t at, std::size_t bytes, std::uint64_t value)
{
    for (std::size_t i = bytes; i-- > 0; value >>= 8)
        data.at(at + i) = std::uint8_t(value);
}

struct Box {
    std::size_t at = 0, size = 0;
    std::size_t end() const { return at + size; }
};

// The first box of the type among the boxes from `from` to `to`.
std::optional<Box> findBox(const Bytes& data, std::size_t from, std::size_t to, const char* type)
{
    for (std::size_t at = from; at + 8 <= to;) {
        const std::size_t size = bigEndian(data, at, 4);
        if (size < 8 || at + size > to)
            return std::nullopt;
        if (std::equal(type, type + 4, data.begin() + std::ptrdiff_t(at + 4)))
            return Box{at, size};
        at += size;
    }
    return std::nullopt;
}

// An ISO file (as heif-enc writes it: no 64-bit box sizes, the coded data
// after the meta box) with a one-byte property of each type given (irot,
// imir) added to its primary item, in that order, as if its encoder had
// written them: the boxes around grow, the item locations move.
Bytes withProperties(Bytes data, const std::vector<std::pair<std::string, std::uint8_t>>& added)
{
    const auto meta = findBox(data, 0, data.size(), "meta");
    if (!meta)
        return {};
    const std::size_t children = meta->at + 12; // after the full box's version and flags
    const auto pitm = findBox(data, children, meta->end(), "pitm");
    const auto iloc = findBox(data, children, meta->end(), "iloc");
    const auto iprp = findBox(data, children, meta->end(), "iprp");
    if (!pitm || !iloc || !iprp || data[pitm->at + 8] != 0)
        return {};
    const auto ipco = findBox(data, iprp->at + 8, iprp->end(), "ipco");
    const auto ipma = findBox(data, iprp->at + 8, iprp->end(), "ipma");
    if (!ipco || !ipma || ipma->at < ipco->end())
        return {};
    const std::uint64_t primary = bigEndian(data, pitm->at + 12, 2);

    Bytes properties;
    std::uint64_t index = 0;
    for (std::size_t at = ipco->at + 8; at < ipco->end(); at += bigEndian(data, at, 4))
        ++index;
    Bytes associations;
    const bool wide = data[ipma->at + 11] & 1;
    for (const auto& [type, value] : added) {
        properties.insert(properties.end(), {0, 0, 0, 9, std::uint8_t(type[0]), std::uint8_t(type[1]),
                                             std::uint8_t(type[2]), std::uint8_t(type[3]), value});
        ++index; // essential: a reader that does not know it must not show the picture
        if (wide)
            associations.insert(associations.end(), {std::uint8_t(0x80 | index >> 8), std::uint8_t(index)});
        else
            associations.push_back(std::uint8_t(0x80 | index));
    }
    // The primary item's entry of the association box gets them at its end.
    const std::size_t idBytes = data[ipma->at + 8] < 1 ? 2 : 4;
    std::size_t entry = ipma->at + 16, insertAt = 0;
    for (std::uint64_t n = bigEndian(data, ipma->at + 12, 4); n > 0 && entry < ipma->end(); --n) {
        const std::size_t count = data.at(entry + idBytes);
        const std::size_t next = entry + idBytes + 1 + count * (wide ? 2 : 1);
        if (bigEndian(data, entry, idBytes) == primary) {
            data.at(entry + idBytes) = std::uint8_t(count + added.size());
            insertAt = next;
        }
        entry = next;
    }
    if (insertAt == 0)
        return {};

    // Offsets into the file beyond the meta box move by what it grows.
    const std::size_t grown = properties.size() + associations.size();
    const unsigned version = data[iloc->at + 8];
    std::size_t at = iloc->at + 12;
    const std::size_t offsetBytes = data[at] >> 4, lengthBytes = data[at] & 15;
    const std::size_t baseBytes = data[at + 1] >> 4, indexBytes = version >= 1 ? data[at + 1] & 15 : 0;
    const std::size_t idSize = version < 2 ? 2 : 4;
    std::uint64_t items = bigEndian(data, at + 2, idSize);
    at += 2 + idSize;
    for (; items > 0; --items) {
        at += idSize;
        const bool inFile = version == 0 || (bigEndian(data, at, 2) & 15) == 0;
        at += (version >= 1 ? 2 : 0) + 2;
        const std::uint64_t base = bigEndian(data, at, baseBytes);
        if (inFile && base >= meta->end())
            putBigEndian(data, at, baseBytes, base + grown);
        at += baseBytes;
        const std::uint64_t extents = bigEndian(data, at, 2);
        at += 2;
        for (std::uint64_t extent = 0; extent < extents; ++extent) {
            at += indexBytes;
            const std::uint64_t offset = bigEndian(data, at, offsetBytes);
            if (inFile && base < meta->end() && base + offset >= meta->end())
                putBigEndian(data, at, offsetBytes, offset + grown);
            at += offsetBytes + lengthBytes;
        }
    }
    for (const Box& box : {*meta, *iprp, *ipma})
        putBigEndian(data, box.at, 4, box.size + (box.at == ipma->at ? associations.size() : grown));
    putBigEndian(data, ipco->at, 4, ipco->size + properties.size());
    data.insert(data.begin() + std::ptrdiff_t(insertAt), associations.begin(), associations.end());
    data.insert(data.begin() + std::ptrdiff_t(ipco->end()), properties.begin(), properties.end());
    return data;
}

class ModernFormats : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!run("convert -version"))
            GTEST_SKIP() << "ImageMagick is not installed (package imagemagick)";
        handles = platform::liveLocalHandleCount();
        ASSERT_TRUE(shell("convert " + kPlain + " -depth 8 PNG24:" + (folder / "plain.png").string()));
        ASSERT_TRUE(shell("convert " + kPlain + kAlpha + " -depth 8 PNG32:" + (folder / "alpha.png").string()));
        ASSERT_TRUE(shell("convert " + kPlain + " -depth 16 PNG48:" + (folder / "deep.png").string()));
    }
    void TearDown() override { EXPECT_EQ(platform::liveLocalHandleCount(), handles); }

    bool tool(const char* name, const char* package)
    {
        if (run(std::string("command -v ") + name))
            return true;
        ADD_FAILURE() << name << " is missing (package " << package << ")";
        return false;
    }

    // Decodes picture as the viewer does and compares it with reference.
    void expectSame(const std::string& picture, const std::string& reference, int tolerance = 0)
    {
        SCOPED_TRACE(picture);
        const auto ours = decodeAsViewer(folder / picture);
        const auto theirs = readReference(folder / reference);
        ASSERT_TRUE(ours.has_value()) << "the plug-in refused it";
        ASSERT_TRUE(theirs.has_value());
        EXPECT_EQ(ours->width, theirs->width);
        EXPECT_EQ(ours->height, theirs->height);
        const int worst = worstDifference(*ours, *theirs);
        EXPECT_GE(worst, 0);
        EXPECT_LE(worst, tolerance);
    }

    ScratchFolder folder{"modern-formats"};
    std::size_t handles = 0;
};

TEST_F(ModernFormats, HeicVariantsDecodeAsHeifConvertDecodesThem)
{
    if (!tool("heif-enc", "libheif-examples") || !tool("heif-convert", "libheif-examples"))
        return;
    const std::string dir = folder / "";
    ASSERT_TRUE(shell("cd " + dir + " && heif-enc -L -p chroma=444 -o lossless.heic plain.png"));
    ASSERT_TRUE(shell("cd " + dir + " && heif-enc -q 60 -o lossy.heic plain.png"));
    ASSERT_TRUE(shell("cd " + dir + " && heif-enc -q 70 -o alpha.heic alpha.png"));
    for (const char* name : {"lossless", "lossy", "alpha"}) {
        ASSERT_TRUE(shell("cd " + dir + " && heif-convert --quiet " + name + ".heic " + name + ".ref.png"));
        expectSame(std::string(name) + ".heic", std::string(name) + ".ref.png");
    }
    // The lossless picture is the source itself, but for the round trip
    // through YCbCr that libheif's encoder makes.
    expectSame("lossless.heic", "plain.png", 2);

    // 10 bits: heif-convert writes 16-bit samples, which are brought to 8
    // bits here the way the plug-in rounds. libheif 1.15's heif-convert
    // writes them in little-endian order, its samples shifted to the top
    // bits; the low bits tell which order it used.
    ASSERT_TRUE(shell("cd " + dir + " && heif-enc -b 10 -q 80 -o deep.heic deep.png && heif-convert --quiet deep.heic deep.ref.png"));
    const auto raw = run("convert " + dir + "deep.ref.png -depth 16 rgb:-");
    ASSERT_TRUE(raw.has_value());
    bool bigEndianShifted = true, littleEndianShifted = true;
    for (std::size_t i = 0; i + 1 < raw->size(); i += 2) {
        bigEndianShifted = bigEndianShifted && ((*raw)[i + 1] & 0x3F) == 0;
        littleEndianShifted = littleEndianShifted && ((*raw)[i] & 0x3F) == 0;
    }
    ASSERT_TRUE(bigEndianShifted || littleEndianShifted);
    const auto ours = decodeAsViewer(folder / "deep.heic");
    ASSERT_TRUE(ours.has_value());
    ASSERT_EQ(ours->rgb.size() * 2, raw->size());
    int worst = 0;
    for (std::size_t i = 0; i < ours->rgb.size(); ++i) {
        const auto high = std::uint8_t((*raw)[2 * i]), low = std::uint8_t((*raw)[2 * i + 1]);
        const unsigned sample = (bigEndianShifted ? (high << 8 | low) : (low << 8 | high)) >> 6;
        worst = std::max(worst, std::abs(int((sample * 255 + 511) / 1023) - int(ours->rgb[i])));
    }
    EXPECT_EQ(worst, 0);
}

// heif-enc writes no rotation or mirroring: they are added here to the
// primary item of a lossless picture, as a camera writes them. The plug-in
// shows the picture as heif-convert does, which is the source turned:
// rotation anticlockwise, then mirroring (axis 0 swaps top and bottom, as
// in the AVIF plug-in).
TEST_F(ModernFormats, HeicRotationAndMirroringAreApplied)
{
    if (!tool("heif-enc", "libheif-examples") || !tool("heif-convert", "libheif-examples"))
        return;
    const std::string dir = folder / "";
    ASSERT_TRUE(shell("cd " + dir + " && heif-enc -L -p chroma=444 -o upright.heic plain.png"));
    const Bytes upright = readFile(folder / "upright.heic");
    struct Variant {
        const char* name;
        std::vector<std::pair<std::string, std::uint8_t>> properties;
        const char* turn;
    };
    const Variant variants[] = {
        {"rot90", {{"irot", 1}}, "-rotate -90"},
        {"rot180", {{"irot", 2}}, "-rotate 180"},
        {"flip", {{"imir", 0}}, "-flip"},
        {"rot270flop", {{"irot", 3}, {"imir", 1}}, "-rotate 90 -flop"},
    };
    PluginModule module("ifheif.spi");
    ASSERT_TRUE(module.loaded());
    for (const auto& [name, properties, turn] : variants) {
        SCOPED_TRACE(name);
        const Bytes turned = withProperties(upright, properties);
        ASSERT_FALSE(turned.empty()) << "heif-enc's boxes are not as expected";
        const std::string file = std::string(name) + ".heic";
        {
            std::ofstream out(folder / file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(turned.data()), std::streamsize(turned.size()));
        }
        ASSERT_TRUE(shell("cd " + dir + " && heif-convert --quiet " + file + " " + name + ".ref.png"));
        ASSERT_TRUE(shell("cd " + dir + " && convert plain.png " + turn + " PNG24:" + name + ".turned.png"));
        expectSame(file, std::string(name) + ".ref.png");
        expectSame(file, std::string(name) + ".turned.png", 2);
        SPI_PICTINFO info{};
        ASSERT_EQ(module.pictureInfo(turned, info), SPI_ALL_RIGHT);
        const bool quarter = properties.front() == std::make_pair(std::string("irot"), std::uint8_t(1))
            || properties.front() == std::make_pair(std::string("irot"), std::uint8_t(3));
        EXPECT_EQ(info.width, quarter ? 45 : 67);
        EXPECT_EQ(info.height, quarter ? 67 : 45);
    }
}

TEST_F(ModernFormats, AvifVariantsDecodeAsAvifdecDecodesThem)
{
    if (!tool("avifenc", "libavif-bin") || !tool("avifdec", "libavif-bin"))
        return;
    const std::string dir = folder / "";
    const char* variants[][2] = {
        {"lossless", "-l plain.png"},
        {"lossy", "--min 20 --max 30 plain.png"},
        {"yuv444", "-y 444 --min 10 --max 20 plain.png"},
        {"grey", "-y 400 plain.png"},
        {"alpha", "--min 20 --max 30 alpha.png"},
        {"deep10", "-d 10 deep.png"},
        {"deep12", "-d 12 -y 422 deep.png"},
    };
    for (const auto& [name, options] : variants) {
        ASSERT_TRUE(shell("cd " + dir + " && avifenc -s 10 " + options + " " + name + ".avif"));
        // avifdec converts 10 and 12 bits to 8 as the plug-in asks libavif to.
        ASSERT_TRUE(shell("cd " + dir + " && avifdec -d 8 " + name + ".avif " + name + ".ref.png"));
        expectSame(std::string(name) + ".avif", std::string(name) + ".ref.png");
    }
    expectSame("lossless.avif", "plain.png");

    // avifdec leaves rotation, mirroring and the clean aperture to its
    // caller: the lossless picture with them must equal the source turned by
    // ImageMagick. Rotation is anticlockwise; mirror mode 0 swaps top and
    // bottom; the aperture (16, 8, 40 x 30) is cropped first.
    const char* transforms[][3] = {
        {"rot90", "--irot 1", "-rotate -90"},
        {"rot180", "--irot 2", "-rotate 180"},
        {"rot270", "--irot 3", "-rotate 90"},
        {"flip", "--imir 0", "-flip"},
        {"flop", "--imir 1", "-flop"},
        {"rot90flip", "--irot 1 --imir 0", "-rotate -90 -flip"},
        {"crop", "--crop 16,8,40,30 --irot 3", "-crop 40x30+16+8 +repage -rotate 90"},
    };
    for (const auto& [name, options, turn] : transforms) {
        ASSERT_TRUE(shell("cd " + dir + " && avifenc -s 10 -l " + options + " plain.png " + name + ".avif"));
        ASSERT_TRUE(shell("cd " + dir + " && convert plain.png " + turn + " PNG24:" + name + ".ref.png"));
        expectSame(std::string(name) + ".avif", std::string(name) + ".ref.png");
    }
}

TEST_F(ModernFormats, JpegXlVariantsDecodeAsDjxlDecodesThem)
{
    if (!tool("cjxl", "libjxl-tools") || !tool("djxl", "libjxl-tools"))
        return;
    const std::string dir = folder / "";
    ASSERT_TRUE(shell("cd " + dir + " && convert plain.png -colorspace Gray -depth 8 PGM:grey.pgm"));
    ASSERT_TRUE(shell("cd " + dir + " && convert plain.png -flop PNG24:second.png && "
                      "convert -delay 10 plain.png -delay 10 second.png -loop 0 animated.gif"));
    const char* variants[][2] = {
        {"lossless", "-d 0 plain.png"},
        {"lossy", "-d 1.5 plain.png"},
        {"alpha", "-d 1 alpha.png"},
        {"grey", "-d 0 grey.pgm"},
        {"deep", "-d 0.5 deep.png"},
        {"animated", "-d 0 animated.gif"},
    };
    for (const auto& [name, options] : variants) {
        ASSERT_TRUE(shell("cd " + dir + " && cjxl " + std::string(options) + " " + name + ".jxl"));
        ASSERT_TRUE(shell("cd " + dir + " && djxl " + name + ".jxl " + name + ".ref.png"));
    }
    for (const char* name : {"lossless", "lossy", "alpha", "grey"})
        expectSame(std::string(name) + ".jxl", std::string(name) + ".ref.png");
    // djxl writes the 16-bit picture with 16-bit samples (its 8-bit option
    // is broken in libjxl 0.7), which ImageMagick rounds to 8 bits: libjxl's
    // own rounding for the plug-in may land one step away.
    expectSame("deep.jxl", "deep.ref.png", 1);
    expectSame("lossless.jxl", "plain.png");
    expectSame("animated.jxl", "animated.gif"); // its first frame
    const auto grey = decodeAsViewer(folder / "grey.jxl");
    ASSERT_TRUE(grey.has_value());
    EXPECT_EQ(grey->bitCount, 8);

    // cjxl takes the orientation from the source's Exif data into the
    // codestream; libjxl turns the picture, once, as ImageMagick turns the source.
    if (!tool("exiftool", "libimage-exiftool-perl"))
        return;
    const char* orientations[][3] = {{"right", "6", "-rotate 90"}, {"transposed", "5", "-transpose"}, {"upside", "3", "-rotate 180"}};
    for (const auto& [name, tag, turn] : orientations) {
        ASSERT_TRUE(shell("cd " + dir + " && cp plain.png " + name + ".png && exiftool -q -overwrite_original -Orientation#="
                          + tag + " " + name + ".png && cjxl -d 0 " + name + ".png " + name + ".jxl && convert plain.png "
                          + turn + " PNG24:" + name + ".ref.png"));
        expectSame(std::string(name) + ".jxl", std::string(name) + ".ref.png");
    }
}

// A picture with an embedded ICC profile (here Adobe RGB's primaries) is
// shown converted to sRGB, as ImageMagick converts the source through Little
// CMS; lossless coding keeps the source's samples, but for HEIC's round trip
// through YCbCr, so a few steps of difference remain.
TEST_F(ModernFormats, EmbeddedColourProfilesAreConvertedToSrgb)
{
    const fs::path icc = "/usr/share/color/icc";
    if (!fs::exists(icc / "compatibleWithAdobeRGB1998.icc") || !fs::exists(icc / "sRGB.icc"))
        GTEST_SKIP() << "ICC profiles not installed (package icc-profiles-free)";
    if (!tool("heif-enc", "libheif-examples") || !tool("avifenc", "libavif-bin") || !tool("cjxl", "libjxl-tools"))
        return;
    const std::string dir = folder / "";
    ASSERT_TRUE(shell("cd " + dir + " && convert plain.png -profile " + (icc / "compatibleWithAdobeRGB1998.icc").string()
                      + " PNG24:adobe.png && convert adobe.png -intent Perceptual -profile " + (icc / "sRGB.icc").string()
                      + " PNG24:adobe.ref.png"));
    ASSERT_TRUE(shell("cd " + dir + " && heif-enc -L -p chroma=444 -o adobe.heic adobe.png && "
                      "avifenc -s 10 -l adobe.png adobe.avif && cjxl -d 0 adobe.png adobe.jxl"));
    for (const char* name : {"adobe.heic", "adobe.avif", "adobe.jxl"}) {
        expectSame(name, "adobe.ref.png", 3);
        const auto ours = decodeAsViewer(folder / name);
        const auto stored = readReference(folder / "plain.png");
        ASSERT_TRUE(ours && stored);
        EXPECT_GT(worstDifference(*ours, *stored), 20) << name << " was not converted";
    }
}

// Each plug-in reports its rows from (0, total) up to (total, total), stops
// with 1 when the callback asks, and refuses broken and hostile data with a
// code, leaving no block behind.
TEST_F(ModernFormats, ProgressStopsAndRefusalsOfEachPlugin)
{
    if (!tool("heif-enc", "libheif-examples") || !tool("avifenc", "libavif-bin") || !tool("cjxl", "libjxl-tools"))
        return;
    const std::string dir = folder / "";
    ASSERT_TRUE(shell("cd " + dir + " && heif-enc -q 50 -o p.heic plain.png && avifenc -s 10 plain.png p.avif && "
                      "cjxl -d 1 plain.png p.jxl"));
    for (const char* name : {"p.heic", "p.avif", "p.jxl"}) {
        SCOPED_TRACE(name);
        PluginModule module(pluginFor(name));
        ASSERT_TRUE(module.loaded());
        const Bytes data = readFile(folder / name);
        ASSERT_NE(module.isSupported(data), 0);
        SPI_PICTINFO info{};
        ASSERT_EQ(module.pictureInfo(data, info), SPI_ALL_RIGHT);
        EXPECT_EQ(info.width, 67);
        EXPECT_EQ(info.height, 45);

        ProgressLog log;
        ASSERT_EQ(decode(module, data, &log).result, SPI_ALL_RIGHT);
        ASSERT_GE(log.calls.size(), 2u);
        EXPECT_EQ(log.calls.front(), std::make_pair(0, 45));
        EXPECT_EQ(log.calls.back(), std::make_pair(45, 45));
        EXPECT_TRUE(std::is_sorted(log.calls.begin(), log.calls.end()));
        for (std::int32_t at : {0, log.calls[1].first, 45}) {
            ProgressLog stop;
            stop.abortAt = at;
            EXPECT_EQ(decode(module, data, &stop).result, SPI_ABORT);
        }

        // Cut short at several places, and with bytes spoilt after the header:
        // refused or decoded, never a fault; cut to its first block, refused.
        for (std::size_t keep : {data.size() / 2, data.size() * 9 / 10, data.size() - 1}) {
            const Bytes cut(data.begin(), data.begin() + std::ptrdiff_t(keep));
            const Dib dib = decode(module, cut);
            EXPECT_TRUE(dib.result != SPI_ALL_RIGHT || dib.layoutError.empty());
        }
        Bytes spoilt = data;
        for (std::size_t i = data.size() / 3; i < data.size(); i += 7)
            spoilt[i] ^= 0x5A;
        const Dib dib = decode(module, spoilt);
        EXPECT_TRUE(dib.result != SPI_ALL_RIGHT || dib.layoutError.empty());
        EXPECT_NE(decode(module, Bytes(data.begin(), data.begin() + 40)).result, SPI_ALL_RIGHT);
        EXPECT_EQ(module.isSupported(Bytes{'h', 'e', 'l', 'l', 'o'}), 0);
    }
    // Brands decide which plug-in claims an ISO file.
    PluginModule heif("ifheif.spi"), avif("ifavif.spi");
    EXPECT_EQ(heif.isSupported(readFile(folder / "p.avif")), 0);
    EXPECT_EQ(avif.isSupported(readFile(folder / "p.heic")), 0);
}

} // namespace
} // namespace tavo::spitest
