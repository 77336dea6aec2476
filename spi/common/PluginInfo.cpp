#include "PluginSupport.h"

#include <cstring>

namespace tavo::spi {

std::int32_t copyPluginInfo(const char* const* texts, std::size_t count,
                            std::int32_t infono, char* buf, std::int32_t buflen)
{
    if (infono < 0 || std::size_t(infono) >= count || buf == nullptr || buflen <= 0)
        return 0;
    std::size_t length = std::strlen(texts[infono]);
    if (length > std::size_t(buflen) - 1)
        length = std::size_t(buflen) - 1;
    std::memcpy(buf, texts[infono], length);
    buf[length] = '\0';
    return std::int32_t(length);
}

} // namespace tavo::spi
