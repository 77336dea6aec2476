#include "interaction/SystemColors.h"

#include <QApplication>
#include <QPalette>

namespace tavo {

namespace {

struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The 25 system colours, numbered from 0, by their nearest palette role.
constexpr SystemRole kSystemRoles[] = {
    {QPalette::Active, QPalette::Button},          // clScrollBar
    {QPalette::Active, QPalette::Dark},            // clBackground (the desktop)
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

QColor toQColor(std::uint32_t colorValue)
{
    if (colorValue & kSystemColorFlag) {
        const std::uint32_t number = colorValue & 0xFFu;
        if ((colorValue & 0x7FFFFF00u) == 0 && number < std::size(kSystemRoles)) {
            const auto [group, role] = kSystemRoles[number];
            return QApplication::palette().color(group, role);
        }
        return Qt::black;
    }
    return QColor(static_cast<int>(colorValue & 0xFF), static_cast<int>((colorValue >> 8) & 0xFF),
                  static_cast<int>((colorValue >> 16) & 0xFF));
}

std::uint32_t fromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8)
        | (static_cast<std::uint32_t>(rgb.blue()) << 16);
}

} // namespace tavo
