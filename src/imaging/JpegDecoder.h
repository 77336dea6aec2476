// The built-in JPEG decoder on libjpeg: the whole file is held in memory, its
// header read at load, and the bitmap decoded when it is first asked for.
#pragma once

#include "imaging/Bitmap.h"
#include "imaging/FileBytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tavo {

// The screen depth (bits per pixel × planes) read once at program start. At 8
// or less every JPEG decodes to 8 bits with a palette of up to 236 colours.
// Decoder objects copy the mode when they are created. Default: 24.
void setJpegScreenDepth(int bitsPerPixel);
int jpegScreenDepth();

class TJPEGImage {
public:
    TJPEGImage();

    // Load stage: takes the whole file (or block) and reads its header when it
    // has at least one byte. Throws EFOpenError when the file cannot be opened,
    // EReadError when it cannot be read, EOutOfMemory when it cannot be held,
    // EJPEG on a header error.
    void loadFromFile(const std::string& path);
    void loadFromMemory(const std::uint8_t* data, std::size_t size);

    // From the header; 0 × 0 for an empty file.
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // Decode stage, run once on first request: 24-bit BGR, or 8 bits with a
    // palette for greyscale files and in the 8-bit mode. Throws EJPEG on a
    // fatal libjpeg error (an empty file among them), EInvalidGraphic for a
    // size beyond the bitmap's limits, EOutOfMemory.
    const Bitmap& bitmap();

private:
    void readHeader();
    Bitmap decode() const;

    FileBytes data_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    bool eightBitMode_;
    std::optional<Bitmap> bitmap_;
};

// Both stages at once, as the viewer's load does.
Bitmap DecodeJpegFile(const std::string& path);
Bitmap decodeJpegMemory(const std::uint8_t* data, std::size_t size);

} // namespace tavo
