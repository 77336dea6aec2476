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

// Data held in two pieces, head then tail, read as one; the pixels start at
// start. A plug-in's picture comes this way: the headers built by the viewer,
// the pixels where the plug-in host put them.
class PartsSource : public PixelSource {
public:
    PartsSource(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail, std::size_t start)
        : head_(head), tail_(tail), start_(start)
    {
    }
    std::size_t copyTo(std::uint8_t* destination, std::size_t count) override
    {
        std::size_t copied = 0;
        if (start_ < head_.size()) {
            copied = std::min(count, head_.size() - start_);
            std::memcpy(destination, head_.data() + start_, copied);
        }
        const std::size_t tailStart = start_ + copied - head_.size();
        if (copied < count && tailStart < tail_.size()) {
            const std::size_t more = std::min(count - copied, tail_.size() - tailStart);
            std::memcpy(destination + copied, tail_.data() + tailStart, more);
            copied += more;
        }
        return copied;
    }
    std::span<const std::uint8_t> bytes(std::size_t count) override
    {
        if (start_ >= head_.size()) {
            const std::size_t tailStart = std::min(start_ - head_.size(), tail_.size());
            return tail_.subspan(tailStart, std::min(count, tail_.size() - tailStart));
        }
        buffer_.resize(count);
        buffer_.resize(copyTo(buffer_.data(), count));
        return buffer_;
    }

private:
    std::span<const std::uint8_t> head_;
    std::span<const std::uint8_t> tail_;
    std::size_t start_;
    std::vector<std::uint8_t> buffer_;
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
    return ReadBmpStream({data, size}, {});
}

Bitmap ReadBmpStream(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail)
{
    const std::size_t total = head.size() + tail.size();
    if (total == 0)
        return Bitmap();
    // The headers, masks and colour table are read from one piece: head, or a
    // copy of head and as much of tail as the information header's size says
    // they can take up.
    std::span<const std::uint8_t> front = head;
    std::vector<std::uint8_t> joined;
    auto join = [&](std::size_t count) {
        joined.resize(count);
        PartsSource(head, tail, 0).copyTo(joined.data(), count);
        front = joined;
    };
    if (head.size() < std::min<std::size_t>(total, 18))
        join(std::min<std::size_t>(total, 18));
    if (front.size() >= 18) {
        const std::size_t need = clampToSize(std::min<std::uint64_t>(total, maxBmpLayoutBytes(ByteReader::le32(front, 14))));
        if (need > front.size())
            join(need);
    }
    ByteReader reader(front.data(), front.size());
    const BmpLayout layout = readBmpLayout(reader);
    PartsSource source(head, tail, layout.pixelStart);
    return buildBitmap(layout, source, total - std::min(total, layout.pixelStart));
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
