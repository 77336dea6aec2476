// Writes a picture upright while it is decoded. A decoder asks where each
// stored row goes, fills it, converts it as it likes while it is in cache, and
// reports it finished; the rows then reach their places in the upright
// picture as an EXIF orientation says. Orientations that keep rows as rows are
// decoded in place (mirrored rows are reversed in place); quarter turns are
// decoded into a band of a few rows that is then transposed into the target.
// With more than one band, a decoder can fill one while another thread places
// the previous one (see RowPipeline.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavo {

namespace turn {
struct Kernels;
}

// True for the orientations 5 to 8: the upright picture's width is the stored
// height. Values outside 1 to 8 are taken as 1.
bool swapsSides(int orientation);

class OrientedRows {
public:
    // Rows of a band for the quarter turns: each upright row then receives
    // this many pixels at once (192 bytes of three-byte pixels, three cache
    // lines), so that few of its lines are written in two parts far apart in
    // time. Fewer rows keep the band in the second-level cache but cost more
    // in the upright picture than they save.
    static constexpr std::int32_t kBandRows = 64;

    // target is the upright picture's top row, rowDistance the bytes from one
    // of its rows to the next below (negative for bottom-up memory).
    // bytesPerPixel is 1, 3 or 4. Throws std::bad_alloc when the band cannot
    // be had.
    OrientedRows(int orientation, std::int32_t storedWidth, std::int32_t storedHeight, int bytesPerPixel,
                 std::uint8_t* target, std::ptrdiff_t rowDistance);
    // The same with the quarter turns' kernels chosen (see TurnKernels.h),
    // the number of bands they keep (1 or more), and the memory for them:
    // bandMemorySize() bytes that outlive this object, or null for memory
    // of its own.
    OrientedRows(int orientation, std::int32_t storedWidth, std::int32_t storedHeight, int bytesPerPixel,
                 std::uint8_t* target, std::ptrdiff_t rowDistance, const turn::Kernels& kernels, int bands = 1,
                 std::uint8_t* bandMemory = nullptr);
    // Not copied: the bands may be memory of its own.
    OrientedRows(const OrientedRows&) = delete;
    OrientedRows& operator=(const OrientedRows&) = delete;
    // Bytes of the bands; 0 for the orientations that need none.
    static std::size_t bandMemorySize(int orientation, std::int32_t storedWidth, std::int32_t storedHeight,
                                      int bytesPerPixel, int bands);

    // Stored rows that may be asked for from row y on before finish() is
    // called for them: the rest of the band, or all remaining rows.
    std::int32_t rowsAvailable(std::int32_t y) const;
    // Where stored row y is to be written (storedWidth × bytesPerPixel bytes).
    std::uint8_t* row(std::int32_t y);
    // Stored rows first to first + count - 1 are written; rows are finished
    // in order from the top. Places what they complete.
    void finish(std::int32_t first, std::int32_t count);

    // The same in two steps, for placing on another thread. True when the
    // stored rows before end can be placed: they end a band, or the picture,
    // or rows are placed in place.
    bool placeable(std::int32_t end) const;
    // Places stored rows first to end - 1, with first and end placeable.
    // Touches only those rows, their bands and their upright places.
    void place(std::int32_t first, std::int32_t end);
    // The stored rows that must be placed before row y is asked for, because
    // its band's memory is still the one of an earlier band.
    std::int32_t placedBefore(std::int32_t y) const;

private:
    struct BandLayout {
        std::size_t stride = 0; // of a band's rows
        std::size_t bytes = 0;  // of one band
        std::int32_t bands = 1;
    };
    static BandLayout bandLayout(std::int32_t storedWidth, std::int32_t storedHeight, int bytesPerPixel, int bands);
    void placeBand(std::int32_t first, std::int32_t end);
    std::uint8_t* bandRow(std::int32_t y);

    const turn::Kernels* kernels_;
    int orientation_;
    std::int32_t width_;
    std::int32_t height_;
    int bytesPerPixel_;
    std::uint8_t* target_;
    std::ptrdiff_t rowDistance_;
    // Where stored pixel (0, 0) goes, and the step in the target for one
    // stored pixel to the right and one stored row down.
    std::uint8_t* origin_;
    std::ptrdiff_t stepX_;
    std::ptrdiff_t stepY_;
    std::uint8_t* band_ = nullptr;
    std::vector<std::uint8_t> ownBand_;
    std::size_t bandStride_ = 0;
    std::size_t bandBytes_ = 0;
    std::int32_t bands_ = 1;
};

} // namespace tavo
