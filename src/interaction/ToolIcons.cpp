#include "interaction/ToolIcons.h"

#include "interaction/core/ExternalTool.h"
#include "platform/ProcessStart.h"

#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPainter>

namespace tavo {

namespace {

QIcon iconByName(const QString& name)
{
    if (name.isEmpty())
        return {};
    if (QFileInfo(name).isAbsolute())
        return QFileInfo::exists(name) ? QIcon(name) : QIcon();
    return QIcon::fromTheme(name);
}

} // namespace

QIcon toolIcon(const QString& toolPath)
{
    if (toolPath.isEmpty())
        return {};
    const QFileInfo info(toolPath);
    if (toolPath.endsWith(QStringLiteral(".desktop")) && info.isFile()) {
        const auto entry = parseDesktopEntry(platform::readSmallTextFile(toolPath.toStdString()));
        if (entry)
            return iconByName(QString::fromStdString(entry->icon));
        return {};
    }
    // A path that names no file has no icon, even where the theme has one of
    // that name; a bare name is a program looked up in PATH.
    if (toolPath.contains(u'/') && !info.exists())
        return {};
    QIcon themed = QIcon::fromTheme(info.completeBaseName());
    if (!themed.isNull())
        return themed;
    // A tool path that names a picture file shows that picture, as an icon file would.
    if (info.isFile() && !QImageReader::imageFormat(toolPath).isEmpty())
        return QIcon(toolPath);
    return {};
}

QPixmap toolGlyph(const QString& toolPath)
{
    QPixmap glyph(kToolGlyphSize, kToolGlyphSize);
    glyph.fill(Qt::transparent);
    const QIcon icon = toolIcon(toolPath);
    if (icon.isNull())
        return glyph;
    // The icon at the standard icon size, drawn scaled into the upper-left
    // 19 × 19 pixels of the glyph.
    const QPixmap standard = icon.pixmap(32, 32);
    QPainter painter(&glyph);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(0, 0, kToolGlyphSize - 1, kToolGlyphSize - 1), standard);
    return glyph;
}

} // namespace tavo
