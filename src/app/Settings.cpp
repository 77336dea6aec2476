#include "app/Settings.h"

namespace tavo {

namespace {
constexpr const char* kWinPos = "WinPos";
constexpr const char* kMode = "Mode";
constexpr const char* kOther = "Other";
constexpr const char* kExTools = "ExTools";
} // namespace

WindowBounds defaultWindowBounds(ScreenSize screen)
{
    return {screen.height / 5, screen.width / 5, screen.width / 2, screen.height / 2};
}

void readWindowPlacement(const TIniFile& ini, ScreenSize screen, WindowPlacementTarget& window)
{
    const WindowBounds defaults = defaultWindowBounds(screen);
    window.setTop(ini.readInteger(kWinPos, "Top", defaults.top));
    window.setLeft(ini.readInteger(kWinPos, "Left", defaults.left));
    window.setWidth(ini.readInteger(kWinPos, "Width", defaults.width));
    window.setHeight(ini.readInteger(kWinPos, "Height", defaults.height));
    // A window saved maximised comes back at the default place and size.
    const auto wideLimit = static_cast<std::int32_t>(screen.width * 0.9);
    const auto highLimit = static_cast<std::int32_t>(screen.height * 0.9);
    if (window.width() >= wideLimit && window.height() >= highLimit) {
        window.setTop(defaults.top);
        window.setLeft(defaults.left);
        window.setWidth(defaults.width);
        window.setHeight(defaults.height);
    }
}

ViewerOptions readViewerOptions(const TIniFile& ini)
{
    ViewerOptions options;
    options.intMoveRatio = ini.readInteger(kMode, "Move", 1);
    options.intFLBoxShowX = ini.readInteger(kMode, "FLBoxShowX", 30);
    options.blnUseClear = ini.readBool(kMode, "UseClear", false);
    options.strExTool1 = ini.readString(kExTools, "ExTool1", "");
    options.strExTool2 = ini.readString(kExTools, "ExTool2", "");
    options.strExTool3 = ini.readString(kExTools, "ExTool3", "");
    return options;
}

const char* zoomButtonName(ZoomButton button)
{
    switch (button) {
    case ZoomButton::kWindowWidth:
        return "WindowWidth";
    case ZoomButton::kFull:
        return "Full";
    case ZoomButton::kNoZoom:
        return "NoZoom";
    }
    return "WindowWidth";
}

std::optional<ZoomButton> readZoomButton(const TIniFile& ini)
{
    const std::string name = ini.readString(kMode, "Button", "WindowWidth");
    for (ZoomButton button : {ZoomButton::kWindowWidth, ZoomButton::kFull, ZoomButton::kNoZoom})
        if (name == zoomButtonName(button))
            return button;
    return std::nullopt;
}

ColorValue readBackground(const TIniFile& ini)
{
    return stringToColor(ini.readString(kOther, "Background", "clBtnFace"));
}

void writeClosingSettings(TIniFile& ini, const ClosingSettings& settings)
{
    ini.writeInteger(kWinPos, "Top", settings.bounds.top);
    ini.writeInteger(kWinPos, "Left", settings.bounds.left);
    ini.writeInteger(kWinPos, "Width", settings.bounds.width);
    ini.writeInteger(kWinPos, "Height", settings.bounds.height);
    ini.writeString(kMode, "Button", zoomButtonName(settings.button));
    ini.writeInteger(kMode, "Move", settings.options.intMoveRatio);
    ini.writeInteger(kMode, "FLBoxShowX", settings.options.intFLBoxShowX);
    ini.writeString(kOther, "Background", colorToString(settings.background));
    ini.writeBool(kMode, "UseClear", settings.options.blnUseClear);
    ini.writeString(kExTools, "ExTool1", settings.options.strExTool1);
    ini.writeString(kExTools, "ExTool2", settings.options.strExTool2);
    ini.writeString(kExTools, "ExTool3", settings.options.strExTool3);
}

} // namespace tavo
