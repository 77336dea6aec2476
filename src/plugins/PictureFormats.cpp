#include "plugins/PictureFormats.h"

namespace tavo {

namespace {

std::vector<PictureFormat>& table()
{
    static std::vector<PictureFormat> formats;
    return formats;
}

} // namespace

void RegisterFileFormat(const std::string& extension, const std::string& description, TGraphicClass graphicClass)
{
    table().push_back(PictureFormat{extension, description, graphicClass});
}

std::vector<PictureFormat> registeredFileFormats()
{
    return table();
}

} // namespace tavo
