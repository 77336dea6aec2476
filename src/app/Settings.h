// The viewer's settings in "TavoTavo.INI": every key with its section, type
// and default, read and written in the order the main window uses.
#pragma once

#include "app/IniFile.h"
#include "app/ProfileValues.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tavo {

inline constexpr const char* kSettingsFileName = "TavoTavo.INI";

struct ScreenSize {
    std::int32_t width;
    std::int32_t height;
};

struct WindowBounds {
    std::int32_t top;
    std::int32_t left;
    std::int32_t width;
    std::int32_t height;

    bool operator==(const WindowBounds&) const = default;
};

// The window as placement sees it: each value is applied at once, and the
// size check reads back what the window took.
class WindowPlacementTarget {
public:
    virtual ~WindowPlacementTarget() = default;
    virtual void setTop(std::int32_t top) = 0;
    virtual void setLeft(std::int32_t left) = 0;
    virtual void setWidth(std::int32_t width) = 0;
    virtual void setHeight(std::int32_t height) = 0;
    virtual std::int32_t width() const = 0;
    virtual std::int32_t height() const = 0;
};

// Top H ÷ 5, left W ÷ 5, width W ÷ 2, height H ÷ 2.
WindowBounds defaultWindowBounds(ScreenSize screen);

// Reads WinPos/Top, Left, Width, Height into the window, then puts all four
// back to their defaults when the window is at least 90% of the screen both ways.
void readWindowPlacement(const TIniFile& ini, ScreenSize screen, WindowPlacementTarget& window);

// The options the main window holds in its fields.
struct ViewerOptions {
    std::int32_t intMoveRatio = 1;
    std::int32_t intFLBoxShowX = 30;
    bool blnUseClear = false;
    std::string strExTool1;
    std::string strExTool2;
    std::string strExTool3;
};

// Mode/Move, Mode/FLBoxShowX, Mode/UseClear, ExTools/ExTool1..3, in this order.
ViewerOptions readViewerOptions(const TIniFile& ini);

enum class ZoomButton { kWindowWidth, kFull, kNoZoom };

// "WindowWidth", "Full", "NoZoom".
const char* zoomButtonName(ZoomButton button);

// The button Mode/Button names, compared exactly; nothing for any other value.
std::optional<ZoomButton> readZoomButton(const TIniFile& ini);

// Other/Background (default clBtnFace); throws EConvertError for a value that
// is neither a colour name nor an integer.
ColorValue readBackground(const TIniFile& ini);

// What the window holds when it closes.
struct ClosingSettings {
    WindowBounds bounds;
    ZoomButton button;
    ViewerOptions options;
    ColorValue background;
};

// Writes every setting in the close order; the first refused write throws
// EIniFileException and the rest are not written.
void writeClosingSettings(TIniFile& ini, const ClosingSettings& settings);

} // namespace tavo
