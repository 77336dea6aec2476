#include "app/IniFile.h"

#include "app/ProfileText.h"
#include "app/ProfileValues.h"
#include "platform/AtomicFile.h"
#include "platform/SystemError.h"
#include "platform/UserFolders.h"

namespace tavo {

namespace {

// Cuts at most kMaxValueLength bytes without splitting a UTF-8 character.
std::string limited(std::string value)
{
    if (value.size() <= TIniFile::kMaxValueLength)
        return value;
    std::size_t cut = TIniFile::kMaxValueLength;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;
    value.resize(cut);
    return value;
}

bool fitsOneLine(const std::string& text)
{
    return text.find_first_of("\r\n") == std::string::npos;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

} // namespace

std::string TIniFile::readString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const
{
    const auto text = platform::readWholeFile(fileName_);
    if (!text)
        return defaultValue;
    const auto value = profileValue(*text, section, key);
    return value ? limited(*value) : defaultValue;
}

std::int32_t TIniFile::readInteger(const std::string& section, const std::string& key,
                                   std::int32_t defaultValue) const
{
    const std::string text = readString(section, key, "");
    return parseInteger(text).value_or(defaultValue);
}

bool TIniFile::readBool(const std::string& section, const std::string& key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    // A line break in a name or value would split the entry and corrupt the file.
    if (!fitsOneLine(section) || !fitsOneLine(key) || !fitsOneLine(value) || section.find(']') != std::string::npos
        || key.find('=') != std::string::npos)
        throw EIniFileException(fileName_);
    // A file the user made read-only stays unchanged, although replacing it
    // through its folder would be possible.
    if (platform::pathExists(fileName_) && !platform::isWritableFile(fileName_))
        throw EIniFileException(fileName_);
    try {
        const std::string folder = folderOf(fileName_);
        if (!folder.empty() && !platform::pathExists(folder))
            platform::createFolders(folder, 0700);
        // An existing file that cannot be read must not be replaced by one key.
        const auto text = platform::readWholeFile(fileName_);
        if (!text && platform::pathExists(fileName_))
            throw EIniFileException(fileName_);
        platform::replaceFileAtomically(fileName_, withProfileValue(text.value_or(""), section, key, value));
    } catch (const platform::ESystemError&) {
        throw EIniFileException(fileName_);
    }
}

void TIniFile::writeInteger(const std::string& section, const std::string& key, std::int32_t value)
{
    writeString(section, key, std::to_string(value));
}

void TIniFile::writeBool(const std::string& section, const std::string& key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

} // namespace tavo
