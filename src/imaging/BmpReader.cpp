#include "imaging/BmpReader.h"

#include "imaging/BmpLayout.h"
#include "imaging/BmpRle.h"
#include "imaging/ByteReader.h"
#include "platform/Errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace tavo {

namespace {

// Where the pixel bytes come from: the data in memory, or the open file, which
// is read straight into the bitmap rather than through a copy of its own.
class PixelSource {
public:
    virtual ~PixelSource() = default;
    // Copies up to count bytes from the first pixel byte on; returns how many there were.
    virtual std::size_t copyTo(std::uint8_t* destination, std::size_t count) = 0;
    // Up to count bytes from the first pixel byte on.
    virtual std::span<const std::uint8_t> bytes(std::size_t count) = 0;
};

class MemorySource : public PixelSource {
public:
    explicit MemorySource(ByteReader& reader) : reader_(reader) {}
    std::size_t copyTo(std::uint8_t* destination, std::size_t count) override
    {
        const auto data = reader_.takeAtMost(count);
        if (!data.empty())
            std::memcpy(destination, data.data(), data.size());
        return data.size();
    }
    std::span<const std::uint8_t> bytes(std::size_t count) override { return reader_.takeAtMost(count); }

private:
    ByteReader& reader_;
};

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Reads up to count bytes at offset; fewer only where the file ends.
std::size_t readAt(std::FILE* file, std::uint64_t offset, std::uint8_t* destination, std::size_t count)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max()) ||
        std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
        throw EReadError();
    const std::size_t got = count == 0 ? 0 : std::fread(destination, 1, count, file);
    if (std::ferror(file))
        throw EReadError();
    return got;
}

class FileSource : public PixelSource {
public:
    FileSource(std::FILE* file, std::uint64_t start) : file_(file), start_(start) {}
    std::size_t copyTo(std::uint8_t* destination, std::size_t count) override
    {
        return readAt(file_, start_, destination, count);
    }
    std::span<const std::uint8_t> bytes(std::size_t count) override
    {
        // Run-length data is read in whole before it is expanded; the file's
        // size bounds the buffer, whatever the header claims.
        buffer_.resize(count);
        buffer_.resize(readAt(file_, start_, buffer_.data(), count));
        return buffer_;
    }

private:
    std::FILE* file_;
    std::uint64_t start_;
    std::vector<std::uint8_t> buffer_;
};

std::size_t clampToSize(std::uint64_t value)
{
    return static_cast<std::size_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::size_t>::max()));
}

Bitmap buildBitmap(const BmpLayout& layout, PixelSource& source, std::uint64_t pixelBytesHeld)
{
    if (layout.isEmpty())
        return Bitmap(0, 0, layout.outputBitCount());
    const std::size_t pixelBytes = clampToSize(std::min(layout.pixelBytes, pixelBytesHeld));
    if (layout.isRunLength()) {
        Bitmap expanded(layout.width, layout.height, 32, RowOrder::BottomUp);
        const int bitsPerIndex = layout.compression == BmpCompression::Rle8 ? 8 : 4;
        expandBmpRunLength(source.bytes(pixelBytes), bitsPerIndex, layout.colorTable, expanded);
        return expanded;
    }
    // File rows and bitmap rows are both padded to 4 bytes and lie in the same
    // order, so the pixel data is one block copy.
    Bitmap bitmap(layout.width, layout.height, layout.bitCount, layout.rowOrder);
    bitmap.setPalette(layout.colorTable);
    if (layout.compression == BmpCompression::BitFields)
        bitmap.setMasks(layout.masks);
    source.copyTo(bitmap.mutableBits(), std::min(pixelBytes, bitmap.byteSize()));
    return bitmap;
}

} // namespace

Bitmap ReadBmpStream(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return Bitmap();
    ByteReader reader(data, size);
    const BmpLayout layout = readBmpLayout(reader);
    MemorySource source(reader);
    return buildBitmap(layout, source, reader.remaining());
}

Bitmap ReadBmpFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw EFOpenError(path);
    File file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw EFOpenError(path);
    // Unbuffered: the pixel data goes from the kernel straight into the bitmap.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        throw EReadError();
    const long end = std::ftell(file.get());
    if (end < 0)
        throw EReadError();
    const auto fileSize = static_cast<std::uint64_t>(end);
    if (fileSize == 0)
        return Bitmap();

    // Read no more of the file than its headers, masks and colour table can
    // take up: the file header and the information header's size tell how much.
    std::vector<std::uint8_t> head(clampToSize(std::min<std::uint64_t>(fileSize, 18)));
    head.resize(readAt(file.get(), 0, head.data(), head.size()));
    if (head.size() == 18) {
        const std::uint64_t need = std::min(fileSize, maxBmpLayoutBytes(ByteReader::le32(head, 14)));
        head.resize(clampToSize(need));
        head.resize(readAt(file.get(), 0, head.data(), head.size()));
    }
    ByteReader reader(head.data(), head.size());
    const BmpLayout layout = readBmpLayout(reader);
    FileSource source(file.get(), layout.pixelStart);
    return buildBitmap(layout, source, fileSize - std::min<std::uint64_t>(fileSize, layout.pixelStart));
}

} // namespace tavo
