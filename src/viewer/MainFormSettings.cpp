#include "viewer/MainFormSettings.h"

#include "app/Settings.h"
#include "viewer/MainForm.h"
#include "viewer/WorkAreaColor.h"

#include <QGuiApplication>
#include <QScreen>
#include <QFrame>
#include <QToolButton>

namespace tavo {

namespace {

// Position and size as the toolkit keeps them: the frame's position, the
// client area's size, so that what is written comes back unchanged.
class WindowTarget : public WindowPlacementTarget {
public:
    explicit WindowTarget(QWidget& window) : window_(window) {}
    void setTop(std::int32_t top) override { window_.move(window_.x(), top); }
    void setLeft(std::int32_t left) override { window_.move(left, window_.y()); }
    void setWidth(std::int32_t width) override { window_.resize(width, window_.height()); }
    void setHeight(std::int32_t height) override { window_.resize(window_.width(), height); }
    std::int32_t width() const override { return window_.width(); }
    std::int32_t height() const override { return window_.height(); }

private:
    QWidget& window_;
};

ScreenSize primaryScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(1024, 768);
    return {size.width(), size.height()};
}

QToolButton* buttonFor(TfrmTavo2MainForm& form, ZoomButton button)
{
    switch (button) {
    case ZoomButton::kFull:
        return form.spbFull;
    case ZoomButton::kNoZoom:
        return form.spbNoZoom;
    case ZoomButton::kWindowWidth:
        break;
    }
    return form.spbWindowWidth;
}

ZoomButton downButton(const TfrmTavo2MainForm& form)
{
    if (form.spbFull->isChecked())
        return ZoomButton::kFull;
    if (form.spbNoZoom->isChecked())
        return ZoomButton::kNoZoom;
    return ZoomButton::kWindowWidth;
}

} // namespace

void readCreateSettings(TfrmTavo2MainForm& form)
{
    WindowTarget target(form);
    readWindowPlacement(form.iniConfig, primaryScreenSize(), target);
    const ViewerOptions options = readViewerOptions(form.iniConfig);
    form.intMoveRatio = options.intMoveRatio;
    form.intFLBoxShowX = options.intFLBoxShowX;
    form.blnUseClear = options.blnUseClear;
    form.strExTool1 = options.strExTool1;
    form.strExTool2 = options.strExTool2;
    form.strExTool3 = options.strExTool3;
}

void readShowSettings(TfrmTavo2MainForm& form)
{
    // setChecked does not click: the button goes down without its command.
    if (const auto button = readZoomButton(form.iniConfig))
        buttonFor(form, *button)->setChecked(true);
    setWorkAreaColor(form.pnlWkArea, readBackground(form.iniConfig));
}

void FormClose(TfrmTavo2MainForm& form)
{
    ViewerOptions options;
    options.intMoveRatio = form.intMoveRatio;
    options.intFLBoxShowX = form.intFLBoxShowX;
    options.blnUseClear = form.blnUseClear;
    options.strExTool1 = form.strExTool1;
    options.strExTool2 = form.strExTool2;
    options.strExTool3 = form.strExTool3;
    const WindowBounds bounds{form.y(), form.x(), form.width(), form.height()};
    writeClosingSettings(form.iniConfig, {bounds, downButton(form), options, workAreaColor(form.pnlWkArea)});
}

} // namespace tavo
