#include "ViewerTestSupport.h"

#include "imaging/BmpWriter.h"
#include "viewer/TavoApplication.h"

#include <QFrame>
#include <QLayout>

#include <gtest/gtest.h>

#include <memory>

namespace tavo::test {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "viewer_tests";
    static char* argv[] = {name, nullptr};
    static auto* application = new TavoApplication(argc, argv);
    (void)application;
}

CollectedReports::CollectedReports()
    : previous_(setErrorReporter([this](const QString& text) { texts << text; }))
{
}

CollectedReports::~CollectedReports() { setErrorReporter(std::move(previous_)); }

Bitmap patternPicture(std::int32_t width, std::int32_t height, int bitCount)
{
    Bitmap picture(width, height, 24);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = picture.mutableRow(y);
        for (std::int32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x);
            row[3 * x + 1] = static_cast<std::uint8_t>(y);
            row[3 * x + 2] = static_cast<std::uint8_t>(x + y);
        }
    }
    if (bitCount == 24)
        return picture;
    Bitmap other(width, height, bitCount);
    if (bitCount <= 8) {
        std::vector<PaletteEntry> palette(1u << bitCount);
        for (std::size_t i = 0; i < palette.size(); ++i)
            palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 0, 0};
        other.setPalette(palette);
    }
    return other;
}

std::string writePicture(const QTemporaryDir& dir, const std::string& name, const Bitmap& picture)
{
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    writeBmpFile(path, picture);
    return path;
}

void resizeWorkArea(TfrmTavo2MainForm& form, int width, int height)
{
    form.layout()->activate();
    const QSize extra = form.size() - form.pnlWkArea->size();
    form.resize(width + extra.width(), height + extra.height());
    form.layout()->activate();
    ASSERT_EQ(form.pnlWkArea->size(), QSize(width, height));
}

} // namespace tavo::test
