// tavotavo-decode IN OUT.bmp [--time]: decodes a picture exactly as the viewer
// loads it and writes the bitmap as an uncompressed BMP of its own bit count.
// --time prints the decode time in milliseconds (the load only, not the write).
#include "app/PictureFile.h"
#include "imaging/BmpWriter.h"
#include "platform/Errors.h"
#include "plugins/PluginDecoding.h"
#include "plugins/SPIErrors.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> paths;
    bool timed = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--time") == 0)
            timed = true;
        else
            paths.emplace_back(argv[i]);
    }
    if (paths.size() != 2) {
        std::fprintf(stderr, "usage: tavotavo-decode IN OUT.bmp [--time]\n");
        return 2;
    }
    try {
        // The plug-ins of the Susie folder and of this program's folder; they
        // are searched when the first file takes the plug-in path.
        const auto plugins = tavo::createProgramRegistry();
        // A library that brought its plug-in host down during the search is
        // reported, as the viewer's error box does, and the decode goes on.
        if (tavo::pictureDecoderFor(paths[0]) == tavo::PictureDecoder::Plugins) {
            try {
                plugins->Loaded();
            } catch (const tavo::ESPIFault& fault) {
                std::fprintf(stderr, "%s\n", fault.what());
            }
        }
        const auto start = std::chrono::steady_clock::now();
        const tavo::Bitmap bitmap = tavo::decodePictureFile(paths[0]);
        const auto end = std::chrono::steady_clock::now();
        tavo::writeBmpFile(paths[1], bitmap);
        if (timed)
            std::printf("%.3f\n", std::chrono::duration<double, std::milli>(end - start).count());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
