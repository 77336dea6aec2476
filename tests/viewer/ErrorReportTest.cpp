#include "ViewerTestSupport.h"

#include "viewer/TavoApplication.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace tavo {
namespace {

TEST(ErrorReport, ShowsACriticalMessageBoxTitledTavoTavo)
{
    test::ensureApplication();
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // The box is modal: read it and close it from inside its own event loop.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
    });
    reportErrorMessage("ﾌｧｲﾙ a.bmp は開けません");
    EXPECT_EQ(title, "TavoTavo");
    EXPECT_EQ(text, "ﾌｧｲﾙ a.bmp は開けません.");
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(WindowFont, TheJapaneseFontResolvesToIpaPGothic)
{
    test::ensureApplication();
    if (!QFontDatabase::families().contains(kWindowFontSubstitute))
        GTEST_SKIP() << "IPAPGothic is not installed (package fonts-ipafont-gothic)";
    TfrmTavo2MainForm form;
    EXPECT_EQ(form.font().family(), QString::fromUtf8(kWindowFontFamily));
    EXPECT_EQ(form.font().pixelSize(), 12);
    EXPECT_EQ(QFontInfo(form.font()).family(), kWindowFontSubstitute);
}

} // namespace
} // namespace tavo
