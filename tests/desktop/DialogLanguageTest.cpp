// The toolkit's own dialogs, opened from the options dialog on a real X
// server, speak Japanese whatever the locale (the test runs with LC_ALL=C).
#include "interaction/OptionDialog.h"
#include "interaction/OptionDialogParts.h"
#include "viewer/TavoApplication.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tavo;

namespace {

TavoApplication& application()
{
    static int argc = 1;
    static char name[] = "desktop_dialog_tests";
    static char* argv[] = {name, nullptr};
    static auto* instance = new TavoApplication(argc, argv);
    return *instance;
}

// Waits for the modal dialog of type Dialog to show, takes the texts of its
// title, labels and buttons, and cancels it. Gives up after ten seconds.
template <typename Dialog>
void answerWhenShown(QStringList& texts)
{
    auto* timer = new QTimer;
    auto rounds = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, rounds, &texts] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<Dialog*>(widget);
            if (!dialog || !dialog->isVisible())
                continue;
            texts << dialog->windowTitle();
            for (const QLabel* label : dialog->template findChildren<QLabel*>())
                texts << label->text();
            for (const QAbstractButton* button : dialog->template findChildren<QAbstractButton*>())
                texts << button->text();
            dialog->reject();
            timer->deleteLater();
            return;
        }
        if (++*rounds == 500) {
            ADD_FAILURE() << "the dialog never showed";
            timer->deleteLater();
        }
    });
    timer->start(20);
}

} // namespace

TEST(DialogLanguage, TheColourAndFileDialogsOfTheOptionsAreJapanese)
{
    TavoApplication& app = application();
    ASSERT_TRUE(app.toolkitTranslated()) << "qtbase_ja.qm was not found (package qt6-translations-l10n)";
    EXPECT_EQ(QCoreApplication::translate("QColorDialog", "&Basic colors").toStdString(), "基本カラー(&B)");

    TdlgOption options;
    OptionValues values;
    values.strExTools = {"", "", ""};
    QStringList colourTexts;
    QStringList fileTexts;
    QTimer::singleShot(0, &options, [&] {
        answerWhenShown<QColorDialog>(colourTexts);
        options.pnlColorClick();
        answerWhenShown<QFileDialog>(fileTexts);
        options.btnExTLSelects[0]->click();
        options.CancelBtn->click();
    });
    options.edit(values);

    EXPECT_TRUE(colourTexts.contains(QStringLiteral("色を選択"))) << colourTexts.join(" | ").toStdString();
    EXPECT_TRUE(colourTexts.contains(QStringLiteral("基本カラー(&B)"))) << colourTexts.join(" | ").toStdString();
    EXPECT_TRUE(colourTexts.contains(QStringLiteral("キャンセル"))) << colourTexts.join(" | ").toStdString();
    EXPECT_FALSE(colourTexts.contains(QStringLiteral("Cancel"))) << colourTexts.join(" | ").toStdString();
    EXPECT_TRUE(fileTexts.contains(QStringLiteral("ファイル名(&N):"))) << fileTexts.join(" | ").toStdString();
    EXPECT_TRUE(fileTexts.contains(QStringLiteral("キャンセル"))) << fileTexts.join(" | ").toStdString();
}
