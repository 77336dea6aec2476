// Conversion of 8-bit RGB pixels from a picture's embedded ICC profile to sRGB,
// on Little CMS. Shared by the built-in decoders and the plug-ins: it exports
// nothing and never prints, so it can be linked into a plug-in module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavo {

// Byte order of one pixel in memory; the alpha byte, where there is one, is kept.
enum class PixelOrder { Bgr, Rgb, Bgra, Rgba };

class SrgbTransform {
public:
    // Active only for a readable RGB profile that is not equivalent to sRGB.
    // An empty, truncated or nonsense profile, a non-RGB one (greyscale,
    // CMYK, Lab) and one that Little CMS cannot turn into a transform leave it
    // inactive: the pixels stay as stored. Equivalent to sRGB means that a
    // grid of colours and the whole grey ramp, converted through the profile,
    // move by at most one step in every channel; such pictures stay
    // byte-identical to their undecorated decoding.
    SrgbTransform(const void* profile, std::size_t size, PixelOrder order);
    ~SrgbTransform();
    SrgbTransform(const SrgbTransform&) = delete;
    SrgbTransform& operator=(const SrgbTransform&) = delete;

    bool active() const;
    // Converts count pixels in place, perceptual intent; does nothing when
    // inactive. Safe to call from several threads on separate pixels.
    void apply(std::uint8_t* pixels, std::size_t count) const;

private:
    class MatrixShaper;
    PixelOrder order_;
    std::unique_ptr<MatrixShaper> shaper_;
    // Little CMS's context and transform, for profiles the fast path cannot take.
    void* context_ = nullptr;
    void* transform_ = nullptr;
};

} // namespace tavo
