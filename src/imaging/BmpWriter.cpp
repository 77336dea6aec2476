#include "imaging/BmpWriter.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace tavo {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Headers, masks and colour table: everything before the pixels.
std::vector<std::uint8_t> headerBytes(const Bitmap& bitmap)
{
    const int bits = bitmap.bitCount();
    const bool bitfields = (bits == 16 || bits == 32) && !bitmap.masks().isDefault();
    // A palettised bitmap without palette is all black; a table of zeros keeps it so.
    std::vector<PaletteEntry> table = bitmap.palette();
    const std::uint32_t colorsUsed = static_cast<std::uint32_t>(table.size());
    if (bits <= 8 && table.empty())
        table.resize(std::size_t{1} << bits);
    if (bits > 8)
        table.clear();
    const std::uint32_t imageSize = static_cast<std::uint32_t>(bitmap.byteSize());
    const std::uint32_t offBits = kFileHeaderSize + kInfoHeaderSize + (bitfields ? 12 : 0)
        + static_cast<std::uint32_t>(table.size() * 4);

    std::vector<std::uint8_t> out;
    out.reserve(offBits);
    put16(out, 0x4D42); // "BM"
    put32(out, offBits + imageSize);
    put32(out, 0);
    put32(out, offBits);
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(bitmap.width()));
    put32(out, static_cast<std::uint32_t>(bitmap.height())); // positive: bottom-up
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(bits));
    put32(out, bitfields ? kBiBitfields : kBiRgb);
    put32(out, imageSize);
    put32(out, 0);
    put32(out, 0);
    put32(out, bits <= 8 ? colorsUsed : 0);
    put32(out, 0);
    if (bitfields) {
        put32(out, bitmap.masks().red);
        put32(out, bitmap.masks().green);
        put32(out, bitmap.masks().blue);
    }
    for (const PaletteEntry& entry : table) {
        out.push_back(entry.blue);
        out.push_back(entry.green);
        out.push_back(entry.red);
        out.push_back(0);
    }
    return out;
}

} // namespace

void writeBmpFile(const std::string& path, const Bitmap& bitmap)
{
    if (bitmap.byteSize() > UINT32_MAX - (1u << 16))
        throw EWriteError(); // beyond what the format's 32-bit sizes can say
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        throw EFCreateError(path);
    // Unbuffered: the rows go to the file as they lie in the bitmap, without a copy.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    const std::vector<std::uint8_t> header = headerBytes(bitmap);
    bool ok = std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
    if (ok && !bitmap.isEmpty()) {
        if (bitmap.rowOrder() == RowOrder::BottomUp) {
            ok = std::fwrite(bitmap.bits(), 1, bitmap.byteSize(), file.get()) == bitmap.byteSize();
        } else {
            for (std::int32_t y = bitmap.height() - 1; ok && y >= 0; --y)
                ok = std::fwrite(bitmap.row(y), 1, bitmap.stride(), file.get()) == bitmap.stride();
        }
    }
    if (std::fclose(file.release()) != 0)
        ok = false;
    if (!ok)
        throw EWriteError();
}

} // namespace tavo
