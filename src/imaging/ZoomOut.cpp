#include "imaging/ZoomOut.h"

#include "imaging/ZoomOutKernels.h"

#include <algorithm>
#include <new>

namespace tavo {

namespace {

const char* refusalMessage(EShrinkRefused::Reason reason)
{
    switch (reason) {
    case EShrinkRefused::Reason::Ratio:
        return "縮小率が範囲外です";
    case EShrinkRefused::Reason::EmptyTarget:
        return "縮小後の画像の大きさが 0 になります";
    }
    return "縮小できません";
}

} // namespace

EShrinkRefused::EShrinkRefused(Reason reason) : Exception(refusalMessage(reason)), reason_(reason) {}

namespace zoomout {

namespace {

enum class Pass { Width, Height };
bool failNextWidthTables = false;
bool failNextHeightTables = false;

bool injectedFailure(Pass pass)
{
    bool& flag = pass == Pass::Width ? failNextWidthTables : failNextHeightTables;
    const bool fail = flag;
    flag = false;
    return fail;
}

template <typename T>
bool allocate(std::vector<T>& table, std::size_t count)
{
    try {
        table.assign(count, T{});
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The width pass's tables and band buffers; false (nothing kept) without memory.
// A factor beyond the kernels' reach takes the wide loops, row by row.
class WidthPass {
public:
    bool prepare(std::int32_t sourceWidth, std::int32_t targetWidth)
    {
        if (injectedFailure(Pass::Width) || !tryPrepare(sourceWidth, targetWidth)) {
            *this = WidthPass();
            return false;
        }
        return true;
    }

    // Reduces every row of `source`; `target(y)` gives the row that receives
    // reduced row y, `done(y0, rows)` is told when a band is finished.
    template <typename Target, typename Done>
    void run(const Bitmap& source, const Kernels& kernels, Target target, Done done)
    {
        const std::int32_t height = source.height();
        const std::uint8_t* in[kBandRows];
        std::uint8_t* out[kBandRows];
        for (std::int32_t y0 = 0; y0 < height; y0 += kBandRows) {
            const int rows = std::min(kBandRows, height - y0);
            if (wide_) {
                for (int r = 0; r < rows; ++r)
                    wide::shrinkRow(source.row(y0 + r), target(y0 + r), plan_);
                done(y0, rows);
                continue;
            }
            for (int r = 0; r < kBandRows; ++r) {
                const bool inside = r < rows;
                in[r] = inside ? source.row(y0 + r) : buffers_.blankRow.data();
                out[r] = inside ? target(y0 + r) : buffers_.spareRow.data();
            }
            kernels.shrinkBand(in, out, plan_, buffers_);
            done(y0, rows);
        }
    }

private:
    bool tryPrepare(std::int32_t sourceWidth, std::int32_t targetWidth)
    {
        const std::size_t target = static_cast<std::size_t>(targetWidth);
        const std::size_t sourceBytes = 3 * static_cast<std::size_t>(sourceWidth) + 32;
        const std::size_t targetBytes = 3 * target + 32;
        wide_ = !kernelsCarry(sourceWidth, targetWidth);
        if (!allocate(plan_.start, target + 1) || !allocate(plan_.fraction, target + 1))
            return false;
        if (!wide_ &&
            (!allocate(buffers_.turned, kBandRows * (3 * static_cast<std::size_t>(kTurnChunkPixels) + 32)) ||
             !allocate(buffers_.reduced, kBandRows * targetBytes) || !allocate(buffers_.blankRow, sourceBytes) ||
             !allocate(buffers_.spareRow, targetBytes)))
            return false;
        plan_.sourceWidth = sourceWidth;
        plan_.targetWidth = targetWidth;
        for (std::int32_t i = 0; i <= targetWidth; ++i) {
            const Boundary b = passBoundary(i, sourceWidth, targetWidth);
            plan_.start[static_cast<std::size_t>(i)] = b.start;
            plan_.fraction[static_cast<std::size_t>(i)] = b.fraction;
        }
        plan_.wideDivisor = passDivisor(sourceWidth, targetWidth);
        if (!wide_)
            plan_.divisor = Divisor::of(static_cast<std::uint32_t>(plan_.wideDivisor));
        return true;
    }

    HorizontalPlan plan_;
    BandBuffers buffers_;
    bool wide_ = false;
};

// The height pass, fed one source row at a time from the top. A factor beyond
// the kernels' reach keeps its sums in 64 bits.
class HeightPass {
public:
    bool prepare(std::int32_t sourceHeight, std::int32_t targetHeight, std::int32_t width)
    {
        count_ = 3 * static_cast<std::size_t>(width);
        wide_ = !kernelsCarry(sourceHeight, targetHeight);
        if (injectedFailure(Pass::Height) ||
            (wide_ ? !allocate(wideSums_, count_) : !allocate(sums_.whole, count_) || !allocate(sums_.carried, count_))) {
            sums_ = RowSums();
            wideSums_ = {};
            return false;
        }
        sourceHeight_ = sourceHeight;
        targetHeight_ = targetHeight;
        wideDivisor_ = passDivisor(sourceHeight, targetHeight);
        if (!wide_)
            divisor_ = Divisor::of(static_cast<std::uint32_t>(wideDivisor_));
        output_ = 0;
        next_ = 0;
        boundary_ = passBoundary(1, sourceHeight, targetHeight);
        return true;
    }

    // Source row `next_`; output rows are written through `target(i)` as they end.
    template <typename Target>
    void push(const std::uint8_t* row, const Kernels& kernels, Target target)
    {
        if (next_ == boundary_.start && output_ + 1 < targetHeight_) {
            closeRow(row, static_cast<std::uint32_t>(boundary_.fraction), kernels, target(output_));
            ++output_;
            boundary_ = passBoundary(output_ + 1, sourceHeight_, targetHeight_);
        } else if (wide_) {
            wide::addRow(wideSums_, row);
        } else {
            kernels.addRow(sums_, row, count_);
        }
        if (++next_ == sourceHeight_)
            closeRow(nullptr, 0, kernels, target(output_));
    }

private:
    void closeRow(const std::uint8_t* row, std::uint32_t fraction, const Kernels& kernels, std::uint8_t* out)
    {
        if (wide_)
            wide::closeRow(wideSums_, row, fraction, wideDivisor_, out);
        else
            kernels.closeRow(sums_, row, fraction, divisor_, out, count_);
    }

    std::size_t count_ = 0;
    std::int32_t sourceHeight_ = 0;
    std::int32_t targetHeight_ = 0;
    bool wide_ = false;
    Divisor divisor_;
    std::uint64_t wideDivisor_ = 65536;
    std::vector<std::uint64_t> wideSums_;
    std::int32_t output_ = 0;
    std::int32_t next_ = 0;
    Boundary boundary_{0, 0};
    RowSums sums_;
};

void checkPassSizes(std::int32_t sourceSize, std::int32_t targetSize)
{
    if (targetSize <= 0 || targetSize > sourceSize)
        throw EShrinkRefused(targetSize <= 0 ? EShrinkRefused::Reason::EmptyTarget : EShrinkRefused::Reason::Ratio);
}

void checkPassBitmaps(const Bitmap& source, const Bitmap& destination)
{
    if (source.bitCount() != 24 || destination.bitCount() != 24)
        throw EInvalidGraphic();
}

} // namespace

std::uint64_t passDivisor(std::int32_t sourceSize, std::int32_t targetSize)
{
    const std::int64_t product = std::int64_t{sourceSize} * 65536;
    return static_cast<std::uint64_t>(static_cast<double>(product) / targetSize + 0.5);
}

Boundary passBoundary(std::int32_t i, std::int32_t sourceSize, std::int32_t targetSize)
{
    const double x = static_cast<double>(std::int64_t{i} * sourceSize) / targetSize;
    const std::int32_t start = static_cast<std::int32_t>(x);
    return {start, static_cast<std::int32_t>((x - start) * 65536)};
}

void failTableAllocationsForTesting(bool width, bool height)
{
    failNextWidthTables = width;
    failNextHeightTables = height;
}

bool shrinkHorizontalWith(const Bitmap& source, Bitmap& destination, const Kernels& kernels)
{
    checkPassBitmaps(source, destination);
    if (destination.height() != source.height())
        throw EInvalidGraphic();
    checkPassSizes(source.width(), destination.width());
    if (source.height() == 0)
        return true;
    const Bitmap input = source; // shares the pixels; writing the destination never touches them
    WidthPass pass;
    if (!pass.prepare(input.width(), destination.width()))
        return false;
    pass.run(
        input, kernels, [&](std::int32_t y) { return destination.mutableRow(y); }, [](std::int32_t, int) {});
    return true;
}

bool shrinkVerticalWith(const Bitmap& source, Bitmap& destination, const Kernels& kernels)
{
    checkPassBitmaps(source, destination);
    if (destination.width() != source.width())
        throw EInvalidGraphic();
    checkPassSizes(source.height(), destination.height());
    if (source.width() == 0)
        return true;
    const Bitmap input = source;
    HeightPass pass;
    if (!pass.prepare(input.height(), destination.height(), input.width()))
        return false;
    for (std::int32_t y = 0; y < input.height(); ++y)
        pass.push(input.row(y), kernels, [&](std::int32_t i) { return destination.mutableRow(i); });
    return true;
}

void shrinkBitmapWith(Bitmap& picture, double ratio, const Kernels& kernels)
{
    if (!(ratio > 0.0 && ratio <= 1.0))
        throw EShrinkRefused(EShrinkRefused::Reason::Ratio);
    if (picture.isEmpty())
        return;
    const std::int32_t width = picture.width();
    const std::int32_t height = picture.height();
    const std::int32_t targetWidth = static_cast<std::int32_t>(width * ratio);
    const std::int32_t targetHeight = static_cast<std::int32_t>(height * ratio);
    checkPassSizes(width, targetWidth);
    checkPassSizes(height, targetHeight);

    // Everything is built aside, so that an error leaves the picture as it was.
    const Bitmap source = picture.bitCount() == 24 ? picture : picture.toBgr24();
    WidthPass widthPass;
    HeightPass heightPass;
    const bool haveWidth = widthPass.prepare(width, targetWidth);
    const bool haveHeight = heightPass.prepare(height, targetHeight, targetWidth);
    const std::size_t rowBytes = Bitmap::rowStride(targetWidth, 24);
    std::vector<std::uint8_t> band;
    if (haveWidth && haveHeight && allocate(band, kBandRows * rowBytes)) {
        // Both passes in one sweep: each band of width-reduced rows goes
        // straight into the height pass, so the Wt × H work picture is never stored.
        Bitmap result(targetWidth, targetHeight, 24, source.rowOrder());
        auto resultRow = [&](std::int32_t i) { return result.mutableRow(i); };
        widthPass.run(
            source, kernels,
            [&](std::int32_t y) { return band.data() + static_cast<std::size_t>(y % kBandRows) * rowBytes; },
            [&](std::int32_t, int rows) {
                for (int r = 0; r < rows; ++r)
                    heightPass.push(band.data() + static_cast<std::size_t>(r) * rowBytes, kernels, resultRow);
            });
        picture = std::move(result);
        return;
    }
    // The steps one by one, so that a pass without its tables leaves what
    // resizing gave its destination: the top-left part of its source.
    Bitmap work = source;
    work.resize(targetWidth, height);
    if (haveWidth)
        widthPass.run(
            source, kernels, [&](std::int32_t y) { return work.mutableRow(y); }, [](std::int32_t, int) {});
    const Bitmap narrowed = work;
    work.resize(targetWidth, targetHeight);
    if (haveHeight)
        for (std::int32_t y = 0; y < height; ++y)
            heightPass.push(narrowed.row(y), kernels, [&](std::int32_t i) { return work.mutableRow(i); });
    picture = std::move(work);
}

const Kernels& bestKernels()
{
    static const Kernels& best = avx2Kernels() ? *avx2Kernels() : sse41Kernels() ? *sse41Kernels() : portableKernels();
    return best;
}

std::vector<const Kernels*> availableKernels()
{
    std::vector<const Kernels*> sets{&portableKernels()};
    if (const Kernels* k = sse41Kernels())
        sets.push_back(k);
    if (const Kernels* k = avx2Kernels())
        sets.push_back(k);
    return sets;
}

} // namespace zoomout

void ShrinkBitmap(Bitmap& picture, double ratio) { zoomout::shrinkBitmapWith(picture, ratio, zoomout::bestKernels()); }

bool ShrinkHorizontal(const Bitmap& source, Bitmap& destination)
{
    return zoomout::shrinkHorizontalWith(source, destination, zoomout::bestKernels());
}

bool ShrinkVertical(const Bitmap& source, Bitmap& destination)
{
    return zoomout::shrinkVerticalWith(source, destination, zoomout::bestKernels());
}

} // namespace tavo
