#include "JpegTestSupport.h"

#include "../TestScratch.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace tavo::test {

std::filesystem::path scratchFolder(const std::string& name)
{
    return uniqueScratchFolder(name, std::filesystem::path(TAVO_BINARY_DIR) / "test-scratch");
}

bool commandAvailable(const std::string& name)
{
    return run("command -v " + name + " >/dev/null 2>&1");
}

bool run(const std::string& commandLine)
{
    const int status = std::system(commandLine.c_str());
    if (status == -1 || !WIFEXITED(status))
        return false;
    return WEXITSTATUS(status) == 0 || (commandLine.rfind("djpeg", 0) == 0 && WEXITSTATUS(status) == 2);
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

void writePpm(const std::filesystem::path& path, std::int32_t width, std::int32_t height,
              const std::vector<std::uint8_t>& rgb)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Pnm readPnm(const std::filesystem::path& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    std::size_t at = 0;
    auto token = [&]() {
        std::string text;
        while (at < bytes.size()) {
            const char c = static_cast<char>(bytes[at]);
            if (c == '#') {
                while (at < bytes.size() && bytes[at] != '\n')
                    ++at;
            } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
                if (!text.empty())
                    break;
                ++at;
            } else {
                text += c;
                ++at;
            }
        }
        return text;
    };
    Pnm pnm;
    const std::string magic = token();
    const int channels = magic == "P5" ? 1 : magic == "P6" ? 3 : 0;
    const std::string width = token(), height = token(), maximum = token();
    ++at; // the single white-space byte before the samples
    if (channels == 0 || maximum != "255")
        return pnm;
    pnm.width = std::stoi(width);
    pnm.height = std::stoi(height);
    const std::size_t size = static_cast<std::size_t>(pnm.width) * pnm.height * channels;
    if (bytes.size() < at + size)
        return pnm;
    pnm.channels = channels;
    pnm.samples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
    return pnm;
}

namespace {

template <class Visit>
bool forEachPixel(const Bitmap& bitmap, const Pnm& reference, Visit visit)
{
    if (!reference.valid() || bitmap.width() != reference.width || bitmap.height() != reference.height)
        return false;
    const Bitmap bgr = bitmap.toBgr24();
    for (std::int32_t y = 0; y < bgr.height(); ++y) {
        const std::uint8_t* row = bgr.row(y);
        for (std::int32_t x = 0; x < bgr.width(); ++x) {
            const std::uint8_t* ref = &reference.samples[(static_cast<std::size_t>(y) * reference.width + x) * reference.channels];
            const int r = ref[0], g = reference.channels == 3 ? ref[1] : ref[0], b = reference.channels == 3 ? ref[2] : ref[0];
            visit(std::abs(row[3 * x + 2] - r), std::abs(row[3 * x + 1] - g), std::abs(row[3 * x] - b));
        }
    }
    return true;
}

} // namespace

long differingPixels(const Bitmap& bitmap, const Pnm& reference, int tolerance)
{
    long count = 0;
    const bool same = forEachPixel(bitmap, reference, [&](int dr, int dg, int db) {
        if (dr > tolerance || dg > tolerance || db > tolerance)
            ++count;
    });
    return same ? count : -1;
}

double meanAbsoluteDifference(const Bitmap& bitmap, const Pnm& reference)
{
    double sum = 0;
    const bool same = forEachPixel(bitmap, reference, [&](int dr, int dg, int db) { sum += dr + dg + db; });
    return same ? sum / (3.0 * reference.width * reference.height) : 1e9;
}

} // namespace tavo::test
