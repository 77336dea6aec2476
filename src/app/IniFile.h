// The settings file object: a profile (INI) file read and written key by key,
// as the platform's profile functions do. Sections and keys compare without
// regard to case; a missing file, section or key reads as the default; every
// write goes to the file at once, creating what is missing and keeping every
// line it does not change. No file stays open between calls.
#pragma once

#include "platform/Errors.h"

#include <cstdint>
#include <string>

namespace tavo {

// A write the file system refused: "%s に書き込めません" with the file's path.
class EIniFileException : public Exception {
public:
    static constexpr const char* pattern = "%s に書き込めません";
    explicit EIniFileException(const std::string& path) : Exception(path + " に書き込めません") {}
};

class TIniFile {
public:
    // The longest value a read returns, in bytes.
    static constexpr std::size_t kMaxValueLength = 1023;

    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

    const std::string& fileName() const { return fileName_; }

    std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // "0x"/"0X" (with more than two characters), "$" and decimal; the default
    // when the text does not parse as a 32-bit integer.
    std::int32_t readInteger(const std::string& section, const std::string& key, std::int32_t defaultValue) const;
    // An integer read with the default 0 or 1; anything but 0 is true.
    bool readBool(const std::string& section, const std::string& key, bool defaultValue) const;

    // Each throws EIniFileException when the file cannot be replaced.
    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, std::int32_t value);
    void writeBool(const std::string& section, const std::string& key, bool value);

private:
    std::string fileName_;
};

} // namespace tavo
