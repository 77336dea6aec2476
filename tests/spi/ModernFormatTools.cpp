#include "ModernFormatTools.h"

#include "spi/common/Dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace tavo::spitest {

std::string pluginFor(const fs::path& file)
{
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == ".avif")
        return "ifavif.spi";
    if (extension == ".jxl")
        return "ifjxl.spi";
    return "ifheif.spi";
}

namespace {
std::string quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

std::optional<Picture> readRaw(const fs::path& file, const char* map)
{
    const auto size = run("identify -format '%w %h\\n' " + quoted(file) + "'[0]' 2>/dev/null");
    const auto samples = run("convert " + quoted(file) + "'[0]' -depth 8 " + map + ":- 2>/dev/null");
    Picture picture;
    if (!size || !samples || !(std::istringstream(*size) >> picture.width >> picture.height))
        return std::nullopt;
    picture.rgb.assign(samples->begin(), samples->end());
    return picture;
}
} // namespace

std::optional<Picture> decodeAsViewer(const fs::path& file)
{
    const fs::path program = fs::path(TAVO_BINARY_DIR) / "bin" / "tavotavo-decode";
    if (fs::exists(program)) {
        const fs::path bmp = fs::path(file.string() + ".decoded.bmp");
        if (!run(quoted(program) + " " + quoted(file) + " " + quoted(bmp) + " >/dev/null 2>&1"))
            return std::nullopt;
        auto picture = readRaw(bmp, "rgb");
        const Bytes header = readFile(bmp.string());
        if (picture && header.size() >= 30)
            picture->bitCount = header[28] | header[29] << 8;
        return picture;
    }
    PluginModule module(pluginFor(file));
    if (!module.loaded())
        return std::nullopt;
    const Dib dib = decode(module, readFile(file.string()));
    if (dib.result != SPI_ALL_RIGHT || !dib.layoutError.empty())
        return std::nullopt;
    Picture picture{dib.width, std::abs(dib.height), {}, dib.bitCount};
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const Rgb c = dib.pixel(x, y);
            picture.rgb.insert(picture.rgb.end(), {std::uint8_t(c.red), std::uint8_t(c.green), std::uint8_t(c.blue)});
        }
    return picture;
}

std::optional<Picture> readReference(const fs::path& file)
{
    auto rgba = readRaw(file, "rgba");
    if (!rgba)
        return std::nullopt;
    Picture picture{rgba->width, rgba->height, {}, 24};
    const spi::Rgb bg = spi::kBackground;
    for (std::size_t i = 0; i + 4 <= rgba->rgb.size(); i += 4) {
        const unsigned a = rgba->rgb[i + 3];
        picture.rgb.push_back(spi::compose8(rgba->rgb[i], a, bg.red));
        picture.rgb.push_back(spi::compose8(rgba->rgb[i + 1], a, bg.green));
        picture.rgb.push_back(spi::compose8(rgba->rgb[i + 2], a, bg.blue));
    }
    return picture;
}

int worstDifference(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()
        || a.rgb.size() != std::size_t(a.width) * std::size_t(a.height) * 3)
        return -1;
    int worst = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        worst = std::max(worst, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return worst;
}

ScratchFolder::ScratchFolder(const std::string& name)
    : path_(fs::path(::testing::TempDir()) / (name + "-" + std::to_string(getpid())))
{
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

bool shell(const std::string& command)
{
    if (run(command + " >/dev/null 2>&1"))
        return true;
    ADD_FAILURE() << "failed: " << command;
    return false;
}

} // namespace tavo::spitest
