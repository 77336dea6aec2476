#include "imaging/OrientedRows.h"

#include "imaging/TurnKernels.h"

#include <algorithm>
#include <cstring>

namespace tavo {

namespace {

constexpr std::int32_t kBandRows = OrientedRows::kBandRows;

int validOrientation(int orientation) { return orientation >= 1 && orientation <= 8 ? orientation : 1; }

template <int BytesPerPixel>
void copyPixel(std::uint8_t* to, const std::uint8_t* from) {
    std::memcpy(to, from, BytesPerPixel);
}

template <int BytesPerPixel>
void reversePixels(std::uint8_t* row, std::int32_t width) {
    std::uint8_t* left = row;
    std::uint8_t* right = row + static_cast<std::ptrdiff_t>(width - 1) * BytesPerPixel;
    std::uint8_t swap[BytesPerPixel];
    for (; left < right; left += BytesPerPixel, right -= BytesPerPixel) {
        copyPixel<BytesPerPixel>(swap, left);
        copyPixel<BytesPerPixel>(left, right);
        copyPixel<BytesPerPixel>(right, swap);
    }
}

template <int BytesPerPixel>
void transposeBand(const turn::Kernels& kernels, const std::uint8_t* band, std::size_t bandStride, std::int32_t width,
                   std::int32_t count, std::uint8_t* origin, std::ptrdiff_t stepX, std::ptrdiff_t stepY) {
    const bool forward = stepY > 0;
    // The lowest address of column 0's run, and the band row that goes there.
    std::uint8_t* runs = origin + (forward ? 0 : (count - 1) * stepY);
    const auto stride = static_cast<std::ptrdiff_t>(bandStride);
    const std::ptrdiff_t nextRow = forward ? stride : -stride;
    const std::uint8_t* firstRow = forward ? band : band + (count - 1) * stride;
    std::int32_t x = 0;
    if (BytesPerPixel == 3 && kernels.columns3)
        x = kernels.columns3(firstRow, nextRow, width, count, runs, stepX);
    turn::copyColumns<BytesPerPixel>(firstRow, nextRow, x, width, count, runs, stepX);
}

} // namespace

bool swapsSides(int orientation) { return validOrientation(orientation) >= 5; }

OrientedRows::OrientedRows(int orientation, std::int32_t storedWidth, std::int32_t storedHeight, int bytesPerPixel,
                           std::uint8_t* target, std::ptrdiff_t rowDistance)
    : OrientedRows(orientation, storedWidth, storedHeight, bytesPerPixel, target, rowDistance, turn::bestKernels()) {}

OrientedRows::OrientedRows(int orientation, std::int32_t storedWidth, std::int32_t storedHeight, int bytesPerPixel,
                           std::uint8_t* target, std::ptrdiff_t rowDistance, const turn::Kernels& kernels, int bands,
                           std::uint8_t* bandMemory)
    : kernels_(&kernels), orientation_(validOrientation(orientation)), width_(storedWidth), height_(storedHeight),
      bytesPerPixel_(bytesPerPixel), target_(target), rowDistance_(rowDistance) {
    const std::ptrdiff_t pixel = bytesPerPixel;
    const std::ptrdiff_t lastX = std::max<std::ptrdiff_t>(storedWidth - 1, 0);
    const std::ptrdiff_t lastY = std::max<std::ptrdiff_t>(storedHeight - 1, 0);
    // Upright (u, v) of stored (x, y) for each orientation, as origin + steps.
    switch (orientation_) {
    case 1: origin_ = target; stepX_ = pixel; stepY_ = rowDistance; break;                                  // (x, y)
    case 2: origin_ = target + lastX * pixel; stepX_ = -pixel; stepY_ = rowDistance; break;                 // (W-1-x, y)
    case 3: origin_ = target + lastY * rowDistance + lastX * pixel; stepX_ = -pixel; stepY_ = -rowDistance; break; // (W-1-x, H-1-y)
    case 4: origin_ = target + lastY * rowDistance; stepX_ = pixel; stepY_ = -rowDistance; break;           // (x, H-1-y)
    case 5: origin_ = target; stepX_ = rowDistance; stepY_ = pixel; break;                                  // (y, x)
    case 6: origin_ = target + lastY * pixel; stepX_ = rowDistance; stepY_ = -pixel; break;                 // (H-1-y, x)
    case 7: origin_ = target + lastX * rowDistance + lastY * pixel; stepX_ = -rowDistance; stepY_ = -pixel; break; // (H-1-y, W-1-x)
    default: origin_ = target + lastX * rowDistance; stepX_ = -rowDistance; stepY_ = pixel; break;          // (y, W-1-x)
    }
    if (swapsSides(orientation_)) {
        const BandLayout layout = bandLayout(storedWidth, storedHeight, bytesPerPixel, bands);
        bandStride_ = layout.stride;
        bandBytes_ = layout.bytes;
        bands_ = layout.bands;
        if (bandMemory != nullptr) {
            band_ = bandMemory;
        } else {
            ownBand_.resize(bandBytes_ * static_cast<std::size_t>(bands_));
            band_ = ownBand_.data();
        }
    }
}

OrientedRows::BandLayout OrientedRows::bandLayout(std::int32_t storedWidth, std::int32_t storedHeight,
                                                  int bytesPerPixel, int bands) {
    BandLayout layout;
    layout.stride = (static_cast<std::size_t>(storedWidth) * static_cast<std::size_t>(bytesPerPixel) + 3) & ~std::size_t{3};
    // No more bands than the picture fills.
    const std::int32_t bandCount = (std::max(storedHeight, 1) + kBandRows - 1) / kBandRows;
    layout.bands = std::clamp(bands, 1, bandCount);
    // Each band has slack for the 16-byte reads of a row's last four
    // three-byte pixels, so that they never touch another band's rows.
    const std::int32_t rows = layout.bands > 1 ? kBandRows : std::min(kBandRows, std::max(storedHeight, 1));
    layout.bytes = layout.stride * static_cast<std::size_t>(rows) + 4;
    return layout;
}

std::size_t OrientedRows::bandMemorySize(int orientation, std::int32_t storedWidth, std::int32_t storedHeight,
                                         int bytesPerPixel, int bands) {
    if (!swapsSides(orientation))
        return 0;
    const BandLayout layout = bandLayout(storedWidth, storedHeight, bytesPerPixel, bands);
    return layout.bytes * static_cast<std::size_t>(layout.bands);
}

std::int32_t OrientedRows::rowsAvailable(std::int32_t y) const {
    if (band_ == nullptr)
        return height_ - y;
    return std::min(kBandRows - y % kBandRows, height_ - y);
}

std::uint8_t* OrientedRows::bandRow(std::int32_t y) {
    return band_ + static_cast<std::size_t>(y / kBandRows % bands_) * bandBytes_ +
           static_cast<std::size_t>(y % kBandRows) * bandStride_;
}

std::uint8_t* OrientedRows::row(std::int32_t y) {
    if (band_ != nullptr)
        return bandRow(y);
    // Rows keep their order (1, 2) or are reversed (3, 4); a mirrored row is
    // written at the left end of its upright row and reversed in place().
    const std::int32_t uprightY = orientation_ <= 2 ? y : height_ - 1 - y;
    return target_ + static_cast<std::ptrdiff_t>(uprightY) * rowDistance_;
}

void OrientedRows::finish(std::int32_t first, std::int32_t count) {
    const std::int32_t end = first + count;
    if (band_ == nullptr)
        place(first, end);
    else if (placeable(end))
        placeBand(end - 1 - (end - 1) % kBandRows, end);
}

bool OrientedRows::placeable(std::int32_t end) const {
    return band_ == nullptr || end % kBandRows == 0 || end == height_;
}

std::int32_t OrientedRows::placedBefore(std::int32_t y) const {
    if (band_ == nullptr)
        return 0;
    return std::max(0, (y / kBandRows - bands_ + 1) * kBandRows);
}

void OrientedRows::place(std::int32_t first, std::int32_t end) {
    if (band_ != nullptr) {
        for (std::int32_t band = first; band < end; band += kBandRows)
            placeBand(band, std::min(band + kBandRows, end));
        return;
    }
    if (stepX_ > 0)
        return;
    for (std::int32_t y = first; y < end; ++y) {
        switch (bytesPerPixel_) {
        case 1: reversePixels<1>(row(y), width_); break;
        case 3: reversePixels<3>(row(y), width_); break;
        default: reversePixels<4>(row(y), width_); break;
        }
    }
}

void OrientedRows::placeBand(std::int32_t first, std::int32_t end) {
    std::uint8_t* origin = origin_ + static_cast<std::ptrdiff_t>(first) * stepY_;
    const std::int32_t count = end - first;
    const std::uint8_t* band = bandRow(first);
    switch (bytesPerPixel_) {
    case 1: transposeBand<1>(*kernels_, band, bandStride_, width_, count, origin, stepX_, stepY_); break;
    case 3: transposeBand<3>(*kernels_, band, bandStride_, width_, count, origin, stepX_, stepY_); break;
    default: transposeBand<4>(*kernels_, band, bandStride_, width_, count, origin, stepX_, stepY_); break;
    }
}

} // namespace tavo
