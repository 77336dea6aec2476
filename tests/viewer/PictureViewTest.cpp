#include "ViewerTestSupport.h"

#include "platform/Errors.h"
#include "viewer/PictureView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>

#include <gtest/gtest.h>

namespace tavo {
namespace {

using test::patternPicture;

TEST(PictureView, StretchesWithoutSmoothing)
{
    test::ensureApplication();
    Bitmap picture(2, 2, 24);
    const std::uint8_t colours[2][6] = {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 255, 255, 255}};
    for (int y = 0; y < 2; ++y)
        std::copy(colours[y], colours[y] + 6, picture.mutableRow(y));
    PictureView view;
    view.setPicture(picture);
    view.setGeometry(0, 0, 40, 30);

    const QImage whole = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Every pixel is one of the four colours: nothing blended.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            EXPECT_EQ(whole.pixel(x, y), picture.pixelColor(x / 20, y / 15).red << 16 |
                                             picture.pixelColor(x / 20, y / 15).green << 8 |
                                             picture.pixelColor(x / 20, y / 15).blue | 0xFF000000u)
                << x << "," << y;
}

TEST(PictureView, AnEmptyPictureDrawsNothing)
{
    test::ensureApplication();
    PictureView view;
    view.setGeometry(0, 0, 10, 10);
    view.setPicture(patternPicture(3, 3));
    EXPECT_TRUE(view.testAttribute(Qt::WA_OpaquePaintEvent));
    view.clearPicture();
    EXPECT_TRUE(view.picture().isEmpty());
    EXPECT_FALSE(view.testAttribute(Qt::WA_OpaquePaintEvent));
}

class ThrowingObject : public QObject {
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw EInvalidGraphic();
        return QObject::event(event);
    }
};

TEST(ErrorReport, AnExceptionLeavingAHandlerIsReportedAndTheProgramGoesOn)
{
    test::ensureApplication();
    test::CollectedReports reports;
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &event));
    guarded([] { throw std::bad_alloc(); });
    guarded([] { throw 42; });
    ASSERT_EQ(reports.texts.size(), 3);
    EXPECT_EQ(reports.texts[0], "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です.");
    EXPECT_EQ(reports.texts[1], "メモリが不足しています.");
    EXPECT_FALSE(reports.texts[2].isEmpty());
}

} // namespace
} // namespace tavo
