#include "PluginHarness.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tavo::spitest {

PluginModule::PluginModule(const std::string& fileName)
{
    const std::string path = std::string(TAVO_BINARY_DIR) + "/bin/" + fileName;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        return;
    getPluginInfo = reinterpret_cast<decltype(getPluginInfo)>(symbol("GetPluginInfo"));
    isSupportedEntry = reinterpret_cast<decltype(isSupportedEntry)>(symbol("IsSupported"));
    getPictureInfo = reinterpret_cast<decltype(getPictureInfo)>(symbol("GetPictureInfo"));
    getPicture = reinterpret_cast<decltype(getPicture)>(symbol("GetPicture"));
}

PluginModule::~PluginModule()
{
    if (handle_ != nullptr)
        dlclose(handle_);
}

void* PluginModule::symbol(const char* name) const
{
    return dlsym(handle_, name);
}

std::string PluginModule::info(std::int32_t infono, std::int32_t buflen) const
{
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    const std::int32_t length = getPluginInfo(infono, buffer, buflen);
    if (length <= 0)
        return {};
    return std::string(buffer, std::strlen(buffer));
}

std::int32_t PluginModule::isSupported(const Bytes& data) const
{
    Bytes block(std::max<std::size_t>(data.size(), 2048), 0);
    std::copy(data.begin(), data.end(), block.begin());
    return isSupportedEntry("picture", block.data());
}

std::int32_t PluginModule::pictureInfo(const Bytes& data, SPI_PICTINFO& info) const
{
    return getPictureInfo(reinterpret_cast<const char*>(data.data()), intptr_t(data.size()),
                          SPI_INPUT_MEMORY, &info);
}

std::int32_t recordProgress(std::int32_t num, std::int32_t denom, std::intptr_t lData)
{
    auto* log = reinterpret_cast<ProgressLog*>(lData);
    log->calls.emplace_back(num, denom);
    return num == log->abortAt ? 1 : 0;
}

namespace {
std::uint32_t get32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

Bytes copyBlock(HLOCAL handle)
{
    Bytes bytes(LocalSize(handle));
    if (const void* p = LocalLock(handle)) {
        std::memcpy(bytes.data(), p, bytes.size());
        LocalUnlock(handle);
    }
    LocalFree(handle);
    return bytes;
}
} // namespace

Dib decode(const PluginModule& module, const Bytes& data, ProgressLog* log)
{
    Dib dib;
    HLOCAL info = nullptr, bits = nullptr;
    // The host pads short data to its 2048-byte block but passes the true size.
    Bytes block(std::max<std::size_t>(data.size(), 2048), 0);
    std::copy(data.begin(), data.end(), block.begin());
    dib.result = module.getPicture(reinterpret_cast<const char*>(block.data()), intptr_t(data.size()),
                                   SPI_INPUT_MEMORY, &info, &bits,
                                   log != nullptr ? recordProgress : nullptr, intptr_t(log));
    if (dib.result != SPI_ALL_RIGHT)
        return dib;
    dib.header = copyBlock(info);
    dib.bits = copyBlock(bits);
    if (dib.header.size() < 40) {
        dib.layoutError = "info block shorter than its header";
        return dib;
    }
    dib.width = std::int32_t(get32(dib.header, 4));
    dib.height = std::int32_t(get32(dib.header, 8));
    dib.bitCount = dib.header[14] | dib.header[15] << 8;
    dib.colors = get32(dib.header, 32);
    const std::size_t stride = (std::size_t(dib.width) * dib.bitCount + 31) / 32 * 4;
    if (get32(dib.header, 0) != 40 || get32(dib.header, 16) != 0)
        dib.layoutError = "not a BI_RGB BITMAPINFOHEADER";
    else if (dib.header.size() < 40 + 4 * std::size_t(dib.colors))
        dib.layoutError = "colour table cut short";
    else if (dib.bits.size() < stride * std::size_t(std::abs(dib.height)))
        dib.layoutError = "pixel block shorter than the rows";
    return dib;
}

Rgb Dib::pixel(int x, int y) const
{
    const std::size_t stride = (std::size_t(width) * bitCount + 31) / 32 * 4;
    const int row = height > 0 ? height - 1 - y : y;
    const std::uint8_t* p = bits.data() + std::size_t(row) * stride;
    if (bitCount == 8) {
        const std::uint8_t* entry = header.data() + 40 + 4 * p[x];
        return {entry[2], entry[1], entry[0]};
    }
    p += 3 * x;
    return {p[2], p[1], p[0]};
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace tavo::spitest
