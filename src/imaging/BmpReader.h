// The built-in reader of Windows bitmap files (ReadBmpFile) and of the same
// data held in memory (ReadBmpStream; its two-piece form reads the pictures
// that plug-ins hand back, headers and pixels apart).
//
// The result keeps the file's bit count, row direction, colour table (as the
// palette) and bit-field masks; run-length data (RLE8, RLE4) is expanded into a
// 32-bit bitmap. The pixel data is taken from directly after the colour table
// (the file header's offset is not used) and cut to what the data holds; rows
// it does not reach stay zero.
//
// Errors: EInvalidGraphic "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です" for data the reader refuses,
// EReadError "ｽﾄﾘｰﾑからの読み込みｴﾗｰ" for data that ends inside a header, the
// masks or the colour table, EFOpenError for a file that cannot be opened.
// Empty data gives an empty bitmap, as does a picture of zero width or height.
#pragma once

#include "imaging/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavo {

Bitmap ReadBmpFile(const std::string& path);

// Reads the bytes from data to data + size (a stream from its position to its end).
Bitmap ReadBmpStream(const std::uint8_t* data, std::size_t size);

// Reads data held in two pieces, head followed by tail, exactly as the one
// stream they make together; the pixels are copied from where they lie.
Bitmap ReadBmpStream(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail);

} // namespace tavo
