// Writes a Bitmap as an uncompressed bitmap file of its own bit count: palette
// as colour table, bit-field masks when a 16- or 32-bit bitmap has its own,
// rows bottom-up as the format stores them.
#pragma once

#include "imaging/Bitmap.h"
#include "platform/Errors.h"

#include <string>

namespace tavo {

// The file cannot be created: "ﾌｧｲﾙ %s を作成できません".
class EFCreateError : public Exception {
public:
    static constexpr const char* pattern = "ﾌｧｲﾙ %s を作成できません";
    explicit EFCreateError(const std::string& path) : Exception(formatMessage(pattern, path)) {}
};

// Writing failed part-way (a full disk, say).
TAVO_FIXED_ERROR(EWriteError, "ｽﾄﾘｰﾑへの書き込みｴﾗｰ")

// Replaces the file at path. Throws EFCreateError or EWriteError.
void writeBmpFile(const std::string& path, const Bitmap& bitmap);

} // namespace tavo
