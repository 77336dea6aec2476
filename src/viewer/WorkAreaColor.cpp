#include "viewer/WorkAreaColor.h"

#include <QApplication>
#include <QPalette>
#include <QVariant>
#include <QWidget>

#include <iterator>

namespace tavo {

namespace {

constexpr const char* kColorProperty = "colorValue";

struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The 25 system colours, by number, as the nearest role of the desktop palette.
constexpr SystemRole kSystemRoles[] = {
    {QPalette::Active, QPalette::Button},          // clScrollBar
    {QPalette::Active, QPalette::Dark},            // clBackground: the desktop
    {QPalette::Active, QPalette::Highlight},       // clActiveCaption
    {QPalette::Inactive, QPalette::Mid},           // clInactiveCaption
    {QPalette::Active, QPalette::Window},          // clMenu
    {QPalette::Active, QPalette::Base},            // clWindow
    {QPalette::Active, QPalette::Shadow},          // clWindowFrame
    {QPalette::Active, QPalette::WindowText},      // clMenuText
    {QPalette::Active, QPalette::Text},            // clWindowText
    {QPalette::Active, QPalette::HighlightedText}, // clCaptionText
    {QPalette::Active, QPalette::Window},          // clActiveBorder
    {QPalette::Inactive, QPalette::Window},        // clInactiveBorder
    {QPalette::Active, QPalette::Mid},             // clAppWorkSpace
    {QPalette::Active, QPalette::Highlight},       // clHighlight
    {QPalette::Active, QPalette::HighlightedText}, // clHighlightText
    {QPalette::Active, QPalette::Button},          // clBtnFace
    {QPalette::Active, QPalette::Dark},            // clBtnShadow
    {QPalette::Disabled, QPalette::Text},          // clGrayText
    {QPalette::Active, QPalette::ButtonText},      // clBtnText
    {QPalette::Inactive, QPalette::WindowText},    // clInactiveCaptionText
    {QPalette::Active, QPalette::Light},           // clBtnHighlight
    {QPalette::Active, QPalette::Shadow},          // cl3DDkShadow
    {QPalette::Active, QPalette::Midlight},        // cl3DLight
    {QPalette::Active, QPalette::ToolTipText},     // clInfoText
    {QPalette::Active, QPalette::ToolTipBase},     // clInfoBk
};

} // namespace

QColor drawnColor(ColorValue color)
{
    if (color & kSystemColorBase) {
        const ColorValue number = color & ~kSystemColorBase;
        if (number < std::size(kSystemRoles))
            return QApplication::palette().color(kSystemRoles[number].group, kSystemRoles[number].role);
        return Qt::black; // an unknown system colour number
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

ColorValue colorValueOf(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return ColorValue(rgb.red()) | (ColorValue(rgb.green()) << 8) | (ColorValue(rgb.blue()) << 16);
}

void setWorkAreaColor(QWidget* pnlWkArea, ColorValue color)
{
    pnlWkArea->setProperty(kColorProperty, QVariant::fromValue(color));
    QPalette palette = pnlWkArea->palette();
    palette.setColor(QPalette::Window, drawnColor(color));
    pnlWkArea->setPalette(palette);
    pnlWkArea->setAutoFillBackground(true);
}

ColorValue workAreaColor(const QWidget* pnlWkArea)
{
    const QVariant value = pnlWkArea->property(kColorProperty);
    return value.isValid() ? value.value<ColorValue>() : clBtnFace;
}

} // namespace tavo
